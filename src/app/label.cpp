#include "app/label.h"

#include <string>

namespace {

constexpr int kColourSlot = 0;
HFONT labelFont = nullptr;

HFONT fontForLabels() {
  if (!labelFont) {
    labelFont = CreateFontW(-12, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, PROOF_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"微软雅黑");
  }
  return labelFont ? labelFont : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

void onPaint(HWND label) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(label, &paint);
  RECT bounds;
  GetClientRect(label, &bounds);
  FillRect(dc, &bounds, GetSysColorBrush(COLOR_BTNFACE));
  const int length = GetWindowTextLengthW(label);
  if (length > 0) {
    std::wstring caption(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(label, caption.data(), length + 1);
    HGDIOBJ previousFont = SelectObject(dc, fontForLabels());
    SetTextColor(dc, static_cast<COLORREF>(GetWindowLongPtrW(label, kColourSlot)));
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, caption.c_str(), copied, &bounds, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOCLIP);
    SelectObject(dc, previousFont);
  }
  EndPaint(label, &paint);
}

LRESULT CALLBACK labelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      onPaint(label);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SETTEXT: {
      const LRESULT result = DefWindowProcW(label, message, wParam, lParam);
      InvalidateRect(label, nullptr, FALSE);
      return result;
    }
    case WM_NCHITTEST:
      return HTTRANSPARENT;
    default:
      return DefWindowProcW(label, message, wParam, lParam);
  }
}

}  // namespace

bool registerLabelClass(HINSTANCE instance) {
  WNDCLASSEXW labelClass{};
  labelClass.cbSize = sizeof labelClass;
  labelClass.lpfnWndProc = labelProc;
  labelClass.cbWndExtra = sizeof(LONG_PTR);
  labelClass.hInstance = instance;
  labelClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  labelClass.lpszClassName = kLabelClassName;
  return RegisterClassExW(&labelClass) != 0;
}

HWND createLabel(HWND parent, const RECT& bounds, const wchar_t* caption, COLORREF colour, int id) {
  HWND label = CreateWindowExW(0, kLabelClassName, caption, WS_CHILD | WS_CLIPSIBLINGS, bounds.left, bounds.top,
                               bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  if (label) SetWindowLongPtrW(label, kColourSlot, static_cast<LONG_PTR>(colour));
  return label;
}

void setLabelColour(HWND label, COLORREF colour) {
  SetWindowLongPtrW(label, kColourSlot, static_cast<LONG_PTR>(colour));
  InvalidateRect(label, nullptr, FALSE);
}

void releaseLabelFont() {
  if (labelFont) DeleteObject(labelFont);
  labelFont = nullptr;
}
