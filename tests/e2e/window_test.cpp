// The main window of the real exe: layout, texts, stacking, keys and the ways it closes.
#include <gtest/gtest.h>

#include "e2e_support.h"

#include <shellapi.h>

namespace {

using e2e::GameFolder;

struct ExpectedControl {
  const wchar_t* className;
  RECT rect;
  const wchar_t* text;
};

HWND buttonOf(const uidriver::WindowInfo& window) {
  const uidriver::ControlInfo* button = e2e::controlAt(window, 239, 36);
  return button ? button->hwnd : nullptr;
}

// Clicks the title bar's close box with the real mouse.
bool clickCloseBox(HWND window) {
  RECT outer;
  GetWindowRect(window, &outer);
  for (int x = outer.right - 2; x > outer.left; --x) {
    for (int y = outer.top + 2; y < outer.top + 30; ++y) {
      DWORD_PTR hit = 0;
      SendMessageTimeoutW(window, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_ABORTIFHUNG, 1000, &hit);
      if (hit != HTCLOSE) continue;
      SetForegroundWindow(window);
      SetCursorPos(x, y);
      INPUT clicks[2] = {};
      clicks[0].type = clicks[1].type = INPUT_MOUSE;
      clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
      clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
      return SendInput(2, clicks, sizeof(INPUT)) == 2;
    }
  }
  return false;
}

TEST(MainWindow, isCentredWithItsTitleStyleAndControlsInStackingOrder) {
  ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920) << "the test bed runs on a 1920 x 1080 screen";
  ASSERT_EQ(GetSystemMetrics(SM_CYSCREEN), 1080);
  GameFolder game;
  auto running = e2e::startAndWaitVisible(game.exe());
  ASSERT_TRUE(running);
  const uidriver::WindowInfo window = uidriver::readWindow(running->window);

  EXPECT_EQ(window.title, e2e::kWindowTitle);
  EXPECT_EQ(window.rect.left, 798);
  EXPECT_EQ(window.rect.top, 488);
  EXPECT_EQ(window.rect.right - window.rect.left, 324);
  EXPECT_EQ(window.rect.bottom - window.rect.top, 104);
  EXPECT_EQ(window.style & (WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN), DWORD{WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN});
  EXPECT_EQ(window.style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_POPUP), DWORD{0});
  EXPECT_EQ(window.exStyle & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW), DWORD{0});
  EXPECT_EQ(window.owner, nullptr);
  HICON large = nullptr;
  HICON small = nullptr;
  ExtractIconExW(game.exe().c_str(), 0, &large, &small, 1);
  EXPECT_TRUE(large && small) << "the exe carries its icon";
  DestroyIcon(large);
  DestroyIcon(small);

  const ExpectedControl expected[] = {
      {L"QuestFixLabel", {169, 14, 205, 34}, L"0.750"},
      {L"QuestFixLabel", {16, 8, 174, 40}, L"您当前使用的游戏版本为："},
      {L"QuestFixLabel", {209, 14, 252, 34}, L"官方版"},
      {L"QuestFixLabel", {252, 14, 312, 34}, L"（Steam）"},
      {L"QuestFixLabel", {15, 34, 135, 74}, L"冒险模式无任务BUG："},
      {L"Button", {239, 36, 311, 68}, L"安装补丁"},
      {L"QuestFixLabel", {147, 34, 227, 74}, L"未修正"},
  };
  ASSERT_EQ(window.controls.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    const uidriver::ControlInfo& control = window.controls[i];
    SCOPED_TRACE(testing::Message() << "control " << i);
    EXPECT_EQ(control.className, expected[i].className);
    EXPECT_EQ(control.rect.left, expected[i].rect.left);
    EXPECT_EQ(control.rect.top, expected[i].rect.top);
    EXPECT_EQ(control.rect.right, expected[i].rect.right);
    EXPECT_EQ(control.rect.bottom, expected[i].rect.bottom);
    EXPECT_EQ(control.text, expected[i].text);
    EXPECT_TRUE(control.visible);
    EXPECT_TRUE(control.enabled);
  }
  const uidriver::ControlInfo& button = window.controls[5];
  EXPECT_EQ(button.style & (BS_DEFPUSHBUTTON | WS_TABSTOP), DWORD{WS_TABSTOP});
}

TEST(MainWindow, labelsArePaintedInTheirColours) {
  GameFolder game;
  auto running = e2e::startAndWaitVisible(game.exe());
  ASSERT_TRUE(running);
  const uidriver::WindowInfo window = uidriver::readWindow(running->window);
  struct Case {
    int left, top;
    COLORREF colour;
  };
  const Case cases[] = {
      {169, 14, RGB(0, 0, 0)},   {16, 8, RGB(0, 0, 0)},    {209, 14, RGB(255, 0, 0)},
      {252, 14, RGB(255, 0, 255)}, {15, 34, RGB(0, 96, 192)}, {147, 34, RGB(255, 0, 0)},
  };
  for (const Case& c : cases) {
    const uidriver::ControlInfo* label = e2e::controlAt(window, c.left, c.top);
    ASSERT_TRUE(label);
    EXPECT_GT(e2e::pixelsOfColour(label->hwnd, c.colour), 10) << "label at " << c.left << "," << c.top;
  }
}

TEST(MainWindow, escAltF4AndTheCloseBoxEndTheProgramWithExitCodeZero) {
  enum class Close { escape, escapeOnButton, altF4, closeBox };
  for (const Close how : {Close::escape, Close::escapeOnButton, Close::altF4, Close::closeBox}) {
    SCOPED_TRACE(static_cast<int>(how));
    GameFolder game;
    auto running = e2e::startAndWaitVisible(game.exe());
    ASSERT_TRUE(running);
    switch (how) {
      case Close::escape:
        EXPECT_TRUE(uidriver::sendKey(running->window, uidriver::Key::Escape));
        break;
      case Close::escapeOnButton:
        EXPECT_TRUE(uidriver::sendKey(buttonOf(uidriver::readWindow(running->window)), uidriver::Key::Escape));
        break;
      case Close::altF4:
        EXPECT_TRUE(uidriver::sendKey(running->window, uidriver::Key::AltF4));
        break;
      case Close::closeBox:
        EXPECT_TRUE(clickCloseBox(running->window));
        break;
    }
    EXPECT_EQ(running->process.waitForExit(e2e::kWaitMs), std::optional<DWORD>(0));
    EXPECT_FALSE(running->process.waitForMessageBox(0)) << "closing asks nothing";
  }
}

TEST(MainWindow, enterDoesNotPressTheButtonButTheSpaceBarDoes) {
  GameFolder game;
  auto running = e2e::startAndWaitVisible(game.exe());
  ASSERT_TRUE(running);
  HWND button = buttonOf(uidriver::readWindow(running->window));
  ASSERT_TRUE(uidriver::sendKey(button, uidriver::Key::Enter));
  EXPECT_FALSE(running->process.waitForMessageBox(1000));
  EXPECT_TRUE(IsWindowEnabled(button));
  ASSERT_TRUE(uidriver::sendKey(button, uidriver::Key::Space));
  const auto box = running->process.waitForMessageBox(e2e::kWaitMs);
  ASSERT_TRUE(box);
  EXPECT_EQ(box->caption, L"恭喜");
  running->process.pressOk(*box);
}

TEST(MainWindow, startedFromAnotherFolderItWorksInItsOwnFolder) {
  GameFolder game;
  testfiles::TempFolder elsewhere;
  auto running = e2e::startAndWaitVisible(game.exe(), elsewhere.path());
  ASSERT_TRUE(running);
  EXPECT_EQ(e2e::shownBy(uidriver::readWindow(running->window)).status, L"未修正");
  EXPECT_TRUE(testfiles::fileExists(game.file(L"qm.bin")));
  EXPECT_FALSE(testfiles::fileExists(elsewhere.file(L"qm.bin")));
}

TEST(MainWindow, anAssetFileInTheStartingFolderButNotBesideTheProgramIsNotFound) {
  GameFolder game;
  testfiles::TempFolder programFolder;
  ASSERT_TRUE(e2e::copyProgramInto(programFolder.path()));
  auto process = uidriver::Process::start(programFolder.file(L"QuestFix.exe"), game.path());
  ASSERT_TRUE(process);
  const auto box = process->waitForMessageBox(e2e::kWaitMs);
  ASSERT_TRUE(box);
  EXPECT_EQ(box->caption, L"ERROR");
  process->pressOk(*box);
  EXPECT_EQ(process->waitForExit(e2e::kWaitMs), std::optional<DWORD>(0));
  EXPECT_FALSE(testfiles::fileExists(game.file(L"qm.bin")));
}

}  // namespace
