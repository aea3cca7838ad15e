#include "box_answerer.h"

namespace bench {

namespace {

constexpr int kBoxTextId = 0xFFFF;

BOOL CALLBACK findVisibleBox(HWND window, LPARAM found) {
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  if (std::wstring(className) != L"#32770" || !IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

std::wstring boxText(HWND box) {
  wchar_t text[1024] = {};
  GetDlgItemTextW(box, kBoxTextId, text, 1024);
  return text;
}

}  // namespace

BoxAnswerer::BoxAnswerer(DWORD watchedThread) : watchedThread_(watchedThread), worker_([this] { run(); }) {}

BoxAnswerer::~BoxAnswerer() {
  stopping_ = true;
  worker_.join();
}

std::wstring BoxAnswerer::takeLastText() {
  std::lock_guard<std::mutex> hold(textLock_);
  std::wstring text;
  text.swap(lastText_);
  return text;
}

void BoxAnswerer::run() {
  while (!stopping_) {
    HWND box = nullptr;
    EnumThreadWindows(watchedThread_, findVisibleBox, reinterpret_cast<LPARAM>(&box));
    if (!box) {
      Sleep(1);
      continue;
    }
    {
      std::lock_guard<std::mutex> hold(textLock_);
      lastText_ = boxText(box);
    }
    PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    while (!stopping_ && IsWindow(box)) Sleep(1);
  }
}

}  // namespace bench
