#include "db/game_database.h"

SqliteDB* gameDatabase = nullptr;
int correctedEdition = 0;
