// One 32-byte FAT directory entry and 8.3 name handling. Pure functions; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace card {

inline constexpr uint8_t kAttrArchive = 0x20;
inline constexpr uint8_t kAttrVolumeLabel = 0x08;
inline constexpr uint8_t kAttrDirectory = 0x10;
inline constexpr uint8_t kAttrLongName = 0x0F;

struct DirEntry {
  std::string name83;  // the 11 name bytes as stored, space padded, no dot
  uint8_t attr = 0;
  uint32_t firstCluster = 0;  // (high << 16) | low on FAT32, low only otherwise
  uint32_t size = 0;

  // The 12 bytes compared by the card file walk: name followed by the attribute byte.
  std::string nameAndAttr() const { return name83 + char(attr); }
  bool isEnd() const { return !name83.empty() && name83[0] == '\0'; }
  bool isDeleted() const { return !name83.empty() && uint8_t(name83[0]) == 0xE5; }
  // A regular file (not deleted, not a long-name part, not a label or folder).
  bool isFile() const;
};

// Decodes one 32-byte entry.
DirEntry DecodeDirEntry(std::span<const uint8_t, 32> p, bool fat32);

// "hcpt0000.hcf" -> "HCPT0000HCF"; nullopt when the name has no 8.3 form.
std::optional<std::string> ToName83(const std::string& fileName);

}  // namespace card
