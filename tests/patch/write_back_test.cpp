// WriteBack in-process on a small game folder: every failing step leaves the asset's slot as it
// was (or says that it could not restore it), shows no success box and leaves no file open.
#include "patch/write_back.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "box_texts.h"
#include "build/build_table.h"
#include "patch/write_journal.h"
#include "test_files.h"
#include "write_back_fault_injection.h"

namespace {

constexpr std::int64_t kAssetSize = 1 << 20;
constexpr std::int64_t kSlotOffset = 300000;
constexpr std::int64_t kSlotLength = 64 * 1024;
constexpr std::size_t kCacheSize = 40000;

constexpr wchar_t kAsset[] = L"QM_Client_Data\\resources.assets";
constexpr wchar_t kCache[] = L"qm.bin";
constexpr wchar_t kJournal[] = L"qm.journal";

struct ShownBox {
  std::wstring caption;
  std::wstring text;
};

bool operator==(const ShownBox& a, const ShownBox& b) { return a.caption == b.caption && a.text == b.text; }

std::ostream& operator<<(std::ostream& out, const ShownBox& box) {
  return out << testing::PrintToString(box.caption) << ": " << testing::PrintToString(box.text);
}

std::wstring windowText(HWND window, int item) {
  wchar_t text[1024] = L"";
  GetDlgItemTextW(window, item, text, 1024);
  return text;
}

HWND visibleBoxOfThisProcess() {
  struct Search {
    HWND box = nullptr;
  } search;
  EnumWindows(
      [](HWND window, LPARAM found) -> BOOL {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        wchar_t className[16] = L"";
        GetClassNameW(window, className, 16);
        if (pid != GetCurrentProcessId() || std::wstring(className) != L"#32770" || !IsWindowVisible(window)) {
          return TRUE;
        }
        reinterpret_cast<Search*>(found)->box = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.box;
}

// Runs WriteBack while a second thread records and answers every message box it shows.
std::vector<ShownBox> writeBackAnsweringBoxes() {
  std::vector<ShownBox> boxes;
  std::atomic<bool> done{false};
  std::thread answerer([&boxes, &done] {
    while (!done) {
      HWND box = visibleBoxOfThisProcess();
      if (!box) {
        Sleep(5);
        continue;
      }
      wchar_t caption[256] = L"";
      GetWindowTextW(box, caption, 256);
      boxes.push_back({caption, windowText(box, 0xFFFF)});
      PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
      while (IsWindow(box)) Sleep(5);
    }
  });
  WriteBack();
  done = true;
  answerer.join();
  return boxes;
}

std::string pattern(std::size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + seed) % 251 + 1);
  return bytes;
}

bool openableExclusively(const wchar_t* name) {
  HANDLE file = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

// A game folder with a 1 MiB asset file whose 64 KiB slot holds an old database, and a compacted
// cache file beside it; the folder is the current directory while the test runs.
class WriteBackTest : public testing::Test {
 protected:
  void SetUp() override {
    GetCurrentDirectoryW(MAX_PATH, previousDirectory_);
    ASSERT_TRUE(SetCurrentDirectoryW(folder_.path().c_str()));
    ASSERT_TRUE(CreateDirectoryW(L"QM_Client_Data", nullptr));
    ASSERT_TRUE(testfiles::writeWholeFile(kAsset, asset_));
    ASSERT_TRUE(testfiles::writeWholeFile(kCache, cache_));
    ActiveBuild = {kAssetPath, kSlotOffset, kAssetSize, kSlotLength};
    faultinjection::clear();
  }

  void TearDown() override {
    faultinjection::clear();
    SetCurrentDirectoryW(previousDirectory_);
  }

  std::string slotOf(const std::string& asset) const { return asset.substr(kSlotOffset, kSlotLength); }
  std::string assetNow() const { return testfiles::readWholeFile(kAsset).value_or(""); }

  // The asset byte for byte as before, every file free and no journal left behind.
  void expectLeftAsItWas() const {
    EXPECT_TRUE(assetNow() == asset_) << "the asset file changed";
    EXPECT_TRUE(openableExclusively(kAsset));
    EXPECT_TRUE(openableExclusively(kCache));
    EXPECT_FALSE(testfiles::fileExists(kJournal));
  }

  testfiles::TempFolder folder_;
  wchar_t previousDirectory_[MAX_PATH] = L"";
  const std::string asset_ = pattern(kAssetSize, 7);
  const std::string cache_ = pattern(kCacheSize, 90);
};

TEST_F(WriteBackTest, copiesThePaddedCacheOverTheSlotAndReportsSuccess) {
  const std::vector<ShownBox> boxes = writeBackAnsweringBoxes();
  EXPECT_EQ(boxes, (std::vector<ShownBox>{{L"恭喜", boxtexts::kSuccessText}}));

  const std::string asset = assetNow();
  ASSERT_EQ(asset.size(), asset_.size());
  const std::string expectedSlot = cache_ + std::string(kSlotLength - kCacheSize, '\0');
  EXPECT_TRUE(slotOf(asset) == expectedSlot);
  EXPECT_TRUE(asset.substr(0, kSlotOffset) == asset_.substr(0, kSlotOffset));
  EXPECT_TRUE(asset.substr(kSlotOffset + kSlotLength) == asset_.substr(kSlotOffset + kSlotLength));
  EXPECT_TRUE(testfiles::readWholeFile(kCache) == expectedSlot);
  EXPECT_TRUE(openableExclusively(kAsset));
  EXPECT_TRUE(openableExclusively(kCache));
  EXPECT_FALSE(testfiles::fileExists(kJournal));
}

TEST_F(WriteBackTest, aCacheOfExactlyTheSlotLengthIsCopiedAsItIs) {
  const std::string cache = pattern(kSlotLength, 3);
  ASSERT_TRUE(testfiles::writeWholeFile(kCache, cache));
  EXPECT_EQ(writeBackAnsweringBoxes(), (std::vector<ShownBox>{{L"恭喜", boxtexts::kSuccessText}}));
  EXPECT_TRUE(slotOf(assetNow()) == cache);
}

TEST_F(WriteBackTest, aCacheOneByteLargerThanTheSlotIsRefusedBeforeAnyFileIsOpened) {
  ASSERT_TRUE(testfiles::writeWholeFile(kCache, pattern(kSlotLength + 1, 3)));
  EXPECT_EQ(writeBackAnsweringBoxes(), (std::vector<ShownBox>{{L"ERROR", boxtexts::kTooLargeText}}));
  expectLeftAsItWas();
  EXPECT_EQ(testfiles::readWholeFile(kCache)->size(), static_cast<std::size_t>(kSlotLength + 1));
}

TEST_F(WriteBackTest, eachFailingStepLeavesTheAssetAsItWasAndSaysSo) {
  const WriteBackStep steps[] = {
      WriteBackStep::fillCache,      WriteBackStep::readImage, WriteBackStep::readOriginal,
      WriteBackStep::writeJournal,   WriteBackStep::journalFlushed, WriteBackStep::writeSlot,
      WriteBackStep::verifySlot,     WriteBackStep::slotWritten,
  };
  for (const WriteBackStep step : steps) {
    SCOPED_TRACE(testing::Message() << "step " << static_cast<int>(step));
    ASSERT_TRUE(testfiles::writeWholeFile(kAsset, asset_));
    ASSERT_TRUE(testfiles::writeWholeFile(kCache, cache_));
    faultinjection::failAt(step);
    EXPECT_EQ(writeBackAnsweringBoxes(), (std::vector<ShownBox>{{L"ERROR", boxtexts::kLeftUnchangedText}}));
    expectLeftAsItWas();
  }
}

TEST_F(WriteBackTest, filesThatCannotBeOpenedLeaveTheAssetAsItWas) {
  struct Case {
    const char* name;
    const wchar_t* heldFile;  // held by another handle that shares nothing, or none
    bool cacheMissing;
  };
  const Case cases[] = {
      {"cache missing", nullptr, true},
      {"cache held", kCache, false},
      {"asset held", kAsset, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(testfiles::writeWholeFile(kAsset, asset_));
    ASSERT_TRUE(testfiles::writeWholeFile(kCache, cache_));
    if (c.cacheMissing) {
      ASSERT_TRUE(DeleteFileW(kCache));
    }
    HANDLE held = c.heldFile ? CreateFileW(c.heldFile, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                             : INVALID_HANDLE_VALUE;
    ASSERT_EQ(held != INVALID_HANDLE_VALUE, c.heldFile != nullptr);
    const std::vector<ShownBox> boxes = writeBackAnsweringBoxes();
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    EXPECT_EQ(boxes, (std::vector<ShownBox>{{L"ERROR", boxtexts::kLeftUnchangedText}}));
    EXPECT_TRUE(assetNow() == asset_) << "the asset file changed";
    EXPECT_TRUE(openableExclusively(kAsset));
    EXPECT_EQ(testfiles::fileExists(kCache), !c.cacheMissing);
    EXPECT_FALSE(testfiles::fileExists(kJournal));
  }
}

TEST_F(WriteBackTest, aFailureBeforeItsOwnJournalIsSavedLeavesAnEarlierJournalAlone) {
  const std::string earlierJournal = "a journal left by an earlier run";
  ASSERT_TRUE(testfiles::writeWholeFile(kJournal, earlierJournal));
  faultinjection::failAt(WriteBackStep::readOriginal);
  EXPECT_EQ(writeBackAnsweringBoxes(), (std::vector<ShownBox>{{L"ERROR", boxtexts::kLeftUnchangedText}}));
  EXPECT_TRUE(assetNow() == asset_) << "the asset file changed";
  EXPECT_TRUE(testfiles::readWholeFile(kJournal) == earlierJournal);
}

// A virus scanner that reads the freshly written journal must not keep the original from being
// copied back out of it.
TEST_F(WriteBackTest, aRestoreReadsTheJournalWhileAnotherProgramReadsItToo) {
  HANDLE reader = INVALID_HANDLE_VALUE;
  faultinjection::runAt(WriteBackStep::writeSlot, [&reader] {
    reader = CreateFileW(kJournal, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  });
  faultinjection::failAt(WriteBackStep::writeSlot);
  const std::vector<ShownBox> boxes = writeBackAnsweringBoxes();
  ASSERT_NE(reader, INVALID_HANDLE_VALUE) << "the journal was not there to be read";
  CloseHandle(reader);
  EXPECT_EQ(boxes, (std::vector<ShownBox>{{L"ERROR", boxtexts::kLeftUnchangedText}}));
  expectLeftAsItWas();
}

TEST_F(WriteBackTest, aRestoreThatFailsTooSaysSoAndKeepsTheJournal) {
  for (const WriteBackStep firstFailure : {WriteBackStep::writeSlot, WriteBackStep::verifySlot}) {
    SCOPED_TRACE(testing::Message() << "first failure at step " << static_cast<int>(firstFailure));
    ASSERT_TRUE(testfiles::writeWholeFile(kAsset, asset_));
    ASSERT_TRUE(testfiles::writeWholeFile(kCache, cache_));
    DeleteFileW(kJournal);
    faultinjection::failAt(firstFailure);
    faultinjection::failAt(WriteBackStep::restoreSlot);
    EXPECT_EQ(writeBackAnsweringBoxes(), (std::vector<ShownBox>{{L"ERROR", boxtexts::kRestoreFailedText}}));

    EXPECT_EQ(assetNow().size(), asset_.size());
    EXPECT_TRUE(openableExclusively(kAsset));
    EXPECT_TRUE(openableExclusively(kCache));
    const std::optional<std::string> journalBytes = testfiles::readWholeFile(kJournal);
    ASSERT_TRUE(journalBytes);
    const std::optional<Journal> journal = parseJournal(*journalBytes);
    ASSERT_TRUE(journal) << "the journal is no sound journal";
    EXPECT_TRUE(journal->original == slotOf(asset_)) << "the journal does not hold the original slot";
    EXPECT_EQ(journal->header.slotOffset, kSlotOffset);
    EXPECT_EQ(journal->header.slotLength, kSlotLength);
  }
}

}  // namespace
