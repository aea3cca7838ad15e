#include "e2e_support.h"


namespace e2e {

GameFolder::GameFolder(const fixture::GameFolderOptions& options) : options_(options) {
  fixture::makeGameFolder(folder_.path(), options);
  copyProgramInto(folder_.path());
}

bool copyProgramInto(const std::wstring& folder) {
  return CopyFileW(testfiles::builtProgram(L"QuestFix.exe").c_str(), (folder + L"\\QuestFix.exe").c_str(), FALSE) != 0;
}

const uidriver::ControlInfo* controlAt(const uidriver::WindowInfo& window, int left, int top) {
  for (const uidriver::ControlInfo& control : window.controls) {
    if (control.rect.left == left && control.rect.top == top) return &control;
  }
  return nullptr;
}

Shown shownBy(const uidriver::WindowInfo& window) {
  Shown shown;
  const auto textAt = [&window](int left, int top) {
    const uidriver::ControlInfo* control = controlAt(window, left, top);
    return control ? control->text : std::wstring(L"<missing>");
  };
  shown.distribution = textAt(252, 14);
  shown.version = textAt(169, 14);
  shown.edition = textAt(209, 14);
  shown.status = textAt(147, 34);
  shown.button = textAt(239, 36);
  const uidriver::ControlInfo* button = controlAt(window, 239, 36);
  shown.buttonEnabled = button && button->enabled;
  return shown;
}

namespace {

int pixelsOfColourNow(HWND label, COLORREF colour) {
  RECT bounds;
  GetWindowRect(label, &bounds);
  const int width = bounds.right - bounds.left;
  const int height = bounds.bottom - bounds.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, bounds.left, bounds.top, SRCCOPY);
  int count = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) count += GetPixel(memory, x, y) == colour ? 1 : 0;
  }
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return count;
}

}  // namespace

int pixelsOfColour(HWND label, COLORREF colour) {
  constexpr int kEnough = 10;
  constexpr DWORD kPauseMs = 20;
  const ULONGLONG deadline = GetTickCount64() + kWaitMs;
  int count = pixelsOfColourNow(label, colour);
  while (count <= kEnough && GetTickCount64() < deadline) {
    Sleep(kPauseMs);
    count = pixelsOfColourNow(label, colour);
  }
  return count;
}

std::optional<Running> startAndWaitVisible(const std::wstring& exe, const std::wstring& currentDir) {
  std::optional<uidriver::Process> process = uidriver::Process::start(exe, currentDir);
  if (!process) return std::nullopt;
  HWND window = process->waitForMainWindow(kWindowTitle, kWaitMs);
  if (!window || !process->waitVisible(window, kWaitMs)) return std::nullopt;
  return Running{std::move(*process), window};
}

}  // namespace e2e
