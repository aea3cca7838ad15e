#include "ui_driver.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <utility>

namespace uidriver {
namespace {

constexpr UINT messageTimeoutMs = 2000;
constexpr int messageBoxTextId = 0xFFFF;

std::wstring classNameOf(HWND window) {
    wchar_t name[256] = {};
    const int length = GetClassNameW(window, name, static_cast<int>(std::size(name)));
    return std::wstring(name, static_cast<size_t>(std::max(length, 0)));
}

bool isMessageBox(HWND window) { return classNameOf(window) == L"#32770"; }

std::vector<HWND> topLevelWindowsOf(DWORD pid) {
    struct Search {
        DWORD pid;
        std::vector<HWND> found;
    } search{pid, {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s.pid) s.found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The title as the window manager keeps it; unlike WM_GETTEXT this never waits for a busy program.
std::wstring titleOf(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring title(static_cast<size_t>(std::max(length, 0)) + 1, L'\0');
    const int copied = GetWindowTextW(window, title.data(), static_cast<int>(title.size()));
    title.resize(static_cast<size_t>(std::max(copied, 0)));
    return title;
}

RECT rectInParentClient(HWND control) {
    RECT rect = {};
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;  // rows top to bottom, three bytes a pixel
};

std::optional<Image> captureScreen(const RECT& area) {
    Image image;
    image.width = area.right - area.left;
    image.height = area.bottom - area.top;
    if (image.width <= 0 || image.height <= 0) return std::nullopt;

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = image.width;
    info.bmiHeader.biHeight = -image.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool copied = false;
    if (memory && bitmap) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        copied = BitBlt(memory, 0, 0, image.width, image.height, screen, area.left, area.top, SRCCOPY | CAPTUREBLT);
        GdiFlush();
        if (copied) {
            const auto* bgrx = static_cast<const std::uint8_t*>(bits);
            const size_t pixels = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
            image.rgb.resize(pixels * 3);
            for (size_t i = 0; i < pixels; ++i) {
                image.rgb[i * 3] = bgrx[i * 4 + 2];
                image.rgb[i * 3 + 1] = bgrx[i * 4 + 1];
                image.rgb[i * 3 + 2] = bgrx[i * 4];
            }
        }
        SelectObject(memory, previous);
    }
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!copied) return std::nullopt;
    return image;
}

HWND iconStaticOf(HWND box) {
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const auto style = static_cast<DWORD>(GetWindowLongPtrW(child, GWL_STYLE));
        if (classNameOf(child) == L"Static" && (style & SS_TYPEMASK) == SS_ICON) return child;
    }
    return nullptr;
}

bool hasIcon(HWND iconStatic) {
    DWORD_PTR icon = 0;
    return iconStatic &&
           SendMessageTimeoutW(iconStatic, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, messageTimeoutMs, &icon) && icon;
}

// At least an eighth of the pixels clearly red.
bool looksRed(const Image& image) {
    size_t red = 0;
    const size_t pixels = image.rgb.size() / 3;
    for (size_t i = 0; i < pixels; ++i) {
        const int r = image.rgb[i * 3], g = image.rgb[i * 3 + 1], b = image.rgb[i * 3 + 2];
        if (r >= 150 && r - std::max(g, b) >= 80) ++red;
    }
    return pixels > 0 && red * 8 >= pixels;
}

// The stop icon is a red disc; the information, warning and question icons have no red area.
// The box may not have painted its icon yet when it turns visible, and a half-painted box or what
// lay under it can look like another icon, so only red decides at once; anything else is taken as
// final once the box has had about a second to paint.
bool iconLooksRed(HWND iconStatic) {
    constexpr int attempts = 50;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        RECT area = {};
        if (!GetWindowRect(iconStatic, &area)) return false;
        if (const auto image = captureScreen(area)) {
            if (looksRed(*image)) return true;
        }
        Sleep(20);
    }
    return false;
}

MessageBoxInfo readMessageBox(HWND box) {
    MessageBoxInfo info;
    info.hwnd = box;
    info.caption = readText(box);
    info.text = readText(GetDlgItem(box, messageBoxTextId));
    HWND iconStatic = iconStaticOf(box);
    info.hasIcon = hasIcon(iconStatic);
    info.iconIsError = info.hasIcon && iconLooksRed(iconStatic);
    return info;
}

// SetFocus works on another thread's window only while the two threads share their input state.
bool focusControl(HWND control) {
    const DWORD target = GetWindowThreadProcessId(control, nullptr);
    const DWORD self = GetCurrentThreadId();
    if (!target || !AttachThreadInput(self, target, TRUE)) return false;
    SetFocus(control);
    const bool focused = GetFocus() == control;
    AttachThreadInput(self, target, FALSE);
    return focused;
}

struct KeyMessage {
    UINT message;
    WORD virtualKey;
};

// The messages a keyboard produces for the key, in order, as Wine's server words them: Alt up
// after another key is a plain WM_KEYUP.
std::vector<KeyMessage> keyMessages(Key key) {
    switch (key) {
    case Key::Escape:
        return {{WM_KEYDOWN, VK_ESCAPE}, {WM_KEYUP, VK_ESCAPE}};
    case Key::Enter:
        return {{WM_KEYDOWN, VK_RETURN}, {WM_KEYUP, VK_RETURN}};
    case Key::Space:
        return {{WM_KEYDOWN, VK_SPACE}, {WM_KEYUP, VK_SPACE}};
    case Key::AltF4:
        return {{WM_SYSKEYDOWN, VK_MENU}, {WM_SYSKEYDOWN, VK_F4}, {WM_SYSKEYUP, VK_F4}, {WM_KEYUP, VK_MENU}};
    }
    return {};
}

// Repeat count 1, the scan code, the Alt context bit for the system keys, and for a release the
// previous-state and transition bits.
LPARAM keyMessageParam(const KeyMessage& key) {
    const bool release = key.message == WM_KEYUP || key.message == WM_SYSKEYUP;
    const bool altDown = key.message == WM_SYSKEYDOWN || key.message == WM_SYSKEYUP;
    std::uint32_t param = 1;
    param |= (MapVirtualKeyW(key.virtualKey, MAPVK_VK_TO_VSC) & 0xFFu) << 16;
    if (altDown) param |= 1u << 29;
    if (release) param |= (1u << 30) | (1u << 31);
    return static_cast<LPARAM>(param);
}

// Where the keyboard would deliver a key for the window's thread: its focus window, else the window.
HWND keyboardFocusOf(HWND topLevel) {
    GUITHREADINFO thread = {};
    thread.cbSize = sizeof(thread);
    if (GetGUIThreadInfo(GetWindowThreadProcessId(topLevel, nullptr), &thread) && thread.hwndFocus &&
        GetAncestor(thread.hwndFocus, GA_ROOT) == topLevel)
        return thread.hwndFocus;
    return topLevel;
}

// PNG needs the CRC-32 of ISO 3309 over each chunk's type and data.
std::uint32_t crc32(const std::uint8_t* data, size_t size) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::uint32_t adler32(const std::vector<std::uint8_t>& data) {
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

void appendBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void appendChunk(std::vector<std::uint8_t>& png, const char (&type)[5], const std::vector<std::uint8_t>& data) {
    appendBigEndian(png, static_cast<std::uint32_t>(data.size()));
    const size_t typeStart = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    appendBigEndian(png, crc32(png.data() + typeStart, png.size() - typeStart));
}

// A zlib stream made of uncompressed ("stored") deflate blocks.
std::vector<std::uint8_t> zlibStored(const std::vector<std::uint8_t>& raw) {
    constexpr size_t maxBlock = 0xFFFF;
    std::vector<std::uint8_t> out = {0x78, 0x01};
    size_t offset = 0;
    do {
        const size_t length = std::min(maxBlock, raw.size() - offset);
        const bool last = offset + length == raw.size();
        out.push_back(last ? 1 : 0);
        out.push_back(static_cast<std::uint8_t>(length & 0xFF));
        out.push_back(static_cast<std::uint8_t>(length >> 8));
        out.push_back(static_cast<std::uint8_t>(~length & 0xFF));
        out.push_back(static_cast<std::uint8_t>((~length >> 8) & 0xFF));
        out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(offset),
                   raw.begin() + static_cast<std::ptrdiff_t>(offset + length));
        offset += length;
    } while (offset < raw.size());
    appendBigEndian(out, adler32(raw));
    return out;
}

std::vector<std::uint8_t> encodePng(const Image& image) {
    const size_t rowBytes = static_cast<size_t>(image.width) * 3;
    std::vector<std::uint8_t> scanlines;
    scanlines.reserve((rowBytes + 1) * static_cast<size_t>(image.height));
    for (int y = 0; y < image.height; ++y) {
        scanlines.push_back(0);  // filter type None
        const auto row = image.rgb.begin() + static_cast<std::ptrdiff_t>(rowBytes * static_cast<size_t>(y));
        scanlines.insert(scanlines.end(), row, row + static_cast<std::ptrdiff_t>(rowBytes));
    }

    std::vector<std::uint8_t> header;
    appendBigEndian(header, static_cast<std::uint32_t>(image.width));
    appendBigEndian(header, static_cast<std::uint32_t>(image.height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter set, no interlace

    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", zlibStored(scanlines));
    appendChunk(png, "IEND", {});
    return png;
}

bool writeFile(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    return CloseHandle(file) && ok;
}

}  // namespace

std::optional<Process> Process::start(const std::wstring& exePath, const std::wstring& currentDir,
                                      const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + exePath + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        currentDir.empty() ? nullptr : currentDir.c_str(), &startup, &info))
        return std::nullopt;
    CloseHandle(info.hThread);
    return Process(info.hProcess, info.dwProcessId);
}

Process::Process(Process&& other) noexcept
    : process_(std::exchange(other.process_, nullptr)),
      pid_(other.pid_),
      windowEverVisible_(other.windowEverVisible_) {}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        release();
        process_ = std::exchange(other.process_, nullptr);
        pid_ = other.pid_;
        windowEverVisible_ = other.windowEverVisible_;
    }
    return *this;
}

Process::~Process() { release(); }

void Process::release() {
    if (!process_) return;
    kill();
    CloseHandle(process_);
    process_ = nullptr;
}

void Process::observeWindows() {
    for (HWND window : topLevelWindowsOf(pid_))
        if (IsWindowVisible(window) && !isMessageBox(window)) windowEverVisible_ = true;
}

HWND Process::waitForMainWindow(const std::wstring& title, DWORD timeoutMs) {
    HWND found = nullptr;
    waitUntil(
        [&] {
            for (HWND window : topLevelWindowsOf(pid_))
                if (!isMessageBox(window) && titleOf(window) == title) found = window;
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

bool Process::waitVisible(HWND window, DWORD timeoutMs) {
    return waitUntil([&] { return IsWindowVisible(window) != FALSE; }, timeoutMs);
}

std::optional<MessageBoxInfo> Process::waitForMessageBox(DWORD timeoutMs) {
    HWND box = nullptr;
    waitUntil(
        [&] {
            for (HWND window : topLevelWindowsOf(pid_))
                if (isMessageBox(window) && IsWindowVisible(window)) box = window;
            return box != nullptr;
        },
        timeoutMs);
    if (!box) return std::nullopt;
    return readMessageBox(box);
}

bool Process::pressOk(const MessageBoxInfo& box, DWORD timeoutMs) {
    HWND ok = GetDlgItem(box.hwnd, IDOK);
    if (!ok || !PostMessageW(ok, BM_CLICK, 0, 0)) return false;
    return waitUntil([&] { return !IsWindow(box.hwnd); }, timeoutMs);
}

std::optional<DWORD> Process::waitForExit(DWORD timeoutMs) {
    if (!process_ || !waitUntil([&] { return !running(); }, timeoutMs)) return std::nullopt;
    DWORD code = 0;
    if (!GetExitCodeProcess(process_, &code)) return std::nullopt;
    return code;
}

bool Process::running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

void Process::kill() {
    if (!running()) return;
    TerminateProcess(process_, killedExitCode);
    WaitForSingleObject(process_, 5000);
}

std::wstring readText(HWND window) {
    DWORD_PTR length = 0;
    if (!window ||
        !SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, messageTimeoutMs, &length))
        return L"";
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, messageTimeoutMs, &copied))
        return L"";
    text.resize(std::min<size_t>(copied, length));
    return text;
}

WindowInfo readWindow(HWND window) {
    WindowInfo info;
    info.hwnd = window;
    info.className = classNameOf(window);
    info.title = titleOf(window);
    GetWindowRect(window, &info.rect);
    info.style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    info.exStyle = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
    info.owner = GetWindow(window, GW_OWNER);
    info.visible = IsWindowVisible(window);
    info.enabled = IsWindowEnabled(window);
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        ControlInfo control;
        control.hwnd = child;
        control.className = classNameOf(child);
        control.rect = rectInParentClient(child);
        control.text = readText(child);
        control.style = static_cast<DWORD>(GetWindowLongPtrW(child, GWL_STYLE));
        control.visible = IsWindowVisible(child);
        control.enabled = IsWindowEnabled(child);
        info.controls.push_back(std::move(control));
    }
    return info;
}

bool clickButton(HWND button) { return PostMessageW(button, BM_CLICK, 0, 0); }

// The key messages are posted to the window that has the keyboard focus, where the program's
// message loop picks them up as it would typed keys. Real input (SetForegroundWindow and SendInput)
// works under Wine and Xvfb only while no other program on the desktop changes the X input focus:
// each focus change makes Wine reload the key state from the X server with injected key releases,
// which drop an injected Alt, and moves the foreground, so tests running side by side lose keys.
bool sendKey(HWND target, Key key) {
    HWND topLevel = GetAncestor(target, GA_ROOT);
    if (!topLevel) return false;
    if (target != topLevel && !focusControl(target)) return false;
    HWND destination = target == topLevel ? keyboardFocusOf(topLevel) : target;
    for (const KeyMessage& message : keyMessages(key))
        if (!PostMessageW(destination, message.message, message.virtualKey, keyMessageParam(message))) return false;
    return true;
}

HANDLE holdFile(const std::wstring& path, DWORD shareMode) {
    return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, shareMode, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::optional<TimedFileHold> TimedFileHold::start(const std::wstring& path, DWORD shareMode, DWORD holdMs) {
    HANDLE file = holdFile(path, shareMode);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    return TimedFileHold(std::thread([file, holdMs] {
        Sleep(holdMs);
        CloseHandle(file);
    }));
}

TimedFileHold& TimedFileHold::operator=(TimedFileHold&& other) noexcept {
    if (this != &other) {
        waitReleased();
        releaser_ = std::move(other.releaser_);
    }
    return *this;
}

TimedFileHold::~TimedFileHold() { waitReleased(); }

void TimedFileHold::waitReleased() {
    if (releaser_.joinable()) releaser_.join();
}

bool saveScreenshot(const std::wstring& pngPath, HWND window) {
    RECT area = {};
    if (window) {
        if (!GetWindowRect(window, &area)) return false;
    } else {
        area.left = GetSystemMetrics(SM_XVIRTUALSCREEN);
        area.top = GetSystemMetrics(SM_YVIRTUALSCREEN);
        area.right = area.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
        area.bottom = area.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
    }
    const auto image = captureScreen(area);
    return image && writeFile(pngPath, encodePng(*image));
}

}  // namespace uidriver
