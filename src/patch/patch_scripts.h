#pragma once
#include "app/text.h"

// The patch's two fixed SQL scripts: GBK bytes, one statement a line, lines separated by CR LF.
// Each is handed whole to SQLite; the program never splits or edits them.

// Replaces quest givers' lines; run only on the official translation edition.
extern const ByteBlock OfficialEditionScript;

// Replaces quest names and descriptions, then repairs the adventure-mode mission rows; always run.
extern const ByteBlock CommonFixScript;
