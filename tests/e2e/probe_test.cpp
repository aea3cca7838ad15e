// Build detection and the status probe of the real exe on generated game folders.
#include <gtest/gtest.h>

#include "box_texts.h"
#include "e2e_support.h"

namespace {

using e2e::GameFolder;
using fixture::Defect;
using fixture::Edition;

// Starts the exe, expects one box before the window is ever shown, presses OK and expects the end.
struct BoxRun {
  uidriver::MessageBoxInfo box;
  e2e::Shown shownBehind;
  std::optional<DWORD> exitCode;
  bool windowEverVisible = true;
};

std::optional<BoxRun> runToBox(const std::wstring& exe) {
  auto process = uidriver::Process::start(exe);
  if (!process) return std::nullopt;
  HWND window = process->waitForMainWindow(e2e::kWindowTitle, e2e::kWaitMs);
  auto box = process->waitForMessageBox(e2e::kWaitMs);
  if (!window || !box) return std::nullopt;
  BoxRun run{*box, e2e::shownBy(uidriver::readWindow(window)), std::nullopt, true};
  process->pressOk(*box);
  run.exitCode = process->waitForExit(e2e::kWaitMs);
  run.windowEverVisible = process->windowEverVisible();
  return run;
}

TEST(BuildDetection, eachBuildShowsItsDistributionAndVersionAndExtractsItsSlot) {
  for (int build = 1; build <= fixture::buildCount; ++build) {
    SCOPED_TRACE(testing::Message() << "build " << build);
    GameFolder game({build});
    const std::uint64_t digestBefore = fixture::digestOutsideSlot(game.path(), build);
    const std::string slotBefore = fixture::readSlot(game.path(), build);
    auto running = e2e::startAndWaitVisible(game.exe());
    ASSERT_TRUE(running);
    const e2e::Shown shown = e2e::shownBy(uidriver::readWindow(running->window));
    EXPECT_EQ(shown.distribution, fixture::buildFacts(build).distribution);
    EXPECT_EQ(shown.version, fixture::buildFacts(build).version);
    ASSERT_TRUE(uidriver::sendKey(running->window, uidriver::Key::Escape));
    EXPECT_EQ(running->process.waitForExit(e2e::kWaitMs), std::optional<DWORD>(0));

    EXPECT_EQ(slotBefore.size(), fixture::buildFacts(build).slotLength);
    EXPECT_TRUE(testfiles::readWholeFile(game.file(L"qm.bin")) == slotBefore) << "qm.bin is the slot, byte for byte";
    EXPECT_EQ(fixture::readSlot(game.path(), build), slotBefore);
    EXPECT_EQ(fixture::digestOutsideSlot(game.path(), build), digestBefore);
  }
}

TEST(BuildDetection, anUnknownSizeOrNoAssetFileShowsTheErrorBoxAndEndsUnseen) {
  for (const Defect defect : {Defect::noAssetFile, Defect::sizeOneByteShort, Defect::sizeOneByteLong}) {
    for (int build = 1; build <= fixture::buildCount; ++build) {
      SCOPED_TRACE(testing::Message() << "defect " << static_cast<int>(defect) << " build " << build);
      GameFolder game({build, Edition::official, false, defect});
      const auto run = runToBox(game.exe());
      ASSERT_TRUE(run);
      EXPECT_EQ(run->box.caption, L"ERROR");
      EXPECT_EQ(run->box.text, boxtexts::kUnknownBuildText);
      EXPECT_TRUE(run->box.iconIsError);
      EXPECT_EQ(run->shownBehind.distribution, L"（Steam）");
      EXPECT_EQ(run->shownBehind.version, L"0.752");
      EXPECT_EQ(run->exitCode, std::optional<DWORD>(0));
      EXPECT_FALSE(run->windowEverVisible);
      EXPECT_FALSE(testfiles::fileExists(game.file(L"qm.bin")));
    }
  }
}

TEST(StatusProbe, showsTheEditionAndTheFixState) {
  struct Case {
    Edition edition;
    bool fixed;
    const wchar_t* edition_text;
    const wchar_t* status;
    const wchar_t* button;
    bool enabled;
    COLORREF statusColour;
  };
  const Case cases[] = {
      {Edition::official, false, L"官方版", L"未修正", L"安装补丁", true, RGB(255, 0, 0)},
      {Edition::official, true, L"官方版", L"已成功修正", L"已修正", false, RGB(0, 128, 0)},
      {Edition::corrected, false, L"修正版", L"未修正", L"安装补丁", true, RGB(255, 0, 0)},
      {Edition::corrected, true, L"修正版", L"已成功修正", L"已修正", false, RGB(0, 128, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "edition " << static_cast<int>(c.edition) << " fixed " << c.fixed);
    GameFolder game({2, c.edition, c.fixed});
    ASSERT_TRUE(testfiles::writeWholeFile(game.file(L"qm.bin"), "left over from an earlier run"));
    auto running = e2e::startAndWaitVisible(game.exe());
    ASSERT_TRUE(running);
    const uidriver::WindowInfo window = uidriver::readWindow(running->window);
    const e2e::Shown shown = e2e::shownBy(window);
    EXPECT_EQ(shown.edition, c.edition_text);
    EXPECT_EQ(shown.status, c.status);
    EXPECT_EQ(shown.button, c.button);
    EXPECT_EQ(shown.buttonEnabled, c.enabled);
    EXPECT_GT(e2e::pixelsOfColour(e2e::controlAt(window, 147, 34)->hwnd, c.statusColour), 10);
    EXPECT_TRUE(testfiles::readWholeFile(game.file(L"qm.bin")) == fixture::readSlot(game.path(), 2));
  }
}

TEST(StatusProbe, anAssetFileHeldByAnotherProgramGivesTheBoxOf0E000015) {
  GameFolder game;
  ASSERT_TRUE(testfiles::writeWholeFile(game.file(L"qm.bin"), "old"));
  HANDLE held = uidriver::holdFile(fixture::assetPath(game.path()), 0);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const auto run = runToBox(game.exe());
  CloseHandle(held);
  ASSERT_TRUE(run);
  EXPECT_EQ(run->box.caption, L"ERROR");
  EXPECT_EQ(run->box.text, boxtexts::kAssetNotOpenedText);
  EXPECT_TRUE(run->box.iconIsError);
  EXPECT_TRUE(run->shownBehind.buttonEnabled);
  EXPECT_EQ(run->exitCode, std::optional<DWORD>(0));
  EXPECT_FALSE(run->windowEverVisible);
  EXPECT_FALSE(testfiles::fileExists(game.file(L"qm.bin")));
}

TEST(StatusProbe, aCacheFileHeldByAReaderShowsItsOldStateThenTheBoxOf0E000014) {
  GameFolder game({1, Edition::official, false});
  const std::string fixedDatabase = fixture::makeGameDatabase({1, Edition::corrected, true});
  ASSERT_TRUE(testfiles::writeWholeFile(game.file(L"qm.bin"), fixedDatabase));
  HANDLE held = uidriver::holdFile(game.file(L"qm.bin"), FILE_SHARE_READ);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const auto run = runToBox(game.exe());
  CloseHandle(held);
  ASSERT_TRUE(run);
  EXPECT_EQ(run->box.text, boxtexts::kCacheNotWrittenText);
  EXPECT_EQ(run->box.caption, L"ERROR");
  EXPECT_EQ(run->shownBehind.edition, L"修正版");
  EXPECT_EQ(run->shownBehind.status, L"已成功修正");
  EXPECT_EQ(run->shownBehind.button, L"已修正");
  EXPECT_TRUE(run->shownBehind.buttonEnabled);
  EXPECT_EQ(run->exitCode, std::optional<DWORD>(0));
  EXPECT_FALSE(run->windowEverVisible);
  EXPECT_TRUE(testfiles::readWholeFile(game.file(L"qm.bin")) == fixedDatabase);
}

TEST(StatusProbe, aDatabaseWithoutTheTwoCellsEndsWithARuntimeError) {
  struct Case {
    Defect defect;
    Edition edition;
    const wchar_t* text;
    const wchar_t* editionShown;
  };
  const Case cases[] = {
      {Defect::garbageSlot, Edition::corrected, boxtexts::kRuntimeError3Text, L"官方版"},
      {Defect::tableTooShortForEdition, Edition::corrected, boxtexts::kRuntimeError1Text, L"官方版"},
      {Defect::tableTooShortForStatus, Edition::corrected, boxtexts::kRuntimeError1Text, L"修正版"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.defect));
    GameFolder game({4, c.edition, false, c.defect});
    const std::uint64_t digestBefore = fixture::digestOutsideSlot(game.path(), 4);
    const std::string slotBefore = fixture::readSlot(game.path(), 4);
    const auto run = runToBox(game.exe());
    ASSERT_TRUE(run);
    EXPECT_EQ(run->box.caption, L"错误");
    EXPECT_EQ(run->box.text, c.text);
    EXPECT_TRUE(run->box.iconIsError);
    EXPECT_EQ(run->shownBehind.edition, c.editionShown);
    EXPECT_EQ(run->shownBehind.status, L"检测当中……");
    EXPECT_EQ(run->exitCode, std::optional<DWORD>(0xFFFFFFFF));
    EXPECT_FALSE(run->windowEverVisible);
    EXPECT_EQ(fixture::readSlot(game.path(), 4), slotBefore);
    EXPECT_EQ(fixture::digestOutsideSlot(game.path(), 4), digestBefore);
  }
}

}  // namespace
