#include "app/main_window.h"

#include <array>
#include <string>

#include "app/code_page.h"
#include "app/framework.h"
#include "app/label.h"

namespace {

enum class ControlKind { label, pushButton };

struct FormControl {
  ControlKind kind;
  Control name;
  int left, top, width, height;
  const char* initialText;
  COLORREF colour;
};

constexpr int kWindowWidth = 324;
constexpr int kWindowHeight = 104;
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr wchar_t kMainWindowClassName[] = L"QuestFixMainWindow";
constexpr char kWindowTitle[] = "《Quillmarsh》冒险无任务BUG修复补丁";
constexpr int kIconResource = 1;

// The controls in their stacking order, the first on top.
constexpr std::array<FormControl, 7> kForm{{
    {ControlKind::label, Control::标签3, 169, 14, 36, 20, "0.750", RGB(0, 0, 0)},
    {ControlKind::label, Control::标签5, 16, 8, 158, 32, "您当前使用的游戏版本为：", RGB(0, 0, 0)},
    {ControlKind::label, Control::标签6, 209, 14, 43, 20, "官方版", RGB(255, 0, 0)},
    {ControlKind::label, Control::标签7, 252, 14, 60, 20, "非Steam", RGB(255, 0, 255)},
    {ControlKind::label, Control::标签2, 15, 34, 120, 40, "冒险模式无任务BUG：", RGB(0, 96, 192)},
    {ControlKind::pushButton, Control::按钮1, 239, 36, 72, 32, "安装补丁", 0},
    {ControlKind::label, Control::标签1, 147, 34, 80, 40, "检测当中……", RGB(128, 128, 128)},
}};

HWND mainWindow = nullptr;
std::array<HWND, kForm.size()> controlWindows{};
EventHandler installClickHandler = nullptr;

int controlId(Control control) { return static_cast<int>(control) + 1; }

HWND controlWindow(Control control) { return controlWindows[static_cast<std::size_t>(control)]; }

std::wstring wide(const Text& text) { return widenGbk(text).value_or(std::wstring()); }

void onCommand(WPARAM wParam) {
  if (LOWORD(wParam) == controlId(Control::按钮1) && HIWORD(wParam) == BN_CLICKED && installClickHandler) {
    installClickHandler();
  }
}

// The button is the window's only tab stop: it takes the focus whenever the window gets it.
void onSetFocus() {
  HWND button = controlWindow(Control::按钮1);
  if (button && IsWindowEnabled(button)) SetFocus(button);
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      onCommand(wParam);
      return 0;
    case WM_SETFOCUS:
      onSetFocus();
      return 0;
    case kDestroyRequest:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      mainWindow = nullptr;
      controlWindows.fill(nullptr);
      noteWindowDestroyed();
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

HWND createControl(HWND parent, const FormControl& control) {
  const RECT bounds{control.left, control.top, control.left + control.width, control.top + control.height};
  const std::wstring caption = wide(control.initialText);
  if (control.kind == ControlKind::label) {
    return createLabel(parent, bounds, caption.c_str(), control.colour, controlId(control.name));
  }
  HWND button = CreateWindowExW(0, L"BUTTON", caption.c_str(),
                                WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | BS_PUSHBUTTON | BS_CENTER | BS_VCENTER |
                                    BS_MULTILINE,
                                control.left, control.top, control.width, control.height, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId(control.name))),
                                GetModuleHandleW(nullptr), nullptr);
  if (button) SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  return button;
}

bool createControls(HWND parent) {
  HWND above = HWND_TOP;
  for (const FormControl& control : kForm) {
    HWND window = createControl(parent, control);
    if (!window) return false;
    SetWindowPos(window, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    controlWindows[static_cast<std::size_t>(control.name)] = window;
    above = window;
  }
  return true;
}

void giveIcon(HWND window) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  const auto load = [instance](int sizeMetric) {
    return LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON, GetSystemMetrics(sizeMetric),
                      GetSystemMetrics(sizeMetric), LR_SHARED);
  };
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(load(SM_CXICON)));
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(load(SM_CXSMICON)));
}

}  // namespace

bool registerFormClasses() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = mainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  windowClass.lpszClassName = kMainWindowClassName;
  return RegisterClassExW(&windowClass) != 0 && registerLabelClass(instance);
}

bool createMainWindow(EventHandler onCreate, EventHandler onInstallClick) {
  installClickHandler = onInstallClick;
  const int left = (GetSystemMetrics(SM_CXSCREEN) - kWindowWidth) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - kWindowHeight) / 2;
  const std::wstring title = wide(kWindowTitle);
  mainWindow = CreateWindowExW(0, kMainWindowClassName, title.c_str(), kWindowStyle, left, top, kWindowWidth,
                               kWindowHeight, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!mainWindow) return false;
  RECT outer;
  GetWindowRect(mainWindow, &outer);
  if (outer.right - outer.left != kWindowWidth || outer.bottom - outer.top != kWindowHeight) {
    SetWindowPos(mainWindow, nullptr, left, top, kWindowWidth, kWindowHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  giveIcon(mainWindow);
  if (!createControls(mainWindow)) {
    DestroyWindow(mainWindow);
    return false;
  }
  for (HWND control : controlWindows) ShowWindow(control, SW_SHOWNA);
  onCreate();
  if (mainWindow) {
    ShowWindow(mainWindow, SW_SHOW);
    UpdateWindow(mainWindow);
  }
  return true;
}

HWND mainWindowHandle() { return mainWindow; }

void setCaption(Control control, const Text& caption) {
  SetWindowTextW(controlWindow(control), wide(caption).c_str());
}

void setTextColour(Control control, COLORREF colour) { setLabelColour(controlWindow(control), colour); }

void setDisabled(Control control, bool disabled) { EnableWindow(controlWindow(control), disabled ? FALSE : TRUE); }
