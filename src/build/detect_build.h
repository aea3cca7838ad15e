#pragma once

// Handler of the main window's creation event: finds the installed build from the asset file's
// size, shows it, and runs the status probe; with no known build it reports and closes the window.
void DetectBuild();
