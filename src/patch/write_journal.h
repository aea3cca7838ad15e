#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>

#include "app/text.h"

// The rollback journal of the write-back: before the slot is overwritten its original bytes are
// saved, behind a header that ties them to one build and asset size, and flushed. The journal is
// deleted once the new slot is written and verified; a journal found at start is rolled back.
constexpr char kJournalFileName[] = "qm.journal";

// The journal is written and flushed under this name first and then renamed, so that a journal
// that was cut short never carries the journal's name.
constexpr char kUnfinishedJournalFileName[] = "qm.journal.tmp";

struct JournalHeader {
  std::int64_t slotOffset;
  std::int64_t slotLength;
  std::int64_t assetSize;
  std::uint64_t originalChecksum;
  std::uint64_t imageChecksum;
};

// The checksum of the bytes; a checksum of several blocks in a row goes on from the previous one.
constexpr std::uint64_t kChecksumStart = 14695981039346656037ull;
std::uint64_t checksumOf(const ByteBlock& bytes, std::uint64_t previous = kChecksumStart);

// The journal's header; the journal file is the header followed by the original slot bytes.
constexpr std::size_t kJournalHeaderSize = 56;
ByteBlock journalHeader(const JournalHeader& header);

struct Journal {
  JournalHeader header;
  ByteBlock original;
};

// The journal's contents when its framing and checksums are sound.
std::optional<Journal> parseJournal(const ByteBlock& bytes);
