#pragma once

// Pads the compacted cache file to the slot length and copies it over the database slot of the
// asset file, journalled and verified. Shows its own boxes; never ends the program.
void WriteBack();
