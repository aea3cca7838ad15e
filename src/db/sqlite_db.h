#pragma once
#include "app/text.h"
#include "db/text_grid.h"

struct sqlite3;

// True when name is ":memory:" with its ASCII letters in any case (":MEMORY:", ":Memory:").
bool isMemoryName(const Text& name);

// The program's access to SQLite: at most one connection, GBK texts on the program's side and
// UTF-8 towards SQLite. Every failure is a result: false or the empty grid. A new object is
// closed; destruction closes it.
class SqliteDB {
 public:
  SqliteDB() = default;
  ~SqliteDB();
  SqliteDB(const SqliteDB&) = delete;
  SqliteDB& operator=(const SqliteDB&) = delete;

  // Closes the current connection, then opens fileName; true when a connection is open afterwards.
  // An empty name or a memory name opens an in-memory database, and only with allowCreate. Without
  // allowCreate the file must exist and be readable; with it a missing file becomes a new database.
  bool openDatabase(const Text& fileName, bool allowCreate = false);

  // Closes the connection; false only when SQLite reports it busy. The object is closed afterwards
  // whatever SQLite answers.
  bool closeDatabase();

  // Runs the statements of sql in their order and stops at the first that fails; true when every
  // statement ran. No transaction is put around them.
  bool executeSql(const Text& sql);

  // A text with a space or a semicolon is run as a statement; any other text is a table name whose
  // rows are read in rowid order. With withHeader the first row holds the column names. A failure,
  // or a result without rows or columns, gives the empty grid.
  TextGrid readTable(const Text& tableOrSql, bool withHeader = false);

  // Runs VACUUM; true when it succeeded.
  bool compactDatabase();

 private:
  sqlite3* connection_ = nullptr;
};
