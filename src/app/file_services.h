#pragma once
#include <cstdint>

#include "app/text.h"

// Names a file opened by openFile: positive while open, 0 for a failed open.
using FileNumber = std::int32_t;

// The size found in the file's directory entry, without opening it, as the low 32 bits taken as signed;
// -1 when there is no such file.
std::int32_t fileSize(const Text& name);

bool deleteFile(const Text& name);

// Modes: 1 read, 2 write, 3 read and write, each of an existing file; 4 create or truncate and write,
// 5 create if missing and write, 6 create if missing and read and write.
// Sharing: 1 others may read and write, 2 others may not read, 3 others may not write, 4 exclusive.
// The file joins the end of the open-files list with its position at 0; the result is 0 when the
// system refuses (after a short retry of an exclusive open that meets another program) or an
// argument is invalid.
FileNumber openFile(const Text& name, int mode = 3, int sharing = 1);

// Refuses a negative offset; a position past the end is allowed. False leaves the position as it was.
bool seekFromStart(FileNumber file, std::int32_t offset);

bool seekToEnd(FileNumber file);

// Up to count bytes from the position, moving it on; the absent block when nothing was read.
// A failed read moves the position to the end of the file.
ByteBlock readBytes(FileNumber file, std::int32_t count);

// Reads exactly count bytes from the position into the block, reusing the block's memory, so that
// a file read piece by piece touches the same memory each time; false when fewer were there.
// A failed read moves the position to the end of the file.
bool readExactly(FileNumber file, std::int32_t count, ByteBlock& into);

// Writes the block at the position and moves it on; after a failed or short write the position is
// back where it was. An absent block writes nothing and succeeds.
bool writeBytes(FileNumber file, const ByteBlock& block);

// Creates or truncates the file, exclusively and for writing only, writes the block and closes it.
bool writeWholeFile(const Text& name, const ByteBlock& block);

// writeWholeFile of the next count bytes of an open file, copied from its position in pieces
// through one small buffer. What a whole read would give is written: the bytes up to the end of
// the file, and nothing at all when a read fails. An unknown file number copies nothing.
bool copyToWholeFile(FileNumber from, std::int32_t count, const Text& name);

// Creates or truncates the file exclusively, writes the block, then exactly the next count bytes of
// an open file (copied in pieces), flushes it to the disk and closes it; true only when every step
// succeeded and all count bytes were there.
bool copyToWholeFileDurably(const Text& name, const ByteBlock& first, FileNumber from, std::int32_t count);

// Renames a file, replacing a file of the new name, and returns once the change is on the disk.
bool renameFile(const Text& from, const Text& to);

// Writes the file's buffered data through to the disk; false when the number is not open or the
// system fails it.
bool flushFile(FileNumber file);

// Closes every file of the open-files list in the order of opening; no file number stays valid.
void closeAllFiles();

// count zero bytes; the absent block for a count of 0 or less.
ByteBlock zeroBytes(std::int32_t count);
