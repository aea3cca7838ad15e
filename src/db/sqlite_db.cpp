#include "db/sqlite_db.h"

#include <windows.h>

#include <sqlite3.h>

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "app/code_page.h"
#include "app/text_services.h"
#include "db/ansi_utf8.h"

namespace {

constexpr char kMemoryName[] = ":memory:";

// readTable formats the statement for a table name in a buffer of this size, terminator included.
constexpr std::size_t kStatementBufferSize = 1024;

char asciiLowerCased(char byte) {
  return byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte - 'A' + 'a') : byte;
}

// Opens the file for reading with read and write sharing, as a plain reader would, and closes it
// at once.
bool isReadableFile(const Text& fileName) {
  const std::optional<std::wstring> wideName = widenGbk(fileName);
  if (!wideName) return false;
  const HANDLE file = CreateFileW(wideName->c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

// The database file comes from outside: its schema may not be written to directly, and its views
// and triggers may call only functions that SQLite knows to be free of side effects.
bool hardenConnection(sqlite3* connection) {
  return sqlite3_db_config(connection, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr) == SQLITE_OK &&
         sqlite3_db_config(connection, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr) == SQLITE_OK;
}

bool isStatement(const Text& tableOrSql) {
  return tableOrSql.find_first_of(" ;") != Text::npos;
}

// The statement that readTable sends; nothing when a table name does not fit the statement buffer.
std::optional<Text> readStatement(const Text& tableOrSql) {
  if (isStatement(tableOrSql)) return tableOrSql;
  const Text statement = "SELECT * FROM " + tableOrSql + " ORDER BY _ROWID_ ";
  if (statement.size() >= kStatementBufferSize) return std::nullopt;
  return statement;
}

// The grid of a result table of sqlite3_get_table, whose first row holds the column names.
TextGrid gridOfResult(char** result, int rowCount, int columnCount, bool withHeader) {
  const int rows = withHeader ? rowCount + 1 : rowCount;
  const std::size_t firstCell = withHeader ? 0 : static_cast<std::size_t>(columnCount);
  TextGrid grid;
  grid.dimensionCount = 2;
  grid.sizes = {rows, columnCount};
  grid.cells.resize(static_cast<std::size_t>(rows) * static_cast<std::size_t>(columnCount));
  for (std::size_t i = 0; i < grid.cells.size(); ++i) {
    const char* value = result[firstCell + i];
    if (!value) continue;
    if (std::optional<Text> cell = utf8ToAnsi(value)) grid.cells[i] = std::move(*cell);
  }
  return grid;
}

}  // namespace

bool isMemoryName(const Text& name) {
  const Text text = bytesToText(name);
  const std::string_view memoryName = kMemoryName;
  return text.size() == memoryName.size() &&
         std::equal(text.begin(), text.end(), memoryName.begin(),
                    [](char byte, char memoryByte) { return asciiLowerCased(byte) == memoryByte; });
}

SqliteDB::~SqliteDB() { closeDatabase(); }

bool SqliteDB::openDatabase(const Text& fileName, bool allowCreate) {
  closeDatabase();
  const Text name = bytesToText(fileName);
  std::string utf8Name;
  if (name.empty() || isMemoryName(name)) {
    if (!allowCreate) return false;
    utf8Name = kMemoryName;
  } else {
    if (!allowCreate && !isReadableFile(name)) return false;
    std::optional<std::string> converted = ansiToUtf8(name);
    if (!converted) return false;
    utf8Name = std::move(*converted);
  }
  sqlite3* connection = nullptr;
  if (sqlite3_open(utf8Name.c_str(), &connection) != SQLITE_OK || !hardenConnection(connection)) {
    sqlite3_close(connection);
    return false;
  }
  connection_ = connection;
  return true;
}

bool SqliteDB::closeDatabase() {
  if (!connection_) return true;
  const int result = sqlite3_close(connection_);
  connection_ = nullptr;
  return result != SQLITE_BUSY;
}

bool SqliteDB::executeSql(const Text& sql) {
  const Text text = bytesToText(sql);
  if (!connection_ || text.empty()) return false;
  const std::optional<std::string> utf8 = ansiToUtf8(text);
  if (!utf8) return false;
  return sqlite3_exec(connection_, utf8->c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

TextGrid SqliteDB::readTable(const Text& tableOrSql, bool withHeader) {
  const Text text = bytesToText(tableOrSql);
  if (!connection_ || text.empty()) return TextGrid();
  const std::optional<Text> statement = readStatement(text);
  if (!statement) return TextGrid();
  const std::optional<std::string> utf8 = ansiToUtf8(*statement);
  if (!utf8) return TextGrid();
  char** result = nullptr;
  int rowCount = 0;
  int columnCount = 0;
  if (sqlite3_get_table(connection_, utf8->c_str(), &result, &rowCount, &columnCount, nullptr) !=
      SQLITE_OK) {
    return TextGrid();
  }
  TextGrid grid = columnCount > 0 ? gridOfResult(result, rowCount, columnCount, withHeader) : TextGrid();
  sqlite3_free_table(result);
  return grid;
}

bool SqliteDB::compactDatabase() { return executeSql("VACUUM"); }
