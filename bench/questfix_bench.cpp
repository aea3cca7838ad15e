// Times QuestFix's status probe, installation and start-up on a generated game folder of each
// known build, each against its floor in the same run, and prints one table with the goals.
// Exits non-zero only when something could not be measured.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_clock.h"
#include "end_to_end_bench.h"
#include "game_fixture.h"
#include "in_process_bench.h"
#include "test_files.h"

namespace {

constexpr int kProbeRuns = 15;
constexpr int kInstallRuns = 9;
constexpr int kEndToEndRuns = 9;

constexpr double kProbeGoal = 1.3;
constexpr double kInstallGoal = 1.3;
constexpr double kStartupGoal = 1.2;
constexpr double kWorkingSetGoalMiB = 24;
constexpr double kExeSizeGoalMiB = 2.5;

struct BuildResult {
  int build;
  bench::InProcessTimes inProcess;
  bench::EndToEndTimes endToEnd;
};

double ratio(const std::vector<double>& tool, const std::vector<double>& floor) {
  const double floorMedian = bench::median(floor);
  return floorMedian > 0 ? bench::median(tool) / floorMedian : 0;
}

void printRow(int build, const char* measure, const char* how, const std::vector<double>& tool,
              const std::vector<double>& floor, const char* floorName) {
  std::printf("%-5d  %-26s  %-26s  %4zu  %8.1f  %8.1f  %5.2f  %s\n", build, measure, how, tool.size(),
              bench::median(tool), bench::median(floor), ratio(tool, floor), floorName);
}

void printSteps(const char* title, const std::vector<bench::StepTime>& steps) {
  std::printf("  %s:", title);
  for (const bench::StepTime& step : steps) std::printf("  %s %.2f;", step.first.c_str(), step.second);
  std::printf("\n");
}

void printGoal(const char* name, double value, double goal, const char* unit) {
  std::printf("%-44s %7.2f%-4s <= %5.2f%-4s %s\n", name, value, unit, goal, unit, value <= goal ? "PASS" : "MISS");
}

double fileSizeMiB(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  const double size = static_cast<double>((static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
  return size / (1024.0 * 1024.0);
}

std::string measureBuild(int build, BuildResult& result) {
  testfiles::TempFolder folder;
  fixture::GameFolderOptions options;
  options.build = build;
  if (!fixture::makeGameFolder(folder.path(), options)) return "game folder not made";
  const std::string originalSlot = fixture::readSlot(folder.path(), build);
  result.inProcess = bench::measureInProcess(folder.path(), build, kProbeRuns, kInstallRuns);
  if (!result.inProcess.failure.empty()) return result.inProcess.failure;
  result.endToEnd = bench::measureEndToEnd(folder.path(), build, originalSlot, kEndToEndRuns);
  return result.endToEnd.failure;
}

}  // namespace

// An optional argument limits the run to builds 1 to N.
int wmain(int argumentCount, wchar_t** arguments) {
  const int buildsToRun = argumentCount > 1 ? std::clamp(_wtoi(arguments[1]), 1, fixture::buildCount) : fixture::buildCount;
  if (!bench::prepareProgramInProcess()) {
    std::printf("bench: cannot create the program's window\n");
    return 1;
  }
  std::vector<BuildResult> results;
  for (int build = 1; build <= buildsToRun; ++build) {
    BuildResult result{build, {}, {}};
    const std::string failure = measureBuild(build, result);
    if (!failure.empty()) {
      std::printf("bench: build %d: %s\n", build, failure.c_str());
      return 1;
    }
    results.push_back(result);
    std::fflush(stdout);
  }

  std::printf("QuestFix benchmark: medians in ms; ratio = tool / floor, both taken in this run, alternating\n");
  std::printf("%-5s  %-26s  %-26s  %4s  %8s  %8s  %5s  %s\n", "build", "measure", "how", "runs", "tool", "floor",
              "ratio", "floor");
  double worstProbe = 0, worstInstall = 0, worstStartup = 0, peakWorkingSet = 0, minimalPeak = 0, windowOnlyPeak = 0;
  for (const BuildResult& result : results) {
    const bench::InProcessTimes& in = result.inProcess;
    const bench::EndToEndTimes& e2e = result.endToEnd;
    printRow(result.build, "status probe", "in-process (core library)", in.probe, in.probeFloor,
             "read+write slot, get_table");
    printRow(result.build, "installation", "in-process (core library)", in.install, in.installFloor,
             "scripts+VACUUM, slot write");
    printRow(result.build, "start-up to window shown", "real exe, UI driver", e2e.startup, e2e.minimalStartup,
             "minimal window program");
    printRow(result.build, "start-up, window only", "bench window_only.exe", e2e.windowOnlyStartup,
             e2e.minimalStartup, "minimal window program");
    printRow(result.build, "click to refreshed status", "real exe, UI driver", e2e.clickToRefresh, in.installFloor,
             "installation floor");
    worstProbe = std::max(worstProbe, ratio(in.probe, in.probeFloor));
    worstInstall = std::max(worstInstall, ratio(in.install, in.installFloor));
    worstStartup = std::max(worstStartup, ratio(e2e.startup, e2e.minimalStartup));
    peakWorkingSet = std::max(peakWorkingSet, e2e.peakWorkingSetMiB);
    minimalPeak = std::max(minimalPeak, e2e.minimalPeakWorkingSetMiB);
    windowOnlyPeak = std::max(windowOnlyPeak, e2e.windowOnlyPeakWorkingSetMiB);
  }
  std::printf("\nWhere the time goes, build 1 (medians of each step in ms, called one by one):\n");
  printSteps("probe", results.front().inProcess.probeSteps);
  printSteps("probe floor", results.front().inProcess.probeFloorSteps);
  printSteps("installation", results.front().inProcess.installSteps);

  const double exeSize = fileSizeMiB(testfiles::builtProgram(L"QuestFix.exe"));
  std::printf("\nGoals (worst build):\n");
  printGoal("status probe / floor", worstProbe, kProbeGoal, " x");
  printGoal("installation / floor", worstInstall, kInstallGoal, " x");
  printGoal("start-up / minimal window", worstStartup, kStartupGoal, " x");
  printGoal("peak working set (start, probe, install)", peakWorkingSet, kWorkingSetGoalMiB, " MiB");
  printGoal("QuestFix.exe size", exeSize, kExeSizeGoalMiB, " MiB");
  std::printf("(peak working sets for comparison: minimal window program %.2f MiB, the tool's window alone %.2f MiB)\n",
              minimalPeak, windowOnlyPeak);
  return peakWorkingSet > 0 && exeSize > 0 ? 0 : 1;
}
