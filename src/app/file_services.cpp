#include "app/file_services.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/code_page.h"

namespace {

struct ListedFile {
  FileNumber number;
  HANDLE handle;
};

struct ModeRights {
  DWORD access;
  DWORD disposition;
};

// Indexed by mode - 1.
constexpr ModeRights modeRights[] = {
    {GENERIC_READ, OPEN_EXISTING},
    {GENERIC_WRITE, OPEN_EXISTING},
    {GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING},
    {GENERIC_WRITE, CREATE_ALWAYS},
    {GENERIC_WRITE, OPEN_ALWAYS},
    {GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS},
};

// What other handles may do while the file is open, indexed by sharing - 1.
constexpr DWORD shareModes[] = {
    FILE_SHARE_READ | FILE_SHARE_WRITE,
    FILE_SHARE_WRITE,
    FILE_SHARE_READ,
    0,
};

// In the order of opening.
std::vector<ListedFile> openFiles;

// Numbers are not reused after closeAllFiles, so a stale number cannot reach a file opened later.
FileNumber lastFileNumber = 0;

// The name as the system takes it; nothing for an empty name, a zero byte inside it or bytes that
// are not valid GBK, so that such a name never reaches some other file.
std::optional<std::wstring> systemFileName(const Text& name) {
  if (name.empty() || name.find('\0') != Text::npos) return std::nullopt;
  return widenGbk(name);
}

// Directory searches expand these in the last part of a name; a file name never holds them.
bool hasWildcard(const std::wstring& name) {
  const size_t lastPartStart = name.find_last_of(L"\\/:");
  const size_t searchFrom = lastPartStart == std::wstring::npos ? 0 : lastPartStart + 1;
  return name.find_first_of(L"*?<>\"", searchFrom) != std::wstring::npos;
}

HANDLE handleOf(FileNumber file) {
  for (const ListedFile& open : openFiles) {
    if (open.number == file) return open.handle;
  }
  return nullptr;
}

FileNumber nextFileNumber() {
  do {
    lastFileNumber = lastFileNumber == INT32_MAX ? 1 : lastFileNumber + 1;
  } while (handleOf(lastFileNumber) != nullptr);
  return lastFileNumber;
}

bool moveTo(HANDLE handle, LONGLONG offset, DWORD origin) {
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  return SetFilePointerEx(handle, distance, nullptr, origin) != FALSE;
}

// False on a failed or short write; a block too long for one system write is refused unwritten.
bool writeAll(HANDLE handle, const ByteBlock& block) {
  if (block.empty()) return true;
  if (block.size() > MAXDWORD) return false;
  const DWORD length = static_cast<DWORD>(block.size());
  DWORD written = 0;
  return WriteFile(handle, block.data(), length, &written, nullptr) != FALSE && written == length;
}

// An exclusive open that meets another program's handle is tried again a few times, with growing
// pauses of about a second in all: a virus scanner that looks at a freshly written file holds it
// only for a moment. A lock that lasts still fails.
HANDLE createFile(const std::wstring& name, DWORD access, DWORD share, DWORD disposition) {
  static constexpr DWORD kRetryPausesMs[] = {15, 30, 60, 120, 240, 480};
  HANDLE handle = CreateFileW(name.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  for (const DWORD pause : kRetryPausesMs) {
    if (handle != INVALID_HANDLE_VALUE || share != 0) break;
    const DWORD error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION && error != ERROR_ACCESS_DENIED) break;
    Sleep(pause);
    handle = CreateFileW(name.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  return handle;
}

struct PieceCopy {
  DWORD copied = 0;
  bool readFailed = false;
  bool writeFailed = false;
};

// Copies up to count bytes from the source's position to the target's, in pieces through one small
// buffer, and stops at the end of the source or at the first failure.
PieceCopy copyPieces(HANDLE source, std::int32_t count, HANDLE target) {
  constexpr DWORD kPieceLength = 64 * 1024;
  PieceCopy copy;
  if (source == nullptr || count <= 0) return copy;
  const std::unique_ptr<char, decltype(&std::free)> piece(static_cast<char*>(std::malloc(kPieceLength)), &std::free);
  copy.readFailed = !piece;
  for (DWORD left = static_cast<DWORD>(count); left > 0 && !copy.readFailed && !copy.writeFailed;) {
    DWORD bytesRead = 0;
    copy.readFailed = ReadFile(source, piece.get(), std::min(left, kPieceLength), &bytesRead, nullptr) == FALSE;
    if (copy.readFailed || bytesRead == 0) break;
    DWORD written = 0;
    copy.writeFailed = WriteFile(target, piece.get(), bytesRead, &written, nullptr) == FALSE || written != bytesRead;
    copy.copied += written;
    left -= bytesRead;
  }
  return copy;
}

// Creates or truncates the file exclusively, writes the block and then what fill writes, optionally
// flushes it to the disk, and closes it; true only when every step succeeded.
template <typename Fill>
bool writeFileWhole(const Text& name, const ByteBlock& block, Fill fill, bool flush) {
  const std::optional<std::wstring> wideName = systemFileName(name);
  if (!wideName) return false;
  const HANDLE handle = createFile(*wideName, GENERIC_WRITE, 0, CREATE_ALWAYS);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool written = writeAll(handle, block) && fill(handle) && (!flush || FlushFileBuffers(handle) != FALSE);
  const bool closed = CloseHandle(handle) != FALSE;
  return written && closed;
}

}  // namespace

std::int32_t fileSize(const Text& name) {
  const std::optional<std::wstring> wideName = systemFileName(name);
  if (!wideName || hasWildcard(*wideName)) return -1;
  WIN32_FIND_DATAW entry;
  const HANDLE search = FindFirstFileW(wideName->c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return -1;
  FindClose(search);
  if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return -1;
  return static_cast<std::int32_t>(entry.nFileSizeLow);
}

bool deleteFile(const Text& name) {
  const std::optional<std::wstring> wideName = systemFileName(name);
  return wideName && DeleteFileW(wideName->c_str()) != FALSE;
}

FileNumber openFile(const Text& name, int mode, int sharing) {
  if (mode < 1 || mode > 6 || sharing < 1 || sharing > 4) return 0;
  const std::optional<std::wstring> wideName = systemFileName(name);
  if (!wideName) return 0;
  const ModeRights& rights = modeRights[mode - 1];
  const HANDLE handle = createFile(*wideName, rights.access, shareModes[sharing - 1], rights.disposition);
  if (handle == INVALID_HANDLE_VALUE) return 0;
  const FileNumber number = nextFileNumber();
  openFiles.push_back({number, handle});
  return number;
}

bool seekFromStart(FileNumber file, std::int32_t offset) {
  const HANDLE handle = handleOf(file);
  return handle != nullptr && offset >= 0 && moveTo(handle, offset, FILE_BEGIN);
}

bool seekToEnd(FileNumber file) {
  const HANDLE handle = handleOf(file);
  return handle != nullptr && moveTo(handle, 0, FILE_END);
}

// A block that cannot be had is a failed read, not the end of the program: the memory is tried
// with malloc first (a failed new would end the program), then the block is read in place.
ByteBlock readBytes(FileNumber file, std::int32_t count) {
  const HANDLE handle = handleOf(file);
  if (handle == nullptr || count <= 0) return ByteBlock();
  void* probe = std::malloc(static_cast<size_t>(count));
  if (!probe) {
    moveTo(handle, 0, FILE_END);
    return ByteBlock();
  }
  std::free(probe);
  ByteBlock block(static_cast<size_t>(count), '\0');
  DWORD bytesRead = 0;
  if (ReadFile(handle, block.data(), static_cast<DWORD>(count), &bytesRead, nullptr) == FALSE) {
    moveTo(handle, 0, FILE_END);
    return ByteBlock();
  }
  block.resize(bytesRead);
  return block;
}

bool readExactly(FileNumber file, std::int32_t count, ByteBlock& into) {
  into.clear();
  const HANDLE handle = handleOf(file);
  if (handle == nullptr || count <= 0) return false;
  into.resize(static_cast<size_t>(count));
  DWORD bytesRead = 0;
  if (ReadFile(handle, into.data(), static_cast<DWORD>(count), &bytesRead, nullptr) == FALSE) {
    into.clear();
    moveTo(handle, 0, FILE_END);
    return false;
  }
  into.resize(bytesRead);
  return bytesRead == static_cast<DWORD>(count);
}

bool writeBytes(FileNumber file, const ByteBlock& block) {
  const HANDLE handle = handleOf(file);
  if (handle == nullptr) return false;
  if (block.empty()) return true;
  LARGE_INTEGER before;
  if (SetFilePointerEx(handle, LARGE_INTEGER(), &before, FILE_CURRENT) == FALSE) return false;
  if (writeAll(handle, block)) return true;
  moveTo(handle, before.QuadPart, FILE_BEGIN);
  return false;
}

bool writeWholeFile(const Text& name, const ByteBlock& block) {
  return writeFileWhole(name, block, [](HANDLE) { return true; }, false);
}

bool copyToWholeFile(FileNumber from, std::int32_t count, const Text& name) {
  const HANDLE source = handleOf(from);
  return writeFileWhole(name, ByteBlock(), [source, count](HANDLE target) {
    const PieceCopy copy = copyPieces(source, count, target);
    if (!copy.readFailed) return !copy.writeFailed;
    // As after a failed whole read: nothing is written and the source stands at its end.
    moveTo(source, 0, FILE_END);
    return moveTo(target, 0, FILE_BEGIN) && SetEndOfFile(target) != FALSE;
  }, false);
}

bool copyToWholeFileDurably(const Text& name, const ByteBlock& first, FileNumber from, std::int32_t count) {
  const HANDLE source = handleOf(from);
  return source != nullptr && count >= 0 && writeFileWhole(name, first, [source, count](HANDLE target) {
    const PieceCopy copy = copyPieces(source, count, target);
    return !copy.readFailed && !copy.writeFailed && copy.copied == static_cast<DWORD>(count);
  }, true);
}

bool renameFile(const Text& from, const Text& to) {
  const std::optional<std::wstring> wideFrom = systemFileName(from);
  const std::optional<std::wstring> wideTo = systemFileName(to);
  return wideFrom && wideTo &&
         MoveFileExW(wideFrom->c_str(), wideTo->c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool flushFile(FileNumber file) {
  const HANDLE handle = handleOf(file);
  return handle != nullptr && FlushFileBuffers(handle) != FALSE;
}

void closeAllFiles() {
  for (const ListedFile& open : openFiles) CloseHandle(open.handle);
  openFiles.clear();
}

ByteBlock zeroBytes(std::int32_t count) {
  return count <= 0 ? ByteBlock() : ByteBlock(static_cast<size_t>(count), '\0');
}
