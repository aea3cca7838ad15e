// ui_driver walk: runs the tool once through its window as a user would and reports what it showed.
#include "ui_driver.h"

#include <cwchar>
#include <optional>
#include <string>

using namespace uidriver;

namespace {

constexpr DWORD firstSightTimeoutMs = 15000;
constexpr DWORD installTimeoutMs = 30000;
constexpr DWORD settleTimeoutMs = 3000;
constexpr DWORD exitTimeoutMs = 5000;
constexpr int maxBoxesInARow = 10;

enum ExitStatus { walkCompleted = 0, badUsage = 1, startFailed = 2, walkFailed = 3 };

struct Options {
    std::wstring exe;
    std::wstring cwd;
    std::wstring shots;
    std::wstring title = L"《Quillmarsh》冒险无任务BUG修复补丁";
    // Each shot holds only the window it is about (main window or box), not the whole screen.
    bool windowOnly = false;
};

// Writes UTF-8 bytes, so that a Linux terminal behind Wine shows the Chinese texts as they are.
void print(const std::wstring& line) {
    const std::wstring withNewline = line + L"\n";
    const int size = WideCharToMultiByte(CP_UTF8, 0, withNewline.data(), static_cast<int>(withNewline.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, withNewline.data(), static_cast<int>(withNewline.size()), bytes.data(), size,
                        nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// The text in double quotes, with line breaks spelled out so that every character shows.
std::wstring quoted(const std::wstring& text) {
    std::wstring out = L"\"";
    for (wchar_t c : text) {
        if (c == L'\r')
            out += L"\\r";
        else if (c == L'\n')
            out += L"\\n";
        else if (c == L'"' || c == L'\\')
            out += std::wstring(L"\\") + c;
        else
            out += c;
    }
    return out + L"\"";
}

std::wstring hex(DWORD value) {
    wchar_t buffer[16];
    std::swprintf(buffer, std::size(buffer), L"0x%08lX", static_cast<unsigned long>(value));
    return buffer;
}

std::wstring rectText(const RECT& r) {
    return L"(" + std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L")-(" + std::to_wstring(r.right) + L"," +
           std::to_wstring(r.bottom) + L")";
}

void printBox(const MessageBoxInfo& box) {
    const wchar_t* icon = !box.hasIcon ? L"none" : box.iconIsError ? L"error" : L"other";
    print(L"box: caption " + quoted(box.caption) + L" text " + quoted(box.text) + L" icon " + icon);
}

void printWindow(const WindowInfo& window) {
    print(L"window: title " + quoted(window.title) + L" rect " + rectText(window.rect) +
          (window.visible ? L" visible" : L" hidden") + (window.enabled ? L" enabled" : L" disabled"));
    for (const ControlInfo& control : window.controls)
        print(L"  " + control.className + L" " + rectText(control.rect) + L" " + quoted(control.text) +
              (control.visible ? L"" : L" hidden") + (control.enabled ? L" enabled" : L" disabled"));
}

void saveShot(const Options& options, const std::wstring& suffix, HWND window) {
    const std::wstring path = options.shots + suffix;
    const bool saved = saveScreenshot(path, options.windowOnly ? window : nullptr);
    print((saved ? L"shot: " : L"shot failed: ") + path);
}

const ControlInfo* findButton(const WindowInfo& window) {
    for (const ControlInfo& control : window.controls)
        if (lstrcmpiW(control.className.c_str(), L"Button") == 0) return &control;
    return nullptr;
}

// What the tool shows next: a message box, its visible main window, or nothing because it ended.
struct Sight {
    std::optional<MessageBoxInfo> box;
    HWND window = nullptr;
    bool ended = false;
};

std::optional<Sight> waitForSight(Process& tool, const std::wstring& title, DWORD timeoutMs) {
    Sight sight;
    const bool seen = tool.waitUntil(
        [&] {
            sight.ended = !tool.running();
            if (sight.ended) return true;
            sight.box = tool.waitForMessageBox(0);
            if (sight.box) return true;
            HWND window = tool.waitForMainWindow(title, 0);
            sight.window = window && IsWindowVisible(window) ? window : nullptr;
            return sight.window != nullptr;
        },
        timeoutMs);
    if (!seen) return std::nullopt;
    return sight;
}

// Presses OK on every box in a row; returns what follows the last one.
std::optional<Sight> answerBoxes(Process& tool, const Options& options, Sight sight, bool& shotTaken) {
    for (int count = 0; sight.box; ++count) {
        printBox(*sight.box);
        if (!shotTaken) {
            saveShot(options, L"-before.png", sight.box->hwnd);
            shotTaken = true;
        }
        if (count == maxBoxesInARow || !tool.pressOk(*sight.box)) {
            print(L"error: the message box did not go away");
            return std::nullopt;
        }
        print(L"pressed OK");
        const auto next = waitForSight(tool, options.title, firstSightTimeoutMs);
        if (!next) return std::nullopt;
        sight = *next;
    }
    return sight;
}

// Clicks the install button, answers the box that follows and waits for the window to take the result.
bool install(Process& tool, const Options& options, HWND mainWindow, const ControlInfo& button) {
    print(L"click: " + quoted(button.text));
    if (!clickButton(button.hwnd)) return false;
    const auto box = tool.waitForMessageBox(installTimeoutMs);
    if (!box) {
        print(L"error: no message box after the click");
        return false;
    }
    printBox(*box);
    saveShot(options, L"-box.png", box->hwnd);
    const std::wstring textWithBox = readText(button.hwnd);
    const bool enabledWithBox = IsWindowEnabled(button.hwnd);
    if (!tool.pressOk(*box)) {
        print(L"error: the message box did not go away");
        return false;
    }
    print(L"pressed OK");
    tool.waitUntil(
        [&] {
            return !IsWindow(button.hwnd) || readText(button.hwnd) != textWithBox ||
                   (IsWindowEnabled(button.hwnd) != FALSE) != enabledWithBox;
        },
        settleTimeoutMs);
    if (!IsWindow(mainWindow)) return true;
    printWindow(readWindow(mainWindow));
    saveShot(options, L"-after.png", mainWindow);
    return true;
}

// Closes the tool with Esc, pressing OK on any box that stands in the way, and waits for its end.
bool closeTool(Process& tool, HWND mainWindow) {
    if (IsWindow(mainWindow)) {
        print(L"key: Esc");
        if (!sendKey(mainWindow, Key::Escape)) print(L"error: Esc could not be typed into the window");
    }
    for (int count = 0; count < maxBoxesInARow; ++count) {
        std::optional<MessageBoxInfo> box;
        tool.waitUntil(
            [&] {
                if (!tool.running()) return true;
                box = tool.waitForMessageBox(0);
                return box.has_value();
            },
            exitTimeoutMs);
        if (!box) return !tool.running();
        printBox(*box);
        if (!tool.pressOk(*box)) return false;
        print(L"pressed OK");
    }
    return false;
}

int walk(const Options& options) {
    auto started = Process::start(options.exe, options.cwd);
    if (!started) {
        print(L"error: cannot start " + options.exe + L" (error " + std::to_wstring(GetLastError()) + L")");
        return startFailed;
    }
    Process& tool = *started;
    print(L"started: pid " + std::to_wstring(tool.pid()));

    bool completed = false;
    bool shotTaken = false;
    auto sight = waitForSight(tool, options.title, firstSightTimeoutMs);
    if (sight) sight = answerBoxes(tool, options, *sight, shotTaken);
    if (sight && sight->ended) {
        completed = true;
    } else if (sight && sight->window) {
        const HWND mainWindow = sight->window;
        const WindowInfo window = readWindow(mainWindow);
        printWindow(window);
        if (!shotTaken) saveShot(options, L"-before.png", mainWindow);
        const ControlInfo* button = findButton(window);
        const bool installed = !button || !button->enabled || install(tool, options, mainWindow, *button);
        completed = closeTool(tool, mainWindow) && installed;
    } else {
        print(L"error: the tool showed nothing in time");
    }

    if (const auto code = tool.waitForExit(completed ? exitTimeoutMs : 0)) {
        print(L"exit code: " + hex(*code));
    } else {
        print(L"error: the tool is still running; killing it");
        tool.kill();
        completed = false;
    }
    print(std::wstring(L"window ever shown: ") + (tool.windowEverVisible() ? L"yes" : L"no"));
    return completed ? walkCompleted : walkFailed;
}

std::optional<Options> parseWalkOptions(int argc, wchar_t** argv) {
    Options options;
    for (int i = 2; i < argc; ++i) {
        const std::wstring name = argv[i];
        if (name == L"--window-only") {
            options.windowOnly = true;
            continue;
        }
        if (i + 1 == argc) return std::nullopt;
        const std::wstring value = argv[++i];
        if (name == L"--exe")
            options.exe = value;
        else if (name == L"--cwd")
            options.cwd = value;
        else if (name == L"--shots")
            options.shots = value;
        else if (name == L"--title")
            options.title = value;
        else
            return std::nullopt;
    }
    if (options.exe.empty() || options.shots.empty()) return std::nullopt;
    return options;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    SetConsoleOutputCP(CP_UTF8);
    const auto options = argc >= 2 && std::wstring(argv[1]) == L"walk" ? parseWalkOptions(argc, argv) : std::nullopt;
    if (!options) {
        print(L"usage: ui_driver walk [--window-only] --exe PATH [--cwd DIR] --shots PREFIX [--title TITLE]");
        return badUsage;
    }
    return walk(*options);
}
