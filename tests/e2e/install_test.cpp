// Installing the fix with the real exe: the click, the boxes, the refreshed window and what the
// asset file holds afterwards, for every build and edition and for the ways it can fail.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "box_texts.h"
#include "e2e_support.h"
#include "patch/patch_scripts.h"

namespace {

using e2e::GameFolder;
using fixture::Defect;
using fixture::Edition;

constexpr COLORREF kGreen = RGB(0, 128, 0);
constexpr char kOfficialRowsQuery[] =
    "SELECT ID, Chinese FROM translation WHERE ID BETWEEN 3000354 AND 3000419 ORDER BY ID";
constexpr char kFixedMissionsQuery[] = "SELECT ID, RNPC_ID, QC_ID FROM AdRandNPCMission WHERE ID <= 10 ORDER BY ID";
constexpr char kOtherMissionsQuery[] = "SELECT * FROM AdRandNPCMission WHERE ID > 10 ORDER BY ID";

HWND installButton(HWND window) {
  const uidriver::ControlInfo* button = e2e::controlAt(uidriver::readWindow(window), 239, 36);
  return button ? button->hwnd : nullptr;
}

e2e::Shown shownNow(const e2e::Running& running) { return e2e::shownBy(uidriver::readWindow(running.window)); }

// Starts the exe of the folder, clicks the install button and returns the box that follows.
struct Clicked {
  e2e::Running running;
  uidriver::MessageBoxInfo box;
};
std::optional<Clicked> startAndInstall(const GameFolder& game) {
  auto running = e2e::startAndWaitVisible(game.exe());
  if (!running || !uidriver::clickButton(installButton(running->window))) return std::nullopt;
  auto box = running->process.waitForMessageBox(e2e::kWaitMs);
  if (!box) return std::nullopt;
  return Clicked{std::move(*running), *box};
}

std::string utf8FromGbk(const std::string& gbk) {
  const int wideSize = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(wideSize), L'\0');
  MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, gbk.data(), static_cast<int>(gbk.size()), wide.data(), wideSize);
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideSize, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideSize, utf8.data(), size, nullptr, nullptr);
  return utf8;
}

// ID -> new text (UTF-8) of every text update of a script block.
std::map<std::string, std::string> scriptTexts(const std::string& script) {
  const std::string head = "update translation set Chinese='";
  const std::string middle = "' where ID='";
  std::map<std::string, std::string> texts;
  for (std::size_t at = script.find(head); at != std::string::npos; at = script.find(head, at + 1)) {
    const std::size_t textStart = at + head.size();
    const std::size_t textEnd = script.find(middle, textStart);
    const std::size_t idStart = textEnd + middle.size();
    const std::string id = script.substr(idStart, script.find('\'', idStart) - idStart);
    texts[id] = utf8FromGbk(script.substr(textStart, textEnd - textStart));
  }
  return texts;
}

std::map<std::string, std::string> translationTexts(const std::string& database) {
  std::map<std::string, std::string> texts;
  for (const auto& row : fixture::queryDatabase(database, "SELECT ID, Chinese FROM translation")) {
    if (row.size() == 2) texts[row[0]] = row[1];
  }
  return texts;
}

void expectTextsApplied(const std::map<std::string, std::string>& expected,
                        const std::map<std::string, std::string>& actual) {
  for (const auto& [id, text] : expected) {
    const auto found = actual.find(id);
    ASSERT_NE(found, actual.end()) << "no row " << id;
    EXPECT_EQ(found->second, text) << "row " << id;
  }
}

std::int64_t sizeOf(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The asset file's slot and everything around it, to show that nothing changed.
struct AssetState {
  std::string slot;
  std::uint64_t digestOutsideSlot;
};
AssetState assetState(const GameFolder& game) {
  return {fixture::readSlot(game.path(), game.options().build), fixture::digestOutsideSlot(game.path(), game.options().build)};
}

void expectAssetUnchanged(const GameFolder& game, const AssetState& before) {
  const AssetState after = assetState(game);
  EXPECT_TRUE(after.slot == before.slot) << "the slot changed";
  EXPECT_EQ(after.digestOutsideSlot, before.digestOutsideSlot);
}

void expectNotFixedAndOpenForInstalling(const e2e::Shown& shown) {
  EXPECT_EQ(shown.status, L"未修正");
  EXPECT_EQ(shown.button, L"安装补丁");
  EXPECT_TRUE(shown.buttonEnabled);
}

TEST(PatchInstall, installsTheFixOnEveryBuildAndEdition) {
  for (int build = 1; build <= fixture::buildCount; ++build) {
    for (const Edition edition : {Edition::official, Edition::corrected}) {
      SCOPED_TRACE(testing::Message() << "build " << build << " edition " << static_cast<int>(edition));
      GameFolder game({build, edition});
      const std::wstring asset = fixture::assetPath(game.path());
      const std::int64_t assetSize = sizeOf(asset);
      const AssetState before = assetState(game);

      auto clicked = startAndInstall(game);
      ASSERT_TRUE(clicked);
      EXPECT_EQ(clicked->box.caption, L"恭喜");
      EXPECT_EQ(clicked->box.text, boxtexts::kSuccessText);
      EXPECT_FALSE(clicked->box.hasIcon);
      clicked->running.process.pressOk(clicked->box);
      e2e::Running& running = clicked->running;
      EXPECT_TRUE(running.process.waitUntil([&] { return shownNow(running).status == L"已成功修正"; }, e2e::kWaitMs));
      const e2e::Shown shown = shownNow(running);
      EXPECT_EQ(shown.button, L"已修正");
      EXPECT_FALSE(shown.buttonEnabled);
      const uidriver::ControlInfo* status = e2e::controlAt(uidriver::readWindow(running.window), 147, 34);
      ASSERT_TRUE(status);
      EXPECT_GT(e2e::pixelsOfColour(status->hwnd, kGreen), 10);
      ASSERT_TRUE(uidriver::sendKey(running.window, uidriver::Key::Escape));
      EXPECT_EQ(running.process.waitForExit(e2e::kWaitMs), std::optional<DWORD>(0));

      EXPECT_EQ(sizeOf(asset), assetSize);
      EXPECT_EQ(fixture::digestOutsideSlot(game.path(), build), before.digestOutsideSlot);
      const std::string slot = fixture::readSlot(game.path(), build);
      ASSERT_EQ(slot.size(), fixture::buildFacts(build).slotLength);
      const std::uint64_t databaseSize = fixture::databaseSize(slot);
      ASSERT_GT(databaseSize, 0u);
      ASSERT_LE(databaseSize, slot.size());
      const std::string database = slot.substr(0, databaseSize);
      EXPECT_EQ(fixture::integrityCheck(database), "ok");
      EXPECT_EQ(slot.find_first_not_of('\0', databaseSize), std::string::npos) << "a non-zero byte after the database";

      const std::map<std::string, std::string> texts = translationTexts(database);
      const std::map<std::string, std::string> commonTexts = scriptTexts(CommonFixScript);
      ASSERT_EQ(commonTexts.size(), 29u);
      expectTextsApplied(commonTexts, texts);
      if (edition == Edition::official) {
        const std::map<std::string, std::string> officialTexts = scriptTexts(OfficialEditionScript);
        ASSERT_EQ(officialTexts.size(), 53u);
        expectTextsApplied(officialTexts, texts);
      } else {
        const auto officialRowsBefore = fixture::queryDatabase(before.slot, kOfficialRowsQuery);
        ASSERT_EQ(officialRowsBefore.size(), 66u);
        EXPECT_EQ(fixture::queryDatabase(database, kOfficialRowsQuery), officialRowsBefore);
      }
      const std::vector<std::vector<std::string>> missionRows = {
          {"1", "14", "3"}, {"2", "15", "3"}, {"3", "16", "3"}, {"4", "8", "1"},  {"5", "9", "1"},
          {"6", "10", "1"}, {"7", "11", "2"}, {"8", "12", "2"}, {"9", "13", "1"}, {"10", "17", "4"},
      };
      EXPECT_EQ(fixture::queryDatabase(database, kFixedMissionsQuery), missionRows);
      EXPECT_EQ(fixture::queryDatabase(database, kOtherMissionsQuery),
                fixture::queryDatabase(before.slot, kOtherMissionsQuery));
    }
  }
}

TEST(PatchInstall, aPatchThatCannotBeWrittenLeavesTheAssetAsItWas) {
  struct Case {
    Defect defect;
    const wchar_t* text;
  };
  const Case cases[] = {
      {Defect::oversizedAfterPatch, boxtexts::kTooLargeText},
      {Defect::noMissionTable, boxtexts::kScriptFailedText},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "defect " << static_cast<int>(c.defect));
    GameFolder game({1, Edition::official, false, c.defect});
    const AssetState before = assetState(game);
    auto clicked = startAndInstall(game);
    ASSERT_TRUE(clicked);
    EXPECT_EQ(clicked->box.caption, L"ERROR");
    EXPECT_EQ(clicked->box.text, c.text);
    EXPECT_TRUE(clicked->box.iconIsError);
    e2e::Running& running = clicked->running;
    running.process.pressOk(clicked->box);
    EXPECT_TRUE(running.process.waitUntil([&] { return shownNow(running).buttonEnabled; }, e2e::kWaitMs));
    expectNotFixedAndOpenForInstalling(shownNow(running));
    EXPECT_FALSE(running.process.waitForMessageBox(300));
    ASSERT_TRUE(uidriver::sendKey(running.window, uidriver::Key::Escape));
    EXPECT_EQ(running.process.waitForExit(e2e::kWaitMs), std::optional<DWORD>(0));
    expectAssetUnchanged(game, before);
    EXPECT_TRUE(testfiles::readWholeFile(game.file(L"qm.bin")) == before.slot) << "the probe extracted the slot again";
  }
}

TEST(PatchInstall, aMissingCacheFileAtTheClickIsReportedWithoutAProbe) {
  GameFolder game;
  const AssetState before = assetState(game);
  auto running = e2e::startAndWaitVisible(game.exe());
  ASSERT_TRUE(running);
  ASSERT_TRUE(DeleteFileW(game.file(L"qm.bin").c_str()));
  ASSERT_TRUE(uidriver::clickButton(installButton(running->window)));
  auto box = running->process.waitForMessageBox(e2e::kWaitMs);
  ASSERT_TRUE(box);
  EXPECT_EQ(box->caption, L"信息：");
  EXPECT_EQ(box->text, boxtexts::kCacheNotOpenedText);
  EXPECT_FALSE(box->hasIcon);
  running->process.pressOk(*box);
  EXPECT_TRUE(running->process.waitUntil([&] { return shownNow(*running).buttonEnabled; }, e2e::kWaitMs));
  expectNotFixedAndOpenForInstalling(shownNow(*running));
  EXPECT_FALSE(running->process.waitForMessageBox(300));
  EXPECT_FALSE(testfiles::fileExists(game.file(L"qm.bin"))) << "a probe ran or the cache was created";
  ASSERT_TRUE(uidriver::sendKey(running->window, uidriver::Key::Escape));
  EXPECT_EQ(running->process.waitForExit(e2e::kWaitMs), std::optional<DWORD>(0));
  expectAssetUnchanged(game, before);
}

TEST(PatchInstall, anAssetFileHeldAtTheClickIsLeftAsItWasAndTheProbeReportsIt) {
  GameFolder game;
  const AssetState before = assetState(game);
  auto running = e2e::startAndWaitVisible(game.exe());
  ASSERT_TRUE(running);
  HANDLE held = uidriver::holdFile(fixture::assetPath(game.path()), 0);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(uidriver::clickButton(installButton(running->window)));
  auto writeBox = running->process.waitForMessageBox(e2e::kWaitMs);
  ASSERT_TRUE(writeBox);
  EXPECT_EQ(writeBox->caption, L"ERROR");
  EXPECT_EQ(writeBox->text, boxtexts::kLeftUnchangedText);
  EXPECT_TRUE(writeBox->iconIsError);
  running->process.pressOk(*writeBox);
  auto probeBox = running->process.waitForMessageBox(e2e::kWaitMs);
  ASSERT_TRUE(probeBox);
  EXPECT_EQ(probeBox->caption, L"ERROR");
  EXPECT_EQ(probeBox->text, boxtexts::kAssetNotOpenedText);
  running->process.pressOk(*probeBox);
  EXPECT_EQ(running->process.waitForExit(e2e::kWaitMs), std::optional<DWORD>(0));
  CloseHandle(held);
  expectAssetUnchanged(game, before);
}

}  // namespace
