// The journalled write-back of the real exe: a run ended at any moment of the write-back leaves,
// after the next start, the slot either as it was or fully fixed; damaged journals are never
// applied; files held for a moment are opened after a short retry.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "box_texts.h"
#include "e2e_support.h"

namespace {

using e2e::GameFolder;
using fixture::Edition;

constexpr wchar_t kJournal[] = L"qm.journal";
constexpr wchar_t kFaultyExe[] = L"QuestFixWithFaults.exe";
constexpr DWORD kCrashExitCode = 3;

// Layout of the journal's header: a tag of 8 bytes, then little-endian 64-bit fields.
constexpr std::size_t kSlotOffsetField = 8;
constexpr std::size_t kAssetSizeField = 24;
constexpr std::size_t kHeaderChecksumField = 48;
constexpr std::size_t kHeaderSize = 56;

// The slot as a completed installation leaves it: the fixed database padded with zeros.
std::string fixedSlot(const fixture::GameFolderOptions& options) {
  std::string slot = fixture::applyFix(fixture::makeGameDatabase(options), options.edition);
  slot.resize(fixture::buildFacts(options.build).slotLength, '\0');
  return slot;
}

void putField(std::string& journal, std::size_t at, std::uint64_t value) {
  for (std::size_t i = 0; i < 8; ++i) journal[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// Recomputes the header's own checksum (FNV-1a over the fields before it) after a field was changed,
// so that only the changed field makes the journal unusable.
void resealHeader(std::string& journal) {
  std::uint64_t hash = 14695981039346656037ull;
  for (std::size_t i = 0; i < kHeaderChecksumField; ++i) {
    hash ^= static_cast<unsigned char>(journal[i]);
    hash *= 1099511628211ull;
  }
  putField(journal, kHeaderChecksumField, hash);
}

HWND installButton(HWND window) {
  const uidriver::ControlInfo* button = e2e::controlAt(uidriver::readWindow(window), 239, 36);
  return button ? button->hwnd : nullptr;
}

bool clickInstall(const e2e::Running& running) { return uidriver::clickButton(installButton(running.window)); }

// Starts the exe of the folder with QUESTFIX_CRASH_AT set for it alone.
std::optional<e2e::Running> startCrashingAt(const GameFolder& game, const wchar_t* step) {
  if (!CopyFileW(testfiles::builtProgram(kFaultyExe).c_str(), game.file(kFaultyExe).c_str(), FALSE)) return std::nullopt;
  SetEnvironmentVariableW(L"QUESTFIX_CRASH_AT", step);
  auto running = e2e::startAndWaitVisible(game.file(kFaultyExe));
  SetEnvironmentVariableW(L"QUESTFIX_CRASH_AT", nullptr);
  return running;
}

// Runs the faulty exe up to the crash at step inside the write-back; true when it ended there.
bool crashWriteBackAt(const GameFolder& game, const wchar_t* step) {
  auto running = startCrashingAt(game, step);
  return running && clickInstall(*running) &&
         running->process.waitForExit(e2e::kWaitMs) == std::optional<DWORD>(kCrashExitCode);
}

// A start of the normal exe that shows the window with no box, then ends it with Esc.
struct CleanStart {
  e2e::Shown shown;
  std::optional<DWORD> exitCode;
};

std::optional<CleanStart> startCleanly(const GameFolder& game) {
  auto running = e2e::startAndWaitVisible(game.exe());
  if (!running) return std::nullopt;
  if (running->process.waitForMessageBox(0)) return std::nullopt;
  CleanStart start{e2e::shownBy(uidriver::readWindow(running->window)), std::nullopt};
  uidriver::sendKey(running->window, uidriver::Key::Escape);
  start.exitCode = running->process.waitForExit(e2e::kWaitMs);
  return start;
}

// A start of the normal exe that shows one box before its window; OK is pressed and the window then
// shows as usual, and is ended with Esc.
struct BoxedStart {
  uidriver::MessageBoxInfo box;
  bool windowShownAfterOk = false;
  e2e::Shown shown;
  std::optional<DWORD> exitCode;
};

std::optional<BoxedStart> startWithBox(const GameFolder& game) {
  auto process = uidriver::Process::start(game.exe());
  if (!process) return std::nullopt;
  HWND window = process->waitForMainWindow(e2e::kWindowTitle, e2e::kWaitMs);
  auto box = process->waitForMessageBox(e2e::kWaitMs);
  if (!window || !box) return std::nullopt;
  BoxedStart start{*box, false, {}, std::nullopt};
  process->pressOk(*box);
  start.windowShownAfterOk = process->waitVisible(window, e2e::kWaitMs);
  if (start.windowShownAfterOk) {
    start.shown = e2e::shownBy(uidriver::readWindow(window));
    uidriver::sendKey(window, uidriver::Key::Escape);
  } else if (auto secondBox = process->waitForMessageBox(e2e::kWaitMs)) {
    process->pressOk(*secondBox);
  }
  start.exitCode = process->waitForExit(e2e::kWaitMs);
  return start;
}

TEST(JournalRecovery, aCrashAtEachStepOfTheWriteBackIsRolledBackAtTheNextStart) {
  struct Case {
    const wchar_t* step;
    int build;
    bool slotChangedByCrash;
  };
  const Case cases[] = {
      {L"journalFlushed", 1, false},
      {L"writeSlot", 2, true},
      {L"slotWritten", 4, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "crash at " << testing::PrintToString(std::wstring(c.step)));
    const fixture::GameFolderOptions options{c.build, Edition::official};
    GameFolder game(options);
    const std::string original = fixture::readSlot(game.path(), c.build);
    const std::string fixed = fixedSlot(options);
    const std::uint64_t digestBefore = fixture::digestOutsideSlot(game.path(), c.build);
    ASSERT_TRUE(original != fixed);

    ASSERT_TRUE(crashWriteBackAt(game, c.step));
    EXPECT_TRUE(testfiles::fileExists(game.file(kJournal)));
    EXPECT_EQ(fixture::readSlot(game.path(), c.build) != original, c.slotChangedByCrash);

    const auto restart = startCleanly(game);
    ASSERT_TRUE(restart) << "the window shows with no box";
    EXPECT_EQ(restart->shown.status, L"未修正");
    EXPECT_EQ(restart->shown.button, L"安装补丁");
    EXPECT_EQ(restart->exitCode, std::optional<DWORD>(0));
    EXPECT_TRUE(fixture::readSlot(game.path(), c.build) == original) << "the slot is rolled back";
    EXPECT_EQ(fixture::digestOutsideSlot(game.path(), c.build), digestBefore);
    EXPECT_FALSE(testfiles::fileExists(game.file(kJournal)));
  }
}

// Wine reports a terminated process as ended at once, while a system call it was in (a write or
// flush of a few MB) still runs to its end; Windows signals the process only after its I/O is done.
void waitForLastWritesOfKilledProcess() { Sleep(1000); }

// The time from the click to the success box in a clean installation.
std::optional<DWORD> measureInstallation(const fixture::GameFolderOptions& options, std::string& fixedSlotOut) {
  GameFolder twin(options);
  auto running = e2e::startAndWaitVisible(twin.exe());
  if (!running) return std::nullopt;
  const ULONGLONG clicked = GetTickCount64();
  if (!clickInstall(*running)) return std::nullopt;
  auto box = running->process.waitForMessageBox(e2e::kWaitMs);
  if (!box || box->caption != L"恭喜") return std::nullopt;
  const auto elapsed = static_cast<DWORD>(GetTickCount64() - clicked);
  running->process.pressOk(*box);
  running->process.kill();
  fixedSlotOut = fixture::readSlot(twin.path(), options.build);
  return elapsed;
}

TEST(JournalRecovery, aKillAtAnyMomentOfTheInstallationLeavesTheOriginalOrTheFixedSlot) {
  const fixture::GameFolderOptions options{3, Edition::corrected};
  std::string fixed;
  const std::optional<DWORD> installMs = measureInstallation(options, fixed);
  ASSERT_TRUE(installMs);
  ASSERT_TRUE(fixed == fixedSlot(options)) << "a clean installation writes the fixed database, padded";

  // Kill points spread over the measured installation, and one right after its success box.
  std::vector<DWORD> killDelaysMs;
  for (DWORD eighth = 0; eighth <= 8; ++eighth) killDelaysMs.push_back(*installMs * eighth / 8);
  constexpr DWORD kAfterSuccessBox = MAXDWORD;
  killDelaysMs.push_back(kAfterSuccessBox);

  int endedOriginal = 0;
  int endedFixed = 0;
  for (const DWORD delay : killDelaysMs) {
    SCOPED_TRACE(testing::Message() << "killed " << delay << " ms after the click");
    GameFolder game(options);
    const std::string original = fixture::readSlot(game.path(), options.build);
    const std::uint64_t digestBefore = fixture::digestOutsideSlot(game.path(), options.build);
    auto running = e2e::startAndWaitVisible(game.exe());
    ASSERT_TRUE(running);
    ASSERT_TRUE(clickInstall(*running));
    if (delay == kAfterSuccessBox) {
      const auto box = running->process.waitForMessageBox(e2e::kWaitMs);
      ASSERT_TRUE(box);
      EXPECT_EQ(box->caption, L"恭喜");
    } else {
      Sleep(delay);
    }
    running->process.kill();
    waitForLastWritesOfKilledProcess();

    const auto restart = startCleanly(game);
    ASSERT_TRUE(restart) << "the window shows with no box";
    const std::string slot = fixture::readSlot(game.path(), options.build);
    const bool isOriginal = slot == original;
    const bool isFixed = slot == fixed;
    EXPECT_TRUE(isOriginal || isFixed) << "the slot is neither the original nor the fixed one";
    EXPECT_EQ(restart->shown.status, isFixed ? L"已成功修正" : L"未修正");
    EXPECT_TRUE(isFixed || delay != kAfterSuccessBox) << "after the success box the fix is in";
    EXPECT_EQ(fixture::digestOutsideSlot(game.path(), options.build), digestBefore);
    EXPECT_FALSE(testfiles::fileExists(game.file(kJournal)));
    endedOriginal += isOriginal ? 1 : 0;
    endedFixed += isFixed ? 1 : 0;
  }
  std::printf("kills ending with the original slot: %d, with the fixed slot: %d\n", endedOriginal, endedFixed);
}

TEST(JournalRecovery, aDamagedOrForeignJournalIsNeverAppliedAndIsReported) {
  const fixture::GameFolderOptions options{1, Edition::official};
  std::string validJournal;
  {
    GameFolder source(options);
    ASSERT_TRUE(crashWriteBackAt(source, L"journalFlushed"));
    validJournal = testfiles::readWholeFile(source.file(kJournal)).value_or("");
  }
  ASSERT_EQ(validJournal.size(), kHeaderSize + fixture::buildFacts(1).slotLength);

  struct Damage {
    const char* name;
    std::string journal;
  };
  std::vector<Damage> damages;
  damages.push_back({"truncated", validJournal.substr(0, validJournal.size() - 4096)});
  damages.push_back({"cut inside the header", validJournal.substr(0, kHeaderSize - 8)});
  std::string flippedOriginal = validJournal;
  flippedOriginal[kHeaderSize + 100] ^= 0x01;
  damages.push_back({"a byte of the original slot flipped", flippedOriginal});
  std::string flippedHeader = validJournal;
  flippedHeader[kSlotOffsetField + 1] ^= 0x01;
  damages.push_back({"a header byte flipped", flippedHeader});
  std::string otherBuild = validJournal;
  putField(otherBuild, kSlotOffsetField, fixture::buildFacts(2).slotOffset);
  resealHeader(otherBuild);
  damages.push_back({"another build's slot offset", otherBuild});
  std::string otherSize = validJournal;
  putField(otherSize, kAssetSizeField, fixture::buildFacts(1).assetSize + 4096);
  resealHeader(otherSize);
  damages.push_back({"made for another asset size", otherSize});

  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.name);
    GameFolder game(options);
    const std::string original = fixture::readSlot(game.path(), 1);
    const std::uint64_t digestBefore = fixture::digestOutsideSlot(game.path(), 1);
    ASSERT_TRUE(testfiles::writeWholeFile(game.file(kJournal), damage.journal));

    const auto start = startWithBox(game);
    ASSERT_TRUE(start);
    EXPECT_EQ(start->box.caption, L"ERROR");
    EXPECT_EQ(start->box.text, boxtexts::kUnusableJournalText);
    EXPECT_TRUE(start->box.iconIsError);
    EXPECT_TRUE(start->windowShownAfterOk);
    EXPECT_EQ(start->shown.status, L"未修正");
    EXPECT_EQ(start->exitCode, std::optional<DWORD>(0));
    EXPECT_TRUE(fixture::readSlot(game.path(), 1) == original);
    EXPECT_EQ(fixture::digestOutsideSlot(game.path(), 1), digestBefore);
    EXPECT_TRUE(testfiles::readWholeFile(game.file(kJournal)) == damage.journal) << "the journal is left as it was";
  }
}

TEST(JournalRecovery, anEmptyJournalOrOneCutShortWhileWrittenIsDeletedSilently) {
  for (const wchar_t* leftover : {kJournal, L"qm.journal.tmp"}) {
    GameFolder game;
    const std::string original = fixture::readSlot(game.path(), 1);
    const std::string content = leftover == kJournal ? "" : "QFJOURN1 cut short";
    ASSERT_TRUE(testfiles::writeWholeFile(game.file(leftover), content));
    const auto start = startCleanly(game);
    ASSERT_TRUE(start) << "the window shows with no box";
    EXPECT_EQ(start->shown.status, L"未修正");
    EXPECT_FALSE(testfiles::fileExists(game.file(leftover)));
    EXPECT_TRUE(fixture::readSlot(game.path(), 1) == original);
  }
}

TEST(TransientLocks, aFileHeldForAMomentIsOpenedAfterTheRetry) {
  struct Case {
    const wchar_t* name;
    DWORD holdMs;
  };
  const Case cases[] = {
      {L"qm.bin", 200},
      {L"qm.bin", 600},
      {L"QM_Client_Data\\resources.assets", 200},
      {L"QM_Client_Data\\resources.assets", 600},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << testing::PrintToString(std::wstring(c.name)) << " held " << c.holdMs << " ms");
    GameFolder game;
    ASSERT_TRUE(testfiles::writeWholeFile(game.file(L"qm.bin"), "left over"));
    auto hold = uidriver::TimedFileHold::start(game.file(c.name), 0, c.holdMs);
    ASSERT_TRUE(hold);
    const auto start = startCleanly(game);
    hold->waitReleased();
    ASSERT_TRUE(start) << "the window shows with no box";
    EXPECT_EQ(start->shown.status, L"未修正");
    EXPECT_EQ(start->exitCode, std::optional<DWORD>(0));
    EXPECT_TRUE(testfiles::readWholeFile(game.file(L"qm.bin")) == fixture::readSlot(game.path(), 1));
  }
}

TEST(TransientLocks, aFileHeldForTheWholeRunStillGivesItsBoxAfterAboutASecond) {
  struct Case {
    const wchar_t* name;
    DWORD shareMode;
    const wchar_t* text;
  };
  const Case cases[] = {
      {L"QM_Client_Data\\resources.assets", 0, boxtexts::kAssetNotOpenedText},
      {L"qm.bin", FILE_SHARE_READ, boxtexts::kCacheNotWrittenText},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)));
    GameFolder game;
    ASSERT_TRUE(testfiles::writeWholeFile(game.file(L"qm.bin"), fixture::readSlot(game.path(), 1)));
    HANDLE held = uidriver::holdFile(game.file(c.name), c.shareMode);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const ULONGLONG started = GetTickCount64();
    auto process = uidriver::Process::start(game.exe());
    ASSERT_TRUE(process);
    const auto box = process->waitForMessageBox(e2e::kWaitMs);
    const ULONGLONG boxAfterMs = GetTickCount64() - started;
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, L"ERROR");
    EXPECT_EQ(box->text, c.text);
    EXPECT_TRUE(box->iconIsError);
    EXPECT_GE(boxAfterMs, 900u) << "the open was retried";
    EXPECT_LT(boxAfterMs, 4000u) << "the retry is bounded";
    process->pressOk(*box);
    EXPECT_EQ(process->waitForExit(e2e::kWaitMs), std::optional<DWORD>(0));
    EXPECT_FALSE(process->windowEverVisible());
    CloseHandle(held);
  }
}

}  // namespace
