#pragma once
#include <windows.h>

#include "app/text.h"

// The seven controls of the main window, named as in its form description.
enum class Control { 标签3, 标签5, 标签6, 标签7, 标签2, 按钮1, 标签1 };

using EventHandler = void (*)();

// Creates the main window hidden with its controls, runs onCreate (the creation event) and shows
// the window if the handler left it alive. onInstallClick handles clicks on 按钮1.
// Returns false when the window could not be created.
bool createMainWindow(EventHandler onCreate, EventHandler onInstallClick);

// Registers the window classes of the form; false when the system refuses.
bool registerFormClasses();

// The main window, or nullptr once it has been destroyed (or before it exists).
HWND mainWindowHandle();

void setCaption(Control control, const Text& caption);
void setTextColour(Control control, COLORREF colour);
void setDisabled(Control control, bool disabled);

// Window message that asks the main window to destroy itself (posted by closeMainWindowAndExit).
constexpr UINT kDestroyRequest = WM_APP + 1;
