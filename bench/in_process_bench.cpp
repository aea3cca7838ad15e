#include "in_process_bench.h"

#include <windows.h>

#include <sqlite3.h>

#include <memory>
#include <optional>

#include "app/main_window.h"
#include "app/message_box.h"
#include "app/text_services.h"
#include "app/file_services.h"
#include "app/program_entry.h"
#include "bench_clock.h"
#include "box_answerer.h"
#include "build/build_table.h"
#include "db/ansi_utf8.h"
#include "db/game_database.h"
#include "db/status_probe.h"
#include "game_fixture.h"
#include "patch/patch_install.h"
#include "patch/patch_scripts.h"
#include "patch/write_back.h"

namespace bench {

namespace {

constexpr wchar_t kAssetFile[] = L"QM_Client_Data\\resources.assets";
constexpr wchar_t kCacheFile[] = L"qm.bin";
constexpr wchar_t kFloorDatabase[] = L"floor.db";
constexpr char kReadStatement[] = "SELECT * FROM translation ORDER BY _ROWID_ ";
constexpr wchar_t kSuccessText[] = L"修正成功！";
constexpr int kRowsNeeded = 4498;

std::unique_ptr<BoxAnswerer> boxAnswerer;

void doNothing() {}

HANDLE openExisting(const wchar_t* name) {
  return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool seekTo(HANDLE file, std::int64_t offset) {
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  return SetFilePointerEx(file, distance, nullptr, FILE_BEGIN) != FALSE;
}

bool writeAll(HANDLE file, const char* bytes, std::size_t length) {
  DWORD written = 0;
  return WriteFile(file, bytes, static_cast<DWORD>(length), &written, nullptr) != FALSE && written == length;
}

bool readAll(HANDLE file, char* bytes, std::size_t length) {
  DWORD read = 0;
  return ReadFile(file, bytes, static_cast<DWORD>(length), &read, nullptr) != FALSE && read == length;
}

bool writeSlotBytes(const BuildRecord& build, const char* bytes) {
  const HANDLE asset = openExisting(kAssetFile);
  if (asset == INVALID_HANDLE_VALUE) return false;
  const bool written = seekTo(asset, build.slotOffset) && writeAll(asset, bytes, static_cast<std::size_t>(build.slotLength));
  return CloseHandle(asset) != FALSE && written;
}

bool writeNewFile(const wchar_t* name, const char* bytes, std::size_t length) {
  const HANDLE file = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool written = writeAll(file, bytes, length);
  return CloseHandle(file) != FALSE && written;
}

// The least a probe has to do: the slot read once and written to the cache file with plain calls,
// and the table read once with sqlite3_get_table, without conversions.
bool probeFloor(const BuildRecord& build) {
  const std::size_t length = static_cast<std::size_t>(build.slotLength);
  const std::unique_ptr<char[]> slot(new char[length]);
  const HANDLE asset = openExisting(kAssetFile);
  if (asset == INVALID_HANDLE_VALUE) return false;
  const bool read = seekTo(asset, build.slotOffset) && readAll(asset, slot.get(), length);
  CloseHandle(asset);
  if (!read || !writeNewFile(kCacheFile, slot.get(), length)) return false;
  sqlite3* database = nullptr;
  char** result = nullptr;
  int rows = 0;
  int columns = 0;
  const bool opened = sqlite3_open("qm.bin", &database) == SQLITE_OK;
  const bool tableRead =
      opened && sqlite3_get_table(database, kReadStatement, &result, &rows, &columns, nullptr) == SQLITE_OK;
  sqlite3_free_table(result);
  sqlite3_close(database);
  return tableRead && rows >= kRowsNeeded;
}

// The least an installation has to do: both scripts and VACUUM on a copy of the database through
// SQLite, then the compacted file read and written over the slot, padded, in one write.
bool installFloor(const BuildRecord& build, const std::string& officialScript, const std::string& commonScript) {
  sqlite3* database = nullptr;
  bool ran = sqlite3_open("floor.db", &database) == SQLITE_OK &&
             sqlite3_exec(database, officialScript.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK &&
             sqlite3_exec(database, commonScript.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK &&
             sqlite3_exec(database, "VACUUM", nullptr, nullptr, nullptr) == SQLITE_OK;
  ran = sqlite3_close(database) == SQLITE_OK && ran;
  const HANDLE compacted = CreateFileW(kFloorDatabase, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (compacted == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  const std::size_t slotLength = static_cast<std::size_t>(build.slotLength);
  const std::unique_ptr<char[]> image(new char[slotLength]());
  const bool read = GetFileSizeEx(compacted, &size) && size.QuadPart <= build.slotLength &&
                    readAll(compacted, image.get(), static_cast<std::size_t>(size.QuadPart));
  CloseHandle(compacted);
  return ran && read && writeSlotBytes(build, image.get());
}

void activate(const BuildRecord& build) {
  ActiveBuild.assetPath = kAssetPath;
  ActiveBuild.slotOffset = build.slotOffset;
  ActiveBuild.expectedAssetSize = build.expectedAssetSize;
  ActiveBuild.slotLength = build.slotLength;
}

// Medians of the probe's own steps, called one by one through the program's primitives.
std::vector<StepTime> profileProbe(const BuildRecord& build, int runs) {
  std::vector<double> remove, open, copy, openDb, readTable, closeDb;
  for (int run = 0; run < runs; ++run) {
    remove.push_back(timeMs([] { deleteFile(kCacheFileName); }));
    FileNumber asset = 0;
    open.push_back(timeMs([&] { asset = openFile(kAssetPath, 3, 4); }));
    copy.push_back(timeMs([&] {
      seekFromStart(asset, static_cast<std::int32_t>(build.slotOffset));
      copyToWholeFile(asset, static_cast<std::int32_t>(build.slotLength), kCacheFileName);
      closeAllFiles();
    }));
    openDb.push_back(timeMs([] { gameDatabase->openDatabase(kCacheFileName); }));
    readTable.push_back(timeMs([] { gameDatabase->readTable("translation", false); }));
    closeDb.push_back(timeMs([] { gameDatabase->closeDatabase(); }));
  }
  return {{"delete qm.bin", median(remove)},           {"open asset file", median(open)},
          {"copy slot to qm.bin", median(copy)},       {"open database", median(openDb)},
          {"read translation + convert", median(readTable)}, {"close database", median(closeDb)}};
}

// Medians of the installation's own steps, called one by one as PatchInstall calls them, each run on
// the restored slot.
std::vector<StepTime> profileInstall(const BuildRecord& build, const std::string& original, int runs) {
  std::vector<double> openDb, official, common, vacuum, closeDb, writeBack, box, probe;
  for (int run = 0; run < runs; ++run) {
    writeSlotBytes(build, original.data());
    StatusProbe();
    openDb.push_back(timeMs([] { gameDatabase->openDatabase(kCacheFileName); }));
    official.push_back(timeMs([] { gameDatabase->executeSql(bytesToText(OfficialEditionScript)); }));
    common.push_back(timeMs([] { gameDatabase->executeSql(bytesToText(CommonFixScript)); }));
    vacuum.push_back(timeMs([] { gameDatabase->compactDatabase(); }));
    closeDb.push_back(timeMs([] { gameDatabase->closeDatabase(); }));
    writeBack.push_back(timeMs(WriteBack));
    box.push_back(timeMs([] { showMessage("修正成功！", kNoIcon, Text("恭喜")); }));
    probe.push_back(timeMs(StatusProbe));
  }
  return {{"open database", median(openDb)},         {"official edition script", median(official)},
          {"common fix script", median(common)},     {"VACUUM", median(vacuum)},
          {"close database", median(closeDb)},       {"write-back + box", median(writeBack)},
          {"of which the box alone", median(box)},   {"probe after it", median(probe)}};
}

// Medians of the probe floor's three parts.
std::vector<StepTime> profileProbeFloor(const BuildRecord& build, int runs) {
  const std::size_t length = static_cast<std::size_t>(build.slotLength);
  std::vector<double> read, write, table;
  for (int run = 0; run < runs; ++run) {
    std::unique_ptr<char[]> slot;
    read.push_back(timeMs([&] {
      slot.reset(new char[length]);
      const HANDLE asset = openExisting(kAssetFile);
      seekTo(asset, build.slotOffset);
      readAll(asset, slot.get(), length);
      CloseHandle(asset);
    }));
    write.push_back(timeMs([&] { writeNewFile(kCacheFile, slot.get(), length); }));
    table.push_back(timeMs([] {
      sqlite3* database = nullptr;
      char** result = nullptr;
      sqlite3_open("qm.bin", &database);
      sqlite3_get_table(database, kReadStatement, &result, nullptr, nullptr, nullptr);
      sqlite3_free_table(result);
      sqlite3_close(database);
    }));
  }
  return {{"read slot", median(read)}, {"write qm.bin", median(write)}, {"open+get_table+close", median(table)}};
}

}  // namespace

bool prepareProgramInProcess() {
  if (!registerFormClasses() || !createMainWindow(doNothing, doNothing)) return false;
  ShowWindow(mainWindowHandle(), SW_HIDE);
  CreateDatabaseObject();
  boxAnswerer = std::make_unique<BoxAnswerer>(GetCurrentThreadId());
  return true;
}

InProcessTimes measureInProcess(const std::wstring& folder, int buildNumber, int probeRuns, int installRuns) {
  InProcessTimes times;
  const BuildRecord& build = BuildTable[static_cast<std::size_t>(buildNumber - 1)];
  const std::string original = fixture::readSlot(folder, buildNumber);
  const std::optional<std::string> officialScript = ansiToUtf8(OfficialEditionScript);
  const std::optional<std::string> commonScript = ansiToUtf8(CommonFixScript);
  if (original.empty() || !officialScript || !commonScript || !SetCurrentDirectoryW(folder.c_str())) {
    times.failure = "game folder or scripts unreadable";
    return times;
  }
  activate(build);

  for (int run = 0; run < probeRuns && times.failure.empty(); ++run) {
    times.probe.push_back(timeMs(StatusProbe));
    if (correctedEdition != 0 || !mainWindowHandle()) times.failure = "probe did not read the official edition";
    bool floorDone = false;
    times.probeFloor.push_back(timeMs([&] { floorDone = probeFloor(build); }));
    if (!floorDone) times.failure = "probe floor failed";
  }

  for (int run = 0; run < installRuns && times.failure.empty(); ++run) {
    if (!writeSlotBytes(build, original.data())) times.failure = "slot not restored";
    StatusProbe();
    boxAnswerer->takeLastText();
    times.install.push_back(timeMs(PatchInstall));
    if (boxAnswerer->takeLastText() != kSuccessText || fixture::readSlot(folder, buildNumber) == original) {
      times.failure = "installation did not succeed";
    }
    bool floorDone = false;
    if (!writeSlotBytes(build, original.data()) || !writeNewFile(kFloorDatabase, original.data(), original.size())) {
      times.failure = "floor copy not made";
    }
    times.installFloor.push_back(timeMs([&] { floorDone = installFloor(build, *officialScript, *commonScript); }));
    if (!floorDone) times.failure = "installation floor failed";
  }

  times.probeSteps = profileProbe(build, probeRuns);
  times.probeFloorSteps = profileProbeFloor(build, probeRuns);
  times.installSteps = profileInstall(build, original, installRuns);
  writeSlotBytes(build, original.data());
  DeleteFileW(kFloorDatabase);
  SetCurrentDirectoryW(L"C:\\");
  return times;
}

}  // namespace bench
