#include "patch/patch_scripts.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

const char* const LineBreak = "\r\n";

std::vector<std::string> splitLines(const ByteBlock& block) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  std::size_t end = block.find(LineBreak);
  while (end != std::string::npos) {
    lines.push_back(block.substr(start, end - start));
    start = end + 2;
    end = block.find(LineBreak, start);
  }
  lines.push_back(block.substr(start));
  return lines;
}

std::size_t occurrences(const ByteBlock& block, std::string_view piece) {
  std::size_t count = 0;
  for (std::size_t at = block.find(piece); at != std::string::npos; at = block.find(piece, at + 1)) {
    ++count;
  }
  return count;
}

// Encodes UTF-16 text in code page 936; empty when a character has no exact GBK form.
std::string codePage936(std::wstring_view text) {
  const int wideLength = static_cast<int>(text.size());
  BOOL usedDefault = FALSE;
  const int size = WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, text.data(), wideLength, nullptr, 0,
                                       nullptr, &usedDefault);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, text.data(), wideLength, bytes.data(), size, nullptr,
                      &usedDefault);
  return usedDefault ? std::string() : bytes;
}

// Decodes code page 936 bytes, failing on any byte sequence the code page does not define.
std::optional<std::wstring> strictlyDecoded936(const ByteBlock& block) {
  const int length = static_cast<int>(block.size());
  const int size = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, block.data(), length, nullptr, 0);
  if (size == 0) return std::nullopt;
  std::wstring text(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, block.data(), length, text.data(), size);
  return text;
}

// Consumes a statement line from the front, piece by piece; once a piece fails to match, all do.
class StatementReader {
 public:
  explicit StatementReader(std::string_view line) : rest_(line) {}

  void literal(std::string_view expected) {
    matched_ = matched_ && rest_.substr(0, expected.size()) == expected;
    if (matched_) rest_.remove_prefix(expected.size());
  }

  std::string digits() {
    const std::size_t count = std::min(rest_.find_first_not_of("0123456789"), rest_.size());
    matched_ = matched_ && count > 0;
    return matched_ ? take(count) : std::string();
  }

  std::string upToQuote() {
    const std::size_t count = rest_.find('\'');
    matched_ = matched_ && count != std::string_view::npos;
    return matched_ ? take(count) : std::string();
  }

  bool matchedWholeLine() const { return matched_ && rest_.empty(); }

 private:
  std::string take(std::size_t count) {
    std::string piece(rest_.substr(0, count));
    rest_.remove_prefix(count);
    return piece;
  }

  std::string_view rest_;
  bool matched_ = true;
};

struct TextUpdate {
  std::string text;
  std::string id;
};

std::optional<TextUpdate> parseTextUpdate(std::string_view line) {
  StatementReader reader(line);
  reader.literal("update translation set Chinese='");
  TextUpdate update;
  update.text = reader.upToQuote();
  reader.literal("' where ID='");
  update.id = reader.digits();
  reader.literal("';");
  if (!reader.matchedWholeLine()) return std::nullopt;
  return update;
}

struct MissionRow {
  long id;
  long rnpcId;
  long qcId;
};

struct MissionUpdate {
  std::string rnpcId;
  std::string qcId;
  std::string id;
};

std::optional<MissionUpdate> parseMissionUpdate(std::string_view line) {
  StatementReader reader(line);
  reader.literal("update AdRandNPCMission set RNPC_ID='");
  MissionUpdate update;
  update.rnpcId = reader.digits();
  reader.literal("',QC_ID='");
  update.qcId = reader.digits();
  reader.literal("' where ID='");
  update.id = reader.digits();
  reader.literal("';");
  if (!reader.matchedWholeLine()) return std::nullopt;
  return update;
}

std::vector<long> idRange(long first, long last) {
  std::vector<long> ids;
  for (long id = first; id <= last; ++id) ids.push_back(id);
  return ids;
}

std::vector<long> officialEditionIds() {
  std::vector<long> ids = idRange(3000354, 3000366);
  for (long id : idRange(3000368, 3000404)) ids.push_back(id);
  for (long id : idRange(3000417, 3000419)) ids.push_back(id);
  return ids;
}

// Every line must be a text update of the next expected ID, its text within the length bounds
// (both reached) and ending with a blank exactly for the IDs listed.
void expectTextUpdates(const std::vector<std::string>& lines, const std::vector<long>& ids,
                       std::size_t shortest, std::size_t longest, const std::set<long>& endingWithBlank) {
  ASSERT_EQ(lines.size(), ids.size());
  std::size_t minLength = std::string::npos;
  std::size_t maxLength = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE("line " + std::to_string(i + 1) + ": " + lines[i]);
    const std::optional<TextUpdate> update = parseTextUpdate(lines[i]);
    ASSERT_TRUE(update.has_value());
    EXPECT_EQ(update->id, std::to_string(ids[i]));
    EXPECT_GE(update->text.size(), shortest);
    EXPECT_LE(update->text.size(), longest);
    minLength = std::min(minLength, update->text.size());
    maxLength = std::max(maxLength, update->text.size());
    const bool endsWithBlank = !update->text.empty() && update->text.back() == ' ';
    EXPECT_EQ(endsWithBlank, endingWithBlank.count(ids[i]) == 1);
  }
  EXPECT_EQ(minLength, shortest);
  EXPECT_EQ(maxLength, longest);
}

struct ScriptShape {
  const char* name;
  const ByteBlock& block;
  std::size_t length;
  std::size_t lineBreaks;
};

const ScriptShape ScriptShapes[] = {
    {"OfficialEditionScript", OfficialEditionScript, 3992, 52},
    {"CommonFixScript", CommonFixScript, 2584, 39},
};

TEST(PatchScripts, blocksHaveExactLengthsAndCrLfLineBreaks) {
  for (const ScriptShape& script : ScriptShapes) {
    SCOPED_TRACE(script.name);
    const ByteBlock& block = script.block;
    EXPECT_EQ(block.size(), script.length);
    EXPECT_EQ(occurrences(block, LineBreak), script.lineBreaks);
    EXPECT_EQ(occurrences(block, "\r"), script.lineBreaks) << "a CR outside CR LF";
    EXPECT_EQ(occurrences(block, "\n"), script.lineBreaks) << "an LF outside CR LF";
    ASSERT_FALSE(block.empty());
    EXPECT_NE(block.back(), '\n') << "line break after the last statement";
    EXPECT_EQ(block.find('\0'), std::string::npos);
  }
}

TEST(PatchScripts, blocksAreStrictCodePage936) {
  for (const ScriptShape& script : ScriptShapes) {
    SCOPED_TRACE(script.name);
    const std::optional<std::wstring> text = strictlyDecoded936(script.block);
    ASSERT_TRUE(text.has_value()) << "error " << GetLastError();
    EXPECT_EQ(codePage936(*text), script.block);
  }
}

TEST(PatchScripts, officialEditionUpdatesQuestGiverLinesInIdOrder) {
  expectTextUpdates(splitLines(OfficialEditionScript), officialEditionIds(), 4, 47, {3000360, 3000404});
}

TEST(PatchScripts, commonFixUpdatesQuestTextsThenMissionRowsAfterOneEmptyLine) {
  const std::vector<std::string> lines = splitLines(CommonFixScript);
  ASSERT_EQ(lines.size(), 29u + 1u + 10u);

  const std::vector<std::string> textLines(lines.begin(), lines.begin() + 29);
  expectTextUpdates(textLines, idRange(3102291, 3102319), 4, 24, {});

  EXPECT_EQ(lines[29], "");

  const MissionRow expectedRows[] = {
      {1, 14, 3}, {2, 15, 3}, {3, 16, 3}, {4, 8, 1},  {5, 9, 1},
      {6, 10, 1}, {7, 11, 2}, {8, 12, 2}, {9, 13, 1}, {10, 17, 4},
  };
  for (std::size_t i = 0; i < std::size(expectedRows); ++i) {
    const std::string& line = lines[30 + i];
    SCOPED_TRACE(line);
    const std::optional<MissionUpdate> update = parseMissionUpdate(line);
    ASSERT_TRUE(update.has_value());
    EXPECT_EQ(update->id, std::to_string(expectedRows[i].id));
    EXPECT_EQ(update->rnpcId, std::to_string(expectedRows[i].rnpcId));
    EXPECT_EQ(update->qcId, std::to_string(expectedRows[i].qcId));
  }
}

TEST(PatchScripts, knownStatementsAreByteExact) {
  struct KnownStatement {
    const ByteBlock& block;
    const wchar_t* statement;
  };
  const KnownStatement knownStatements[] = {
      {OfficialEditionScript, L"update translation set Chinese='嗯？' where ID='3000388';"},
      {OfficialEditionScript, L"update translation set Chinese='好样的！ ' where ID='3000404';"},
      {CommonFixScript, L"update translation set Chinese='猎鹿' where ID='3102294';"},
  };
  for (const KnownStatement& known : knownStatements) {
    const std::string expected = codePage936(known.statement);
    ASSERT_FALSE(expected.empty());
    const std::vector<std::string> lines = splitLines(known.block);
    EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end()) << expected;
  }
}

}  // namespace
