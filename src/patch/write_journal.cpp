#include "patch/write_journal.h"

#include <cstring>

namespace {

constexpr char kMagic[8] = {'Q', 'F', 'J', 'O', 'U', 'R', 'N', '1'};
constexpr std::size_t kFieldCount = 6;
static_assert(sizeof kMagic + kFieldCount * sizeof(std::uint64_t) == kJournalHeaderSize);

void appendField(ByteBlock& out, std::uint64_t value) {
  for (int shift = 0; shift < 64; shift += 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

std::uint64_t fieldAt(const ByteBlock& bytes, std::size_t index) {
  std::uint64_t value = 0;
  const std::size_t start = sizeof kMagic + index * sizeof(std::uint64_t);
  for (std::size_t i = 0; i < 8; ++i) value |= std::uint64_t{static_cast<unsigned char>(bytes[start + i])} << (8 * i);
  return value;
}

}  // namespace

std::uint64_t checksumOf(const ByteBlock& bytes, std::uint64_t previous) {
  std::uint64_t hash = previous;
  for (const char byte : bytes) {
    hash ^= static_cast<unsigned char>(byte);
    hash *= 1099511628211ull;
  }
  return hash;
}

ByteBlock journalHeader(const JournalHeader& header) {
  ByteBlock journal(kMagic, sizeof kMagic);
  appendField(journal, static_cast<std::uint64_t>(header.slotOffset));
  appendField(journal, static_cast<std::uint64_t>(header.slotLength));
  appendField(journal, static_cast<std::uint64_t>(header.assetSize));
  appendField(journal, header.originalChecksum);
  appendField(journal, header.imageChecksum);
  appendField(journal, checksumOf(journal));
  return journal;
}

std::optional<Journal> parseJournal(const ByteBlock& bytes) {
  if (bytes.size() < kJournalHeaderSize || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) return std::nullopt;
  if (checksumOf(bytes.substr(0, kJournalHeaderSize - sizeof(std::uint64_t))) != fieldAt(bytes, 5)) return std::nullopt;
  Journal journal{{static_cast<std::int64_t>(fieldAt(bytes, 0)), static_cast<std::int64_t>(fieldAt(bytes, 1)),
                   static_cast<std::int64_t>(fieldAt(bytes, 2)), fieldAt(bytes, 3), fieldAt(bytes, 4)},
                  bytes.substr(kJournalHeaderSize)};
  if (journal.header.slotLength < 0 || journal.original.size() != static_cast<std::uint64_t>(journal.header.slotLength) ||
      checksumOf(journal.original) != journal.header.originalChecksum) {
    return std::nullopt;
  }
  return journal;
}
