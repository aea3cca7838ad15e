#pragma once
#include <string>
#include <vector>

namespace bench {

struct EndToEndTimes {
  std::vector<double> startup, minimalStartup, windowOnlyStartup, clickToRefresh;
  double peakWorkingSetMiB = 0;
  double minimalPeakWorkingSetMiB = 0;     // the minimal window program's, for comparison
  double windowOnlyPeakWorkingSetMiB = 0;  // the tool's window without detection and probe
  std::string failure;  // empty when every run did what it should
};

// Drives the real QuestFix.exe copied into the game folder of this build, from another process as
// a user would: start-up to the window shown against the minimal window program and the tool's
// window alone (bench/window_only.cpp), alternating;
// then a click on the install button to the refreshed status, with the success box answered, and
// the program's peak working set after such a full run. originalSlot is put back before each run.
EndToEndTimes measureEndToEnd(const std::wstring& folder, int build, const std::string& originalSlot, int runs);

}  // namespace bench
