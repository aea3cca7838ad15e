#pragma once

// Extracts the database slot of the asset file into the cache file, reads the translation
// table and shows the edition and the fix state; reports an unopenable asset file or an
// unwritable cache file and then closes the window.
void StatusProbe();
