#pragma once
#include "db/sqlite_db.h"

// The program's one database object: created at start, destroyed by the exit hook.
extern SqliteDB* gameDatabase;

// 1 when the installed translation is the corrected edition, 0 for the official one; set by the
// status probe, read by the installation.
extern int correctedEdition;

// The cache file that holds the extracted database slot, beside the program.
constexpr char kCacheFileName[] = "qm.bin";

// The files in which SQLite keeps the unfinished changes of the cache file. Left behind by an
// interrupted run, SQLite would replay them into the next cache file.
constexpr const char* kCacheJournalFileNames[] = {"qm.bin-journal", "qm.bin-wal", "qm.bin-shm"};
