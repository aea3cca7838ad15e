#include "app/file_services.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <winioctl.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/code_page.h"

using namespace std::string_literals;

namespace {

constexpr DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A handle of "another program": the system's share modes treat it like one.
class OtherHandle {
 public:
  OtherHandle(const std::wstring& path, DWORD access, DWORD share, DWORD disposition = OPEN_EXISTING)
      : handle_(
            CreateFileW(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~OtherHandle() {
    if (opened()) CloseHandle(handle_);
  }
  OtherHandle(const OtherHandle&) = delete;
  OtherHandle& operator=(const OtherHandle&) = delete;

  bool opened() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

bool othersCanOpen(const std::wstring& path, DWORD access, DWORD share) {
  return OtherHandle(path, access, share).opened();
}

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void putFile(const std::wstring& path, const std::string& bytes) {
  OtherHandle file(path, GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_TRUE(file.opened());
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
  ASSERT_EQ(written, bytes.size());
}

// The whole file, read past any share mode that allows reading; nothing when it cannot be read.
std::optional<std::string> contentOf(const std::wstring& path) {
  OtherHandle file(path, GENERIC_READ, shareAll);
  LARGE_INTEGER size;
  if (!file.opened() || !GetFileSizeEx(file.get(), &size)) return std::nullopt;
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  DWORD bytesRead = 0;
  if (!bytes.empty() &&
      !ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &bytesRead, nullptr)) {
    return std::nullopt;
  }
  bytes.resize(bytesRead);
  return bytes;
}

// A file of the given length that costs no disk space: Linux file systems under Wine make the
// extension sparse by themselves, NTFS needs the sparse flag (which other file systems refuse).
void makeSparseFile(const std::wstring& path, LONGLONG length) {
  OtherHandle file(path, GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_TRUE(file.opened());
  DWORD returned = 0;
  DeviceIoControl(file.get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
  LARGE_INTEGER end;
  end.QuadPart = length;
  ASSERT_TRUE(SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN));
  ASSERT_TRUE(SetEndOfFile(file.get()));
}

void putBytesAt(const std::wstring& path, LONGLONG offset, const std::string& bytes) {
  OtherHandle file(path, GENERIC_WRITE, 0);
  ASSERT_TRUE(file.opened());
  LARGE_INTEGER position;
  position.QuadPart = offset;
  ASSERT_TRUE(SetFilePointerEx(file.get(), position, nullptr, FILE_BEGIN));
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
}

std::vector<std::wstring> entriesOf(const std::wstring& folder) {
  std::vector<std::wstring> entries;
  WIN32_FIND_DATAW entry;
  const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return entries;
  do {
    const std::wstring leaf = entry.cFileName;
    if (leaf != L"." && leaf != L"..") entries.push_back(leaf);
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  return entries;
}

void removeTree(const std::wstring& folder) {
  for (const std::wstring& leaf : entriesOf(folder)) {
    const std::wstring path = folder + L"\\" + leaf;
    if ((GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      removeTree(path);
    } else {
      DeleteFileW(path.c_str());
    }
  }
  RemoveDirectoryW(folder.c_str());
}

// Each test works in a fresh folder of its own; test files have ASCII leaf names usable in both forms.
class FileServices : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    ASSERT_GT(length, 0u);
    const std::optional<Text> gbkTemp = narrowGbk(std::wstring(temp, length));
    ASSERT_TRUE(gbkTemp) << "the temporary folder has no GBK name";
    for (unsigned attempt = 0;; ++attempt) {
      const std::string unique = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt);
      wideFolder_ =
          std::wstring(temp, length) + L"file-services-" + std::wstring(unique.begin(), unique.end());
      if (CreateDirectoryW(wideFolder_.c_str(), nullptr)) {
        folder_ = *gbkTemp + "file-services-" + unique;
        return;
      }
      ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    }
  }

  void TearDown() override {
    closeAllFiles();
    if (!wideFolder_.empty()) removeTree(wideFolder_);
    EXPECT_FALSE(exists(wideFolder_));
  }

  Text name(const std::string& leaf) const { return folder_ + "\\" + leaf; }
  std::wstring path(const std::string& leaf) const {
    return wideFolder_ + L"\\" + std::wstring(leaf.begin(), leaf.end());
  }

  std::wstring wideFolder_;
  Text folder_;
};

TEST_F(FileServices, fileSizeReadsTheDirectoryEntry) {
  putFile(path("empty.bin"), "");
  putFile(path("five.bin"), "12345");
  const struct {
    const char* leaf;
    std::int32_t size;
  } cases[] = {{"missing.bin", -1}, {"empty.bin", 0}, {"five.bin", 5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.leaf);
    EXPECT_EQ(fileSize(name(c.leaf)), c.size);
  }
}

TEST_F(FileServices, fileSizeSeesAFileThatAnotherProgramHoldsExclusively) {
  putFile(path("held.bin"), "12345");
  OtherHandle holder(path("held.bin"), GENERIC_READ | GENERIC_WRITE, 0);
  ASSERT_TRUE(holder.opened());
  EXPECT_EQ(fileSize(name("held.bin")), 5);
}

TEST_F(FileServices, fileSizeFindsOnlyTheNamedFile) {
  putFile(path("a.bin"), "12345");
  ASSERT_TRUE(CreateDirectoryW(path("folder").c_str(), nullptr));
  for (const Text& notAFile : {name("*.bin"), name("?.bin"), name("<.bin"), name("folder"), Text()}) {
    SCOPED_TRACE(notAFile);
    EXPECT_EQ(fileSize(notAFile), -1);
  }
}

TEST_F(FileServices, fileSizeKeepsTheLow32BitsAsSigned) {
  const struct {
    const char* leaf;
    LONGLONG length;
    std::int32_t size;
  } cases[] = {
      {"past-2gib.bin", (1LL << 31) + 5, INT32_MIN + 5},
      {"past-4gib.bin", (1LL << 32) + 7, 7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.leaf);
    makeSparseFile(path(c.leaf), c.length);
    EXPECT_EQ(fileSize(name(c.leaf)), c.size);
  }
}

TEST_F(FileServices, seekFromStartReachesTheLargest32BitOffset) {
  makeSparseFile(path("large.bin"), (1LL << 31) + 5);
  putBytesAt(path("large.bin"), INT32_MAX - 1, "\x01\x02");
  const FileNumber file = openFile(name("large.bin"), 3, 4);
  ASSERT_GT(file, 0);
  ASSERT_TRUE(seekFromStart(file, INT32_MAX - 1));
  EXPECT_EQ(readBytes(file, 10), "\x01\x02\0\0\0\0\0"s);
}

TEST_F(FileServices, deleteFileRemovesOnlyAFileItMayDelete) {
  putFile(path("gone.bin"), "x");
  EXPECT_TRUE(deleteFile(name("gone.bin")));
  EXPECT_FALSE(exists(path("gone.bin")));
  EXPECT_FALSE(deleteFile(name("gone.bin")));

  putFile(path("held.bin"), "x");
  OtherHandle holder(path("held.bin"), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
  ASSERT_TRUE(holder.opened());
  EXPECT_FALSE(deleteFile(name("held.bin")));
  EXPECT_TRUE(exists(path("held.bin")));
}

TEST_F(FileServices, openFileRefusesInvalidArgumentsWithoutHoldingTheFile) {
  putFile(path("a.bin"), "abc");
  const struct {
    Text name;
    int mode;
    int sharing;
  } cases[] = {
      {Text(), 3, 1},         {name("a.bin"), 0, 1}, {name("a.bin"), 7, 1},
      {name("a.bin"), -1, 4}, {name("a.bin"), 3, 0}, {name("a.bin"), 3, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << ", sharing " << c.sharing);
    EXPECT_EQ(openFile(c.name, c.mode, c.sharing), 0);
  }
  EXPECT_TRUE(othersCanOpen(path("a.bin"), GENERIC_READ | GENERIC_WRITE, 0));
}

// Writes "xy" at position 0 first, then reads from position 0.
TEST_F(FileServices, openFileModesDecideCreationTruncationAndAccess) {
  const struct {
    int mode;
    bool createsMissing;
    bool writes;
    bool reads;
    const char* content;
  } cases[] = {
      {1, false, false, true, "abc"}, {2, false, true, false, "xyc"}, {3, false, true, true, "xyc"},
      {4, true, true, false, "xy"},   {5, true, true, false, "xyc"},  {6, true, true, true, "xyc"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode);
    const std::string existing = "existing-" + std::to_string(c.mode);
    const std::string missing = "missing-" + std::to_string(c.mode);
    putFile(path(existing), "abc");

    const FileNumber file = openFile(name(existing), c.mode, 1);
    ASSERT_GT(file, 0);
    EXPECT_EQ(writeBytes(file, "xy"), c.writes);
    ASSERT_TRUE(seekFromStart(file, 0));
    EXPECT_EQ(readBytes(file, 3), c.reads ? c.content : "");

    EXPECT_EQ(openFile(name(missing), c.mode, 1) > 0, c.createsMissing);
    EXPECT_EQ(exists(path(missing)), c.createsMissing);

    closeAllFiles();
    EXPECT_EQ(contentOf(path(existing)), c.content);
  }
}

TEST_F(FileServices, openFileSharingDecidesWhatOthersMayDo) {
  const struct {
    int sharing;
    bool othersRead;
    bool othersWrite;
  } cases[] = {{1, true, true}, {2, false, true}, {3, true, false}, {4, false, false}};
  putFile(path("shared.bin"), "abc");
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "sharing " << c.sharing);
    ASSERT_GT(openFile(name("shared.bin"), 3, c.sharing), 0);
    EXPECT_EQ(othersCanOpen(path("shared.bin"), GENERIC_READ, shareAll), c.othersRead);
    EXPECT_EQ(othersCanOpen(path("shared.bin"), GENERIC_WRITE, shareAll), c.othersWrite);
    closeAllFiles();
  }
}

TEST_F(FileServices, exclusiveOpenFailsWhileAnyOtherHandleIsOpen) {
  putFile(path("a.bin"), "abc");
  ASSERT_GT(openFile(name("a.bin"), 3, 4), 0);
  EXPECT_EQ(openFile(name("a.bin"), 3, 4), 0);
  EXPECT_EQ(openFile(name("a.bin"), 1, 1), 0);
  closeAllFiles();

  OtherHandle reader(path("a.bin"), GENERIC_READ, shareAll);
  ASSERT_TRUE(reader.opened());
  EXPECT_EQ(openFile(name("a.bin"), 3, 4), 0);
}

TEST_F(FileServices, closeAllFilesReleasesEveryFileAndEveryNumber) {
  const std::string leaves[] = {"a.bin", "b.bin", "c.bin"};
  std::vector<FileNumber> numbers;
  for (const std::string& leaf : leaves) {
    putFile(path(leaf), "abc");
    const FileNumber file = openFile(name(leaf), 3, 4);
    ASSERT_GT(file, 0);
    for (const FileNumber earlier : numbers) EXPECT_NE(file, earlier);
    numbers.push_back(file);
  }
  closeAllFiles();
  for (const std::string& leaf : leaves)
    EXPECT_TRUE(othersCanOpen(path(leaf), GENERIC_READ | GENERIC_WRITE, 0));

  putFile(path("later.bin"), "later");
  ASSERT_GT(openFile(name("later.bin"), 3, 1), 0);
  numbers.push_back(0);
  numbers.push_back(-1);
  for (const FileNumber stale : numbers) {
    SCOPED_TRACE(testing::Message() << "file number " << stale);
    EXPECT_EQ(readBytes(stale, 3), "");
    EXPECT_FALSE(writeBytes(stale, "x"));
    EXPECT_FALSE(writeBytes(stale, ByteBlock()));
    EXPECT_FALSE(seekFromStart(stale, 0));
    EXPECT_FALSE(seekToEnd(stale));
  }
  closeAllFiles();
  EXPECT_EQ(contentOf(path("later.bin")), "later");
}

TEST_F(FileServices, readBytesGivesTheBytesThereAndMovesOn) {
  putFile(path("data.bin"), "ab\r\n\x1A\0\xFFpqrstu"s);
  const FileNumber file = openFile(name("data.bin"), 3, 4);
  ASSERT_GT(file, 0);
  EXPECT_EQ(readBytes(file, 7), "ab\r\n\x1A\0\xFF"s);
  EXPECT_EQ(readBytes(file, 2), "pq");
  ASSERT_TRUE(seekFromStart(file, 9));
  EXPECT_EQ(readBytes(file, 10), "rstu");
  EXPECT_EQ(readBytes(file, 10), "");
  ASSERT_TRUE(seekFromStart(file, 100));
  EXPECT_EQ(readBytes(file, 1), "");
  ASSERT_TRUE(seekToEnd(file));
  EXPECT_EQ(readBytes(file, 1), "");
}

TEST_F(FileServices, readExactlyIsTrueOnlyForTheWholeCount) {
  putFile(path("data.bin"), "0123456789");
  const FileNumber file = openFile(name("data.bin"), 3, 4);
  ASSERT_GT(file, 0);
  ByteBlock piece = "left over";
  EXPECT_TRUE(readExactly(file, 4, piece));
  EXPECT_EQ(piece, "0123");
  EXPECT_TRUE(readExactly(file, 2, piece));
  EXPECT_EQ(piece, "45");
  EXPECT_FALSE(readExactly(file, 5, piece)) << "only four bytes were left";
  EXPECT_EQ(piece, "6789");
  EXPECT_FALSE(readExactly(file, 1, piece));
  EXPECT_EQ(piece, "");
  ASSERT_TRUE(seekFromStart(file, 0));
  EXPECT_FALSE(readExactly(file, 0, piece));
  EXPECT_FALSE(readExactly(12345, 1, piece));

  putFile(path("write-only.bin"), "abc");
  const FileNumber writeOnly = openFile(name("write-only.bin"), 2, 1);
  ASSERT_GT(writeOnly, 0);
  piece = "left over";
  EXPECT_FALSE(readExactly(writeOnly, 2, piece));
  EXPECT_EQ(piece, "");
  EXPECT_TRUE(writeBytes(writeOnly, "Z"));
  closeAllFiles();
  EXPECT_EQ(contentOf(path("write-only.bin")), "abcZ") << "a failed read moves to the end";
}

TEST_F(FileServices, refusedCountsAndOffsetsLeaveThePosition) {
  putFile(path("data.bin"), "0123456789");
  const FileNumber file = openFile(name("data.bin"), 3, 4);
  ASSERT_GT(file, 0);
  ASSERT_TRUE(seekFromStart(file, 2));
  for (const std::int32_t count : {0, -1, INT32_MIN}) EXPECT_EQ(readBytes(file, count), "") << count;
  EXPECT_FALSE(seekFromStart(file, -1));
  EXPECT_FALSE(seekFromStart(file, INT32_MIN));
  EXPECT_EQ(readBytes(file, 2), "23");
}

TEST_F(FileServices, failedReadMovesToTheEnd) {
  putFile(path("write-only.bin"), "abc");
  const FileNumber file = openFile(name("write-only.bin"), 2, 1);
  ASSERT_GT(file, 0);
  EXPECT_EQ(readBytes(file, 2), "");
  EXPECT_TRUE(writeBytes(file, "Z"));
  closeAllFiles();
  EXPECT_EQ(contentOf(path("write-only.bin")), "abcZ");
}

TEST_F(FileServices, writeBytesWritesAtThePositionAndGrowsTheFile) {
  putFile(path("data.bin"), "abcdef");
  const FileNumber file = openFile(name("data.bin"), 3, 4);
  ASSERT_GT(file, 0);
  ASSERT_TRUE(seekFromStart(file, 2));
  EXPECT_TRUE(writeBytes(file, "X\r\n"));
  EXPECT_EQ(readBytes(file, 1), "f");
  ASSERT_TRUE(seekFromStart(file, 8));
  EXPECT_TRUE(writeBytes(file, "!\x1A"));
  EXPECT_TRUE(writeBytes(file, zeroBytes(2)));
  closeAllFiles();
  EXPECT_EQ(contentOf(path("data.bin")), "abX\r\nf\0\0!\x1A\0\0"s);
}

TEST_F(FileServices, absentBlocksWriteNothing) {
  EXPECT_EQ(zeroBytes(0), "");
  EXPECT_EQ(zeroBytes(-3), "");
  EXPECT_EQ(zeroBytes(3), "\0\0\0"s);
  putFile(path("data.bin"), "abc");
  const FileNumber file = openFile(name("data.bin"), 3, 4);
  ASSERT_GT(file, 0);
  EXPECT_TRUE(writeBytes(file, zeroBytes(0)));
  EXPECT_EQ(readBytes(file, 1), "a");
  closeAllFiles();
  EXPECT_EQ(contentOf(path("data.bin")), "abc");
}

TEST_F(FileServices, failedWriteKeepsThePositionAndTheFile) {
  putFile(path("read-only-open.bin"), "abcdef");
  const FileNumber file = openFile(name("read-only-open.bin"), 1, 1);
  ASSERT_GT(file, 0);
  ASSERT_TRUE(seekFromStart(file, 2));
  EXPECT_FALSE(writeBytes(file, "XY"));
  EXPECT_EQ(readBytes(file, 2), "cd");
  closeAllFiles();
  EXPECT_EQ(contentOf(path("read-only-open.bin")), "abcdef");
}

TEST_F(FileServices, writeWholeFileLeavesExactlyTheBlock) {
  const struct {
    const char* leaf;
    std::optional<std::string> before;
    ByteBlock block;
  } cases[] = {
      {"new.bin", std::nullopt, "data\r\n\x1A\0\xFF"s},
      {"shortened.bin", "0123456789", "ab"},
      {"emptied.bin", "0123", ByteBlock()},
      {"created-empty.bin", std::nullopt, ByteBlock()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.leaf);
    if (c.before) putFile(path(c.leaf), *c.before);
    EXPECT_TRUE(writeWholeFile(name(c.leaf), c.block));
    EXPECT_EQ(contentOf(path(c.leaf)), c.block);
    EXPECT_TRUE(othersCanOpen(path(c.leaf), GENERIC_READ | GENERIC_WRITE, 0)) << "the file was left open";
  }
}

TEST_F(FileServices, copyToWholeFileLeavesWhatAWholeReadWouldLeave) {
  std::string large(200 * 1024 + 7, '\0');
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>((i * 7919) >> 3);
  putFile(path("source.bin"), large);
  const struct {
    const char* label;
    int mode;
    std::int32_t offset;
    std::int32_t count;
  } cases[] = {
      {"several pieces from an offset", 3, 5, 150 * 1024 + 3},
      {"up to the end of the file", 3, 64 * 1024 - 1, 500 * 1024},
      {"exactly one piece", 3, 0, 64 * 1024},
      {"position past the end", 3, 300 * 1024, 10},
      {"nothing asked", 3, 0, 0},
      {"read fails (source open for writing only)", 2, 0, 1000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    putFile(path("whole.bin"), "old");
    putFile(path("copied.bin"), "old");
    const FileNumber first = openFile(name("source.bin"), c.mode, 1);
    const FileNumber second = openFile(name("source.bin"), c.mode, 1);
    ASSERT_GT(first, 0);
    ASSERT_GT(second, 0);
    ASSERT_TRUE(seekFromStart(first, c.offset));
    ASSERT_TRUE(seekFromStart(second, c.offset));
    EXPECT_TRUE(writeWholeFile(name("whole.bin"), readBytes(first, c.count)));
    EXPECT_TRUE(copyToWholeFile(second, c.count, name("copied.bin")));
    if (c.mode == 3) {
      EXPECT_EQ(readBytes(second, 4), readBytes(first, 4)) << "the copy left another position";
    }
    closeAllFiles();
    EXPECT_EQ(contentOf(path("copied.bin")), contentOf(path("whole.bin")));
    EXPECT_TRUE(othersCanOpen(path("copied.bin"), GENERIC_READ | GENERIC_WRITE, 0)) << "the copy was left open";
    putFile(path("source.bin"), large);
  }
}

TEST_F(FileServices, copyToWholeFileOfNoOpenFileOrToAFileInUse) {
  putFile(path("source.bin"), "abc");
  putFile(path("target.bin"), "keep");
  EXPECT_TRUE(copyToWholeFile(12345, 3, name("from-nothing.bin")));
  EXPECT_EQ(contentOf(path("from-nothing.bin")), "");
  const FileNumber source = openFile(name("source.bin"), 1, 1);
  ASSERT_GT(source, 0);
  {
    OtherHandle reader(path("target.bin"), GENERIC_READ, shareAll);
    ASSERT_TRUE(reader.opened());
    EXPECT_FALSE(copyToWholeFile(source, 3, name("target.bin")));
  }
  EXPECT_EQ(contentOf(path("target.bin")), "keep");
  EXPECT_FALSE(copyToWholeFile(source, 3, Text()));
  EXPECT_TRUE(copyToWholeFile(source, 3, name("target.bin")));
  EXPECT_EQ(contentOf(path("target.bin")), "abc");
}

// The durable copy succeeds only when the block and every one of the count bytes were written.
TEST_F(FileServices, copyToWholeFileDurablyWritesTheBlockAndExactlyTheCountedBytes) {
  std::string source(130 * 1024, '\0');
  for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<char>(i % 251);
  putFile(path("source.bin"), source);
  const FileNumber file = openFile(name("source.bin"), 3, 4);
  ASSERT_GT(file, 0);
  const struct {
    const char* label;
    std::int32_t offset;
    std::int32_t count;
    bool succeeds;
    std::string content;
  } cases[] = {
      {"across pieces", 3, 70 * 1024, true, "head" + source.substr(3, 70 * 1024)},
      {"up to the last byte", 1024, 129 * 1024, true, "head" + source.substr(1024)},
      {"no bytes", 0, 0, true, "head"},
      {"one byte past the end", 1024, 129 * 1024 + 1, false, "head" + source.substr(1024)},
      {"position past the end", 200 * 1024, 1, false, "head"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    ASSERT_TRUE(seekFromStart(file, c.offset));
    EXPECT_EQ(copyToWholeFileDurably(name("copy.bin"), "head", file, c.count), c.succeeds);
    EXPECT_TRUE(contentOf(path("copy.bin")) == c.content);
    EXPECT_TRUE(othersCanOpen(path("copy.bin"), GENERIC_READ | GENERIC_WRITE, 0)) << "the copy was left open";
  }
  EXPECT_FALSE(copyToWholeFileDurably(name("copy.bin"), "head", 12345, 0)) << "a file number that is not open";
  {
    OtherHandle reader(path("copy.bin"), GENERIC_READ, shareAll);
    ASSERT_TRUE(reader.opened());
    ASSERT_TRUE(seekFromStart(file, 0));
    EXPECT_FALSE(copyToWholeFileDurably(name("copy.bin"), "head", file, 10));
  }
  EXPECT_EQ(contentOf(path("copy.bin")), "head");
}

TEST_F(FileServices, renameFileReplacesTheTargetButNotAFileInUse) {
  putFile(path("from.bin"), "new");
  putFile(path("to.bin"), "old");
  EXPECT_TRUE(renameFile(name("from.bin"), name("to.bin")));
  EXPECT_FALSE(exists(path("from.bin")));
  EXPECT_EQ(contentOf(path("to.bin")), "new");

  putFile(path("from.bin"), "newer");
  {
    OtherHandle holder(path("to.bin"), GENERIC_READ, 0);
    ASSERT_TRUE(holder.opened());
    EXPECT_FALSE(renameFile(name("from.bin"), name("to.bin")));
  }
  EXPECT_EQ(contentOf(path("to.bin")), "new");
  EXPECT_FALSE(renameFile(name("missing.bin"), name("to.bin")));
  EXPECT_EQ(contentOf(path("to.bin")), "new");
}

TEST_F(FileServices, writeWholeFileRefusesAFileInUseAndLeavesItAlone) {
  putFile(path("read-by-other.bin"), "keep");
  putFile(path("open-here.bin"), "keep");
  {
    OtherHandle reader(path("read-by-other.bin"), GENERIC_READ, shareAll);
    ASSERT_TRUE(reader.opened());
    EXPECT_FALSE(writeWholeFile(name("read-by-other.bin"), "new"));
  }
  ASSERT_GT(openFile(name("open-here.bin"), 1, 1), 0);
  EXPECT_FALSE(writeWholeFile(name("open-here.bin"), "new"));
  closeAllFiles();
  EXPECT_EQ(contentOf(path("read-by-other.bin")), "keep");
  EXPECT_EQ(contentOf(path("open-here.bin")), "keep");

  EXPECT_FALSE(writeWholeFile(Text(), "new"));
  EXPECT_FALSE(writeWholeFile(name("no-folder\\new.bin"), "new"));
  EXPECT_FALSE(exists(path("no-folder")));
}

// Narrow literals are GBK bytes (乗 is 81 5C, its second byte a backslash), so these names reach
// their files only through code page 936, whatever the system code page is.
TEST_F(FileServices, chineseNamesReachTheirFiles) {
  const std::wstring existing = wideFolder_ + L"\\存档乗.bin";
  const std::wstring created = wideFolder_ + L"\\新文件.bin";
  if (!OtherHandle(existing, GENERIC_WRITE, 0, CREATE_ALWAYS).opened()) {
    GTEST_SKIP() << "this file system cannot hold Chinese names (Wine under LANG=C)";
  }
  putFile(existing, "abc");
  EXPECT_EQ(fileSize(folder_ + "\\存档乗.bin"), 3);
  const FileNumber file = openFile(folder_ + "\\存档乗.bin", 3, 4);
  ASSERT_GT(file, 0);
  EXPECT_EQ(readBytes(file, 3), "abc");
  closeAllFiles();

  EXPECT_TRUE(writeWholeFile(folder_ + "\\新文件.bin", "new"));
  EXPECT_EQ(contentOf(created), "new");
  EXPECT_TRUE(deleteFile(folder_ + "\\存档乗.bin"));
  EXPECT_FALSE(exists(existing));
}

// A name must reach the file it spells or none: no lax conversion, no cut at a zero byte.
TEST_F(FileServices, namesThatAreNotGbkReachNoFile) {
  putFile(path("ok.bin"), "keep");
  for (const std::string& leaf : {"\xFF\xFF.bin"s, "ok.bin\x81"s, "\x81"s, "ok.bin\0tail"s}) {
    SCOPED_TRACE(testing::PrintToString(leaf));
    const Text badName = name(leaf);
    EXPECT_EQ(fileSize(badName), -1);
    EXPECT_EQ(openFile(badName, 6, 1), 0);
    EXPECT_FALSE(writeWholeFile(badName, "new"));
    EXPECT_FALSE(deleteFile(badName));
  }
  EXPECT_EQ(entriesOf(wideFolder_), std::vector<std::wstring>{L"ok.bin"});
  EXPECT_EQ(contentOf(path("ok.bin")), "keep");
}

}  // namespace
