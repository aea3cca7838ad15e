#pragma once
#include <string>
#include <utility>
#include <vector>

namespace bench {

// One named step of a profiled run and its median in milliseconds.
using StepTime = std::pair<std::string, double>;

struct InProcessTimes {
  std::vector<double> probe, probeFloor, install, installFloor;
  std::vector<StepTime> probeSteps, probeFloorSteps, installSteps;
  std::string failure;  // empty when every run did what it should
};

// Creates the program's hidden main window, its database object and the thread that answers its
// message boxes; false when the window cannot be created.
bool prepareProgramInProcess();

// Times the program's StatusProbe and PatchInstall, called as its event handlers call them, on the
// game folder of this build (official edition, not fixed), each run against its floor of plain
// Windows and SQLite calls, alternating. The asset file's slot is put back after each install.
InProcessTimes measureInProcess(const std::wstring& folder, int build, int probeRuns, int installRuns);

}  // namespace bench
