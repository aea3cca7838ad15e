#include "app/runtime_error.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "app/code_page.h"
#include "app/framework.h"

namespace {

constexpr char kCrLf[] = "\r\n";
constexpr UINT kRuntimeErrorStyle = MB_ICONERROR;

Text messageOfCode(int code) {
  switch (code) {
    case 1:
      return "数组成员引用下标超出定义范围";
    case 3:
      return "引用数组成员时维数不为1且不等于该数组目前所具有的维数";
    default:
      return Text();
  }
}

[[noreturn]] void showAndEnd(const wchar_t* text) {
  MessageBoxW(nullptr, text, L"错误", kRuntimeErrorStyle);
  shutDownAfterRuntimeError();
}

// The box text of a run-time error report: the code line when code is not 0, the message line
// when the message is not empty.
Text runtimeErrorText(int code, const Text& message) {
  Text text = "运行时出错!";
  text += kCrLf;
  text += kCrLf;
  if (code != 0) {
    text += "错误代码：" + std::to_string(code) + kCrLf + kCrLf;
  }
  if (!message.empty()) text += "错误信息：" + message + kCrLf;
  return text;
}

[[noreturn]] void report(int code, const Text& message) {
  showAndEnd(widenGbk(runtimeErrorText(code, message)).value_or(std::wstring()).c_str());
}

// Reports that size bytes of memory could not be obtained; allocates nothing on the heap.
[[noreturn]] void reportOutOfMemory(std::size_t size) {
  char text[160];
  std::snprintf(text, sizeof text, "运行时出错!\r\n\r\n错误信息：分配 %llu 字节内存失败!\r\n",
                static_cast<unsigned long long>(size));
  wchar_t wideText[160];
  const int length = MultiByteToWideChar(936, 0, text, -1, wideText, 160);
  showAndEnd(length > 0 ? wideText : L"");
}

}  // namespace

void reportRuntimeError(int code) { report(code, messageOfCode(code)); }

void reportRuntimeError(const Text& message) { report(0, message); }

// Every failed allocation of the program ends it through the run-time error report.
void* operator new(std::size_t size) {
  if (void* block = std::malloc(size ? size : 1)) return block;
  reportOutOfMemory(size);
}

void* operator new[](std::size_t size) { return ::operator new(size); }

void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
