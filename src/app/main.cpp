#include <windows.h>

#include "app/framework.h"
#include "app/program_entry.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // The exe lives in a game folder that other programs can write to: load no DLL from there.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  ProgramEntry();
  shutDownNormally();
}
