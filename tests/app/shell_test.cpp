// The application shell seen from outside: message boxes, the run-time error report and the
// ways the program ends, driven through shell_harness.exe.
#include <gtest/gtest.h>

#include "test_files.h"
#include "ui_driver.h"

namespace {

constexpr DWORD kWaitMs = 8000;
constexpr wchar_t kMainWindowTitle[] = L"《Quillmarsh》冒险无任务BUG修复补丁";

struct Harness {
  testfiles::TempFolder folder;
  std::optional<uidriver::Process> process;

  explicit Harness(const std::wstring& arguments) {
    process = uidriver::Process::start(testfiles::builtProgram(L"shell_harness.exe"), folder.path(), arguments);
  }
  std::string marker(const wchar_t* name) const {
    return testfiles::readWholeFile(folder.file(name)).value_or("<none>");
  }
  HWND plainWindow() const {
    HWND window = FindWindowW(L"ShellHarnessWindow", nullptr);
    return window;
  }
};

TEST(Shell, showMessageUsesTheDefaultCaptionAndIsTaskModal) {
  struct Case {
    const wchar_t* arguments;
    const wchar_t* caption;
    bool icon;
    bool windowDisabled;
  };
  const Case cases[] = {
      {L"message 0", L"信息：", false, true},
      {L"message 16", L"信息：", true, true},
      {L"message 16 caption", L"标题", true, true},
      {L"message 0x1000", L"信息：", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "shell_harness " << std::string(c.arguments, c.arguments + wcslen(c.arguments)));
    Harness harness(c.arguments);
    ASSERT_TRUE(harness.process);
    const auto box = harness.process->waitForMessageBox(kWaitMs);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, c.caption);
    EXPECT_EQ(box->text, L"消息正文");
    EXPECT_EQ(box->hasIcon, c.icon);
    EXPECT_EQ(box->iconIsError, c.icon);
    EXPECT_EQ(IsWindowEnabled(harness.plainWindow()) == FALSE, c.windowDisabled);
    ASSERT_TRUE(harness.process->pressOk(*box));
    EXPECT_EQ(harness.process->waitForExit(kWaitMs), std::optional<DWORD>(100));
  }
}

TEST(Shell, runtimeErrorReportShowsItsBoxAndEndsWithMinusOneWithoutTheExitHook) {
  struct Case {
    const wchar_t* arguments;
    const wchar_t* text;
  };
  const Case cases[] = {
      {L"runtime-error 1", L"运行时出错!\r\n\r\n错误代码：1\r\n\r\n错误信息：数组成员引用下标超出定义范围\r\n"},
      {L"runtime-error 3",
       L"运行时出错!\r\n\r\n错误代码：3\r\n\r\n错误信息：引用数组成员时维数不为1且不等于该数组目前所具有的维数\r\n"},
      {L"out-of-memory", L"运行时出错!\r\n\r\n错误信息：分配 4611686018427387909 字节内存失败!\r\n"},
  };
  for (const Case& c : cases) {
    Harness harness(c.arguments);
    ASSERT_TRUE(harness.process);
    const auto box = harness.process->waitForMessageBox(kWaitMs);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, L"错误");
    EXPECT_EQ(box->text, c.text);
    EXPECT_TRUE(box->iconIsError);
    if (HWND window = harness.plainWindow()) {
      EXPECT_TRUE(IsWindowEnabled(window)) << "the report is not task-modal";
    }
    ASSERT_TRUE(harness.process->pressOk(*box));
    EXPECT_EQ(harness.process->waitForExit(kWaitMs), std::optional<DWORD>(0xFFFFFFFF));
    EXPECT_EQ(harness.marker(L"exit-hook"), "<none>");
  }
}

TEST(Shell, closingTheWindowInItsCreationEventEndsWithoutShowingItAfterTheHandlerFinished) {
  Harness harness(L"close-in-create");
  ASSERT_TRUE(harness.process);
  EXPECT_EQ(harness.process->waitForExit(kWaitMs), std::optional<DWORD>(0));
  EXPECT_FALSE(harness.process->windowEverVisible());
  EXPECT_EQ(harness.marker(L"after-close"), "1");
  EXPECT_EQ(harness.marker(L"exit-hook"), "1");
}

TEST(Shell, closingTheWindowFromAClickEndsTheLoopAndRunsTheExitHookOnce) {
  Harness harness(L"close-in-click");
  ASSERT_TRUE(harness.process);
  HWND window = harness.process->waitForMainWindow(kMainWindowTitle, kWaitMs);
  ASSERT_TRUE(window);
  ASSERT_TRUE(harness.process->waitVisible(window, kWaitMs));
  const uidriver::WindowInfo info = uidriver::readWindow(window);
  HWND button = nullptr;
  for (const auto& control : info.controls) {
    if (control.className == L"Button") button = control.hwnd;
  }
  ASSERT_TRUE(button);
  ASSERT_TRUE(uidriver::clickButton(button));
  EXPECT_EQ(harness.process->waitForExit(kWaitMs), std::optional<DWORD>(0));
  EXPECT_EQ(harness.marker(L"after-close"), "1");
  EXPECT_EQ(harness.marker(L"exit-hook"), "1");
}

}  // namespace
