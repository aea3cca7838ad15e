#include "db/sqlite_db.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <sqlite3.h>

#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

// A connection of SQLite's own, to make database files and to look into them past SqliteDB.
class RawDatabase {
 public:
  explicit RawDatabase(const std::string& utf8Name) { sqlite3_open(utf8Name.c_str(), &connection_); }
  ~RawDatabase() { sqlite3_close(connection_); }
  RawDatabase(const RawDatabase&) = delete;
  RawDatabase& operator=(const RawDatabase&) = delete;

  int run(const std::string& sql) {
    return sqlite3_exec(connection_, sql.c_str(), nullptr, nullptr, nullptr);
  }

  // The first column of every row of a query as UTF-8 text, "NULL" for a NULL value.
  std::vector<std::string> column(const std::string& sql) {
    std::vector<std::string> values;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(connection_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) return {"error"};
    while (sqlite3_step(statement) == SQLITE_ROW) {
      const unsigned char* value = sqlite3_column_text(statement, 0);
      values.push_back(value ? reinterpret_cast<const char*>(value) : "NULL");
    }
    sqlite3_finalize(statement);
    return values;
  }

 private:
  sqlite3* connection_ = nullptr;
};

// While it lives, every new SQLite connection records the statements it runs and knows the
// function side_effect(), which counts its calls and is registered without SQLITE_INNOCUOUS.
class ConnectionSpy {
 public:
  ConnectionSpy() {
    active = this;
    sqlite3_auto_extension(entryPoint());
  }
  ~ConnectionSpy() {
    sqlite3_cancel_auto_extension(entryPoint());
    active = nullptr;
  }
  ConnectionSpy(const ConnectionSpy&) = delete;
  ConnectionSpy& operator=(const ConnectionSpy&) = delete;

  std::vector<std::string> statements;
  int sideEffectCalls = 0;

 private:
  using EntryPoint = void (*)();
  static EntryPoint entryPoint() { return reinterpret_cast<EntryPoint>(&install); }

  static int install(sqlite3* connection, const char**, const sqlite3_api_routines*) {
    sqlite3_trace_v2(connection, SQLITE_TRACE_STMT, &onStatement, nullptr);
    return sqlite3_create_function(connection, "side_effect", 0, SQLITE_UTF8, nullptr, &sideEffect, nullptr,
                                   nullptr);
  }
  static int onStatement(unsigned, void*, void*, void* sql) {
    active->statements.emplace_back(static_cast<const char*>(sql));
    return 0;
  }
  static void sideEffect(sqlite3_context* context, int, sqlite3_value**) {
    ++active->sideEffectCalls;
    sqlite3_result_int(context, 1);
  }

  static inline ConnectionSpy* active = nullptr;
};

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

long long sizeOf(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// True while some handle (an SQLite connection) has the file open for writing.
bool isOpenForWriting(const std::wstring& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_SHARING_VIOLATION;
  CloseHandle(file);
  return false;
}

bool isEmptyGrid(const TextGrid& grid) {
  return grid.dimensionCount == 1 && grid.sizes == std::vector<std::int32_t>{0} && grid.cells.empty();
}

// Every test runs in a fresh folder of its own, made the current directory.
class SqliteDbTest : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, previousFolder_), 0u);
    for (int attempt = 0; attempt < 100 && folder_.empty(); ++attempt) {
      const std::wstring candidate = std::wstring(temp) + L"questfix-sqlite-" +
                                     std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(attempt);
      if (CreateDirectoryW(candidate.c_str(), nullptr)) folder_ = candidate;
    }
    ASSERT_FALSE(folder_.empty());
    ASSERT_TRUE(SetCurrentDirectoryW(folder_.c_str()));
  }

  void TearDown() override {
    SetCurrentDirectoryW(previousFolder_);
    WIN32_FIND_DATAW entry;
    const HANDLE search = FindFirstFileW((folder_ + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
          DeleteFileW((folder_ + L"\\" + entry.cFileName).c_str());
        }
      } while (FindNextFileW(search, &entry));
      FindClose(search);
    }
    EXPECT_TRUE(RemoveDirectoryW(folder_.c_str()));
  }

  static void makeDatabase(const std::string& utf8Name, const std::string& sql) {
    ASSERT_EQ(RawDatabase(utf8Name).run(sql), SQLITE_OK) << sql;
  }

 private:
  wchar_t previousFolder_[MAX_PATH] = {};
  std::wstring folder_;
};

TEST(SqliteDb, isMemoryNameIgnoresTheCaseOfAsciiLettersOnly) {
  const struct {
    Text name;
    bool memory;
  } cases[] = {
      {":memory:", true}, {":MEMORY:", true},    {":Memory:", true},  {":memory", false},
      {"memory", false},  {":memory:x", false},  {"", false},         {"qm.bin", false},
      {"：memory:", false},
  };
  for (const auto& c : cases) EXPECT_EQ(isMemoryName(c.name), c.memory) << c.name;
}

TEST_F(SqliteDbTest, openDatabaseOpensMemoryOnlyWithAllowCreateAndAlwaysClosesTheEarlierFile) {
  const struct {
    Text name;
    bool allowCreate;
    bool opens;
  } cases[] = {
      {"", false, false}, {":memory:", false, false}, {":MEMORY:", false, false},
      {":Memory:", true, true}, {"", true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << '"' << c.name << "\" " << c.allowCreate);
    SqliteDB db;
    ASSERT_TRUE(db.openDatabase("earlier.db", true));
    ASSERT_TRUE(isOpenForWriting(L"earlier.db"));
    EXPECT_EQ(db.openDatabase(c.name, c.allowCreate), c.opens);
    EXPECT_FALSE(isOpenForWriting(L"earlier.db"));
    EXPECT_EQ(db.executeSql("CREATE TABLE probe(x)"), c.opens);
    if (c.opens) {
      const TextGrid databases = db.readTable("PRAGMA database_list");
      ASSERT_EQ(databases.sizes, (std::vector<std::int32_t>{1, 3}));
      EXPECT_EQ(databases.cells[1], "main");
      EXPECT_EQ(databases.cells[2], "") << "an in-memory database has no file";
    }
  }
}

TEST_F(SqliteDbTest, openDatabaseNeedsAnExistingFileUnlessAllowedToCreateIt) {
  SqliteDB db;
  EXPECT_FALSE(db.openDatabase("新库.db"));
  EXPECT_FALSE(exists(L"新库.db"));

  EXPECT_TRUE(db.openDatabase("新库.db", true));
  EXPECT_TRUE(exists(L"新库.db"));
  EXPECT_TRUE(db.executeSql("CREATE TABLE t(x); INSERT INTO t VALUES('kept')"));
  EXPECT_TRUE(db.closeDatabase());

  EXPECT_TRUE(db.openDatabase("新库.db"));
  EXPECT_EQ(db.readTable("t").cells, std::vector<Text>{"kept"});

  EXPECT_FALSE(db.openDatabase("\xFF\xFF.db", true)) << "a name that is not GBK";
  EXPECT_FALSE(db.executeSql("SELECT 1"));
}

TEST_F(SqliteDbTest, openDatabaseFailsOnAFileHeldWithoutReadSharing) {
  makeDatabase("held.db", "CREATE TABLE t(x)");
  SqliteDB db;
  const HANDLE other =
      CreateFileW(L"held.db", GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(db.openDatabase("held.db"));
  CloseHandle(other);
  EXPECT_TRUE(db.openDatabase("held.db"));
}

TEST_F(SqliteDbTest, closeDatabaseAndDestructionReleaseTheFile) {
  SqliteDB db;
  EXPECT_TRUE(db.closeDatabase()) << "closing a closed object";
  ASSERT_TRUE(db.openDatabase("a.db", true));
  EXPECT_TRUE(isOpenForWriting(L"a.db"));
  EXPECT_TRUE(db.closeDatabase());
  EXPECT_FALSE(isOpenForWriting(L"a.db"));
  EXPECT_TRUE(db.closeDatabase());
  {
    SqliteDB scoped;
    ASSERT_TRUE(scoped.openDatabase("b.db", true));
    EXPECT_TRUE(isOpenForWriting(L"b.db"));
  }
  EXPECT_FALSE(isOpenForWriting(L"b.db"));
}

TEST_F(SqliteDbTest, executeSqlRunsStatementsInOrderUntilOneFails) {
  makeDatabase("x.db", "CREATE TABLE t(x)");
  SqliteDB db;
  EXPECT_FALSE(db.executeSql("INSERT INTO t VALUES(1)")) << "closed";
  ASSERT_TRUE(db.openDatabase("x.db"));
  EXPECT_FALSE(db.executeSql(""));
  EXPECT_FALSE(
      db.executeSql("INSERT INTO t VALUES('first'); INSERT INTO missing VALUES(2); INSERT INTO t VALUES(3)"));
  EXPECT_FALSE(db.executeSql("INSERT INTO t VALUES('not GBK'); SELECT '\xFF\xFF'"));
  EXPECT_TRUE(db.executeSql("INSERT INTO t VALUES('中文')"));
  db.closeDatabase();
  EXPECT_EQ(RawDatabase("x.db").column("SELECT x FROM t ORDER BY rowid"),
            (std::vector<std::string>{"first", u8"中文"}));
}

TEST_F(SqliteDbTest, readTableSendsATableNameInsideItsSelectAndAnyTextWithSpaceOrSemicolonUnchanged) {
  makeDatabase("x.db", "CREATE TABLE translation(ID, Chinese); INSERT INTO translation VALUES(1, 'a')");
  ConnectionSpy spy;
  SqliteDB db;
  ASSERT_TRUE(db.openDatabase("x.db"));
  const struct {
    Text tableOrSql;
    std::string sent;
  } cases[] = {
      {"translation", "SELECT * FROM translation ORDER BY _ROWID_ "},
      {"SELECT * FROM translation", "SELECT * FROM translation"},
      {"SELECT*FROM\"translation\";", "SELECT*FROM\"translation\";"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tableOrSql);
    spy.statements.clear();
    EXPECT_EQ(db.readTable(c.tableOrSql).cells, (std::vector<Text>{"1", "a"}));
    EXPECT_EQ(spy.statements, std::vector<std::string>{c.sent});
  }
  spy.statements.clear();
  EXPECT_TRUE(isEmptyGrid(db.readTable("SELECT\t*\tFROM\ttranslation"))) << "tabs make a table name";
  EXPECT_TRUE(spy.statements.empty());
}

TEST_F(SqliteDbTest, readTableGivesRowsInRowidOrderThenColumnsAndTheColumnNamesWithHeader) {
  const auto cellText = [](int row, int column) {
    return "r" + std::to_string(row) + "c" + std::to_string(column);
  };
  std::string sql = "CREATE TABLE grid(a, b, c);";
  for (int row = 9; row >= 0; --row) {
    sql += "INSERT INTO grid(rowid, a, b, c) VALUES(" + std::to_string(row + 1) + ", '" + cellText(row, 0) +
           "', '" + cellText(row, 1) + "', '" + cellText(row, 2) + "');";
  }
  std::vector<Text> dataCells;
  for (int row = 0; row < 10; ++row) {
    for (int column = 0; column < 3; ++column) dataCells.push_back(cellText(row, column));
  }
  makeDatabase("grid.db", sql);
  SqliteDB db;
  ASSERT_TRUE(db.openDatabase("grid.db"));

  const TextGrid plain = db.readTable("grid");
  EXPECT_EQ(plain.dimensionCount, 2);
  EXPECT_EQ(plain.sizes, (std::vector<std::int32_t>{10, 3}));
  EXPECT_EQ(plain.cells, dataCells);

  const TextGrid withHeader = db.readTable("grid", true);
  std::vector<Text> headedCells{"a", "b", "c"};
  headedCells.insert(headedCells.end(), dataCells.begin(), dataCells.end());
  EXPECT_EQ(withHeader.dimensionCount, 2);
  EXPECT_EQ(withHeader.sizes, (std::vector<std::int32_t>{11, 3}));
  EXPECT_EQ(withHeader.cells, headedCells);
}

TEST_F(SqliteDbTest, readTableGivesTheEmptyGridWhenThereIsNoRowOrNothingToRead) {
  makeDatabase("x.db", "CREATE TABLE empty(a, b); CREATE TABLE t(x); INSERT INTO t VALUES(1)");
  SqliteDB db;
  EXPECT_TRUE(isEmptyGrid(db.readTable("t"))) << "closed";
  ASSERT_TRUE(db.openDatabase("x.db"));
  const struct {
    Text tableOrSql;
    bool withHeader;
  } cases[] = {
      {"empty", false},       {"empty", true},          {"SELECT * FROM t WHERE x = 2", true},
      {"missing", false},     {"", false},              {"SELECT '\xFF\xFF'", false},
      {"UPDATE t SET x = 5", true},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(isEmptyGrid(db.readTable(c.tableOrSql, c.withHeader))) << c.tableOrSql << " " << c.withHeader;
  }
  EXPECT_EQ(db.readTable("t").cells, std::vector<Text>{"5"}) << "the UPDATE was carried out";
}

TEST_F(SqliteDbTest, readTableTakesTableNamesThatFitTheStatementBufferOnly) {
  const std::string longest(991, 'n');
  const std::string tooLong(992, 'n');
  makeDatabase("x.db", "CREATE TABLE " + longest + "(x); INSERT INTO " + longest + " VALUES('fits');" +
                           "CREATE TABLE " + tooLong + "(x); INSERT INTO " + tooLong + " VALUES('cut');");
  SqliteDB db;
  ASSERT_TRUE(db.openDatabase("x.db"));
  EXPECT_EQ(db.readTable(longest).cells, std::vector<Text>{"fits"});
  EXPECT_TRUE(isEmptyGrid(db.readTable(tooLong)));
  EXPECT_EQ(db.readTable("SELECT * FROM " + tooLong).cells, std::vector<Text>{"cut"});
}

TEST_F(SqliteDbTest, readTableConvertsCellsToGbkAndLeavesUnconvertibleOnesAbsent) {
  makeDatabase("x.db", u8"CREATE TABLE v(a, b, c);"
                       u8"INSERT INTO v VALUES(NULL, '', 0);"
                       u8"INSERT INTO v VALUES(char(201), 'x', 'y');"
                       u8"INSERT INTO v VALUES('x', 'y' || CAST(X'F09F9880' AS TEXT), 'z');"
                       u8"INSERT INTO v VALUES('中文', 1.5, X'41');");
  SqliteDB db;
  ASSERT_TRUE(db.openDatabase("x.db"));
  const TextGrid grid = db.readTable("v");
  EXPECT_EQ(grid.sizes, (std::vector<std::int32_t>{4, 3}));
  EXPECT_EQ(grid.cells, (std::vector<Text>{"", "", "0",  //
                                           "", "x", "y",  //
                                           "x", "", "z",  //
                                           "\xD6\xD0\xCE\xC4", "1.5", "A"}));
}

TEST_F(SqliteDbTest, compactDatabaseVacuumsTheFile) {
  SqliteDB db;
  EXPECT_FALSE(db.compactDatabase()) << "closed";
  ASSERT_TRUE(db.openDatabase("x.db", true));
  ASSERT_TRUE(db.executeSql("CREATE TABLE big(x);"
                            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100) "
                            "INSERT INTO big SELECT zeroblob(4000) FROM n;"
                            "DELETE FROM big"));
  const long long before = sizeOf(L"x.db");
  EXPECT_TRUE(db.compactDatabase());
  EXPECT_LT(sizeOf(L"x.db"), before / 10);
}

// A crafted file must not be able to rewrite its own schema through the connection.
TEST_F(SqliteDbTest, connectionsRefuseDirectWritesToTheSchema) {
  const std::string rewrite =
      "PRAGMA writable_schema=ON; UPDATE sqlite_master SET sql = 'CREATE TABLE t(y)' WHERE name = 't'";
  makeDatabase("plain.db", "CREATE TABLE t(x)");
  ASSERT_EQ(RawDatabase("plain.db").run(rewrite), SQLITE_OK) << "SQLite's defaults allow it";

  makeDatabase("crafted.db", "CREATE TABLE t(x)");
  for (const Text& name : {"crafted.db"s, ":memory:"s}) {
    SCOPED_TRACE(name);
    SqliteDB db;
    ASSERT_TRUE(db.openDatabase(name, true));
    ASSERT_TRUE(db.executeSql("CREATE TABLE IF NOT EXISTS t(x)"));
    EXPECT_FALSE(db.executeSql(rewrite));
    EXPECT_EQ(db.readTable("SELECT sql FROM sqlite_master WHERE name = 't'").cells,
              std::vector<Text>{"CREATE TABLE t(x)"});
  }
}

// Views and triggers of a crafted file must not call functions that may have side effects.
TEST_F(SqliteDbTest, connectionsRefuseFunctionsWithSideEffectsInViewsAndTriggers) {
  ConnectionSpy spy;
  makeDatabase("crafted.db",
               "CREATE TABLE t(x); CREATE VIEW v AS SELECT side_effect() AS called;"
               "CREATE TRIGGER t_added AFTER INSERT ON t BEGIN SELECT side_effect(); END;");
  ASSERT_EQ(RawDatabase("crafted.db").column("SELECT called FROM v"), std::vector<std::string>{"1"})
      << "SQLite's defaults allow it";
  spy.sideEffectCalls = 0;

  SqliteDB db;
  ASSERT_TRUE(db.openDatabase("crafted.db"));
  EXPECT_TRUE(isEmptyGrid(db.readTable("v")));
  EXPECT_FALSE(db.executeSql("INSERT INTO t VALUES(1)"));
  EXPECT_EQ(spy.sideEffectCalls, 0);
  EXPECT_TRUE(isEmptyGrid(db.readTable("t")));
  EXPECT_EQ(db.readTable("SELECT side_effect()").cells, std::vector<Text>{"1"})
      << "a direct call is the caller's own";
}

}  // namespace
