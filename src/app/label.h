#pragma once
#include <windows.h>

// Painted text labels: the window text is the caption, the text colour lives with the window.
constexpr wchar_t kLabelClassName[] = L"QuestFixLabel";

bool registerLabelClass(HINSTANCE instance);

// Creates a hidden label child of parent.
HWND createLabel(HWND parent, const RECT& bounds, const wchar_t* caption, COLORREF colour, int id);

void setLabelColour(HWND label, COLORREF colour);

// Releases the shared label font.
void releaseLabelFont();
