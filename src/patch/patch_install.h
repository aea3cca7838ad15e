#pragma once

// Handler of clicks on the install button: applies the patch scripts to the cache file, compacts
// it, writes it back over the database slot and shows the state that the asset file now holds.
void PatchInstall();
