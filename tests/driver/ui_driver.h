// Drives a Win32 program from another process of the same Wine server (or Windows session):
// starts it, finds and reads its windows, answers its message boxes, clicks, types keys,
// holds files against it and takes screenshots. Expected failures are results, never exceptions.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace uidriver {

struct ControlInfo {
    HWND hwnd = nullptr;
    std::wstring className;
    RECT rect = {};  // in the parent's client coordinates
    std::wstring text;
    DWORD style = 0;
    bool visible = false;
    bool enabled = false;
};

struct WindowInfo {
    HWND hwnd = nullptr;
    std::wstring className;
    std::wstring title;
    RECT rect = {};  // outer rectangle in screen coordinates
    DWORD style = 0;
    DWORD exStyle = 0;
    HWND owner = nullptr;
    bool visible = false;
    bool enabled = false;
    std::vector<ControlInfo> controls;  // stacking order, topmost first
};

struct MessageBoxInfo {
    HWND hwnd = nullptr;
    std::wstring caption;
    std::wstring text;
    bool hasIcon = false;
    // Judged from the icon's pixels on screen: the stop icon is the only one with a red disc.
    bool iconIsError = false;
};

enum class Key { Escape, Enter, Space, AltF4 };

// Exit code that kill() gives a process, so that a killed run never passes for a clean one.
constexpr DWORD killedExitCode = 0xDEAD;

// A started program. Every wait polls the program's top-level windows every few milliseconds
// and remembers whether a window other than a message box was ever seen visible.
class Process {
public:
    static std::optional<Process> start(const std::wstring& exePath, const std::wstring& currentDir = L"",
                                        const std::wstring& arguments = L"");

    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process();

    DWORD pid() const { return pid_; }

    // The program's top-level window with this title, visible or not; nullptr on time-out.
    HWND waitForMainWindow(const std::wstring& title, DWORD timeoutMs);
    bool waitVisible(HWND window, DWORD timeoutMs);
    // A visible message box (class #32770) of the program; nothing on time-out.
    std::optional<MessageBoxInfo> waitForMessageBox(DWORD timeoutMs);
    // Presses the box's OK button and waits until the box is gone.
    bool pressOk(const MessageBoxInfo& box, DWORD timeoutMs = 2000);
    // The exit code once the program has ended; nothing on time-out.
    std::optional<DWORD> waitForExit(DWORD timeoutMs);
    // Polls the condition (and the program's windows) until it holds or the time is up.
    template <typename Condition>
    bool waitUntil(Condition condition, DWORD timeoutMs);

    // Whether any wait so far saw a top-level window of the program, other than a message box, visible.
    bool windowEverVisible() const { return windowEverVisible_; }
    bool running() const;
    void kill();

private:
    Process(HANDLE process, DWORD pid) : process_(process), pid_(pid) {}
    void observeWindows();
    void release();

    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    bool windowEverVisible_ = false;
};

WindowInfo readWindow(HWND window);
// The window's text, read with WM_GETTEXT so that it works across processes for any window class.
std::wstring readText(HWND window);

bool clickButton(HWND button);
// Delivers the key's messages as the keyboard would: for a top-level window to whichever of its
// windows has the focus, for a control to the control, after giving it the focus.
bool sendKey(HWND target, Key key);

// Opens an existing file for reading and writing with the given share mode;
// INVALID_HANDLE_VALUE on failure. The caller closes the handle.
HANDLE holdFile(const std::wstring& path, DWORD shareMode);

// A file held open on a background thread for a fixed time; the destructor waits for the release.
class TimedFileHold {
public:
    static std::optional<TimedFileHold> start(const std::wstring& path, DWORD shareMode, DWORD holdMs);

    TimedFileHold(TimedFileHold&&) noexcept = default;
    TimedFileHold& operator=(TimedFileHold&& other) noexcept;
    ~TimedFileHold();
    void waitReleased();

private:
    explicit TimedFileHold(std::thread releaser) : releaser_(std::move(releaser)) {}
    std::thread releaser_;
};

// Saves the screen, or the window's outer rectangle, as an RGB PNG.
bool saveScreenshot(const std::wstring& pngPath, HWND window = nullptr);

namespace detail {
constexpr DWORD pollIntervalMs = 3;
}

template <typename Condition>
bool Process::waitUntil(Condition condition, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        observeWindows();
        if (condition()) return true;
        if (GetTickCount64() >= deadline) return false;
        Sleep(detail::pollIntervalMs);
    }
}

}  // namespace uidriver
