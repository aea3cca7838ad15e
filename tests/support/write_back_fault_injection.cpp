#include "write_back_fault_injection.h"

#include <windows.h>

#include <array>
#include <map>
#include <optional>
#include <set>
#include <string>

namespace {

constexpr std::array<const wchar_t*, 9> kStepNames = {
    L"fillCache", L"readImage", L"readOriginal", L"writeJournal", L"journalFlushed",
    L"writeSlot", L"verifySlot", L"slotWritten", L"restoreSlot",
};

std::set<WriteBackStep> failingSteps;
std::map<WriteBackStep, std::function<void()>> stepActions;

std::optional<WriteBackStep> crashStep() {
  wchar_t name[64];
  const DWORD length = GetEnvironmentVariableW(L"QUESTFIX_CRASH_AT", name, 64);
  if (length == 0 || length >= 64) return std::nullopt;
  for (std::size_t i = 0; i < kStepNames.size(); ++i) {
    if (std::wstring(name) == kStepNames[i]) return static_cast<WriteBackStep>(i);
  }
  return std::nullopt;
}

}  // namespace

namespace faultinjection {

void failAt(WriteBackStep step) { failingSteps.insert(step); }
void runAt(WriteBackStep step, std::function<void()> action) { stepActions[step] = std::move(action); }
void clear() {
  failingSteps.clear();
  stepActions.clear();
}

}  // namespace faultinjection

bool writeBackFault(WriteBackStep step, FileNumber file) {
  if (crashStep() == step) {
    if (step == WriteBackStep::writeSlot) flushFile(file);
    ExitProcess(3);
  }
  if (const auto action = stepActions.find(step); action != stepActions.end()) {
    const std::function<void()> run = std::move(action->second);
    stepActions.erase(action);
    run();
  }
  return failingSteps.erase(step) != 0;
}
