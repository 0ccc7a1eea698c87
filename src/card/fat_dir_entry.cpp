#include "card/fat_dir_entry.h"

#include <cctype>

#include "base/endian.h"

namespace card {

bool DirEntry::isFile() const {
  if (name83.size() != 11 || isEnd() || isDeleted()) return false;
  if ((attr & kAttrLongName) == kAttrLongName) return false;
  return (attr & (kAttrVolumeLabel | kAttrDirectory)) == 0;
}

DirEntry DecodeDirEntry(std::span<const uint8_t, 32> p, bool fat32) {
  DirEntry e;
  e.name83.assign(reinterpret_cast<const char*>(p.data()), 11);
  e.attr = p[0x0B];
  const uint32_t low = base::load_le16(&p[0x1A]);
  e.firstCluster = fat32 ? (uint32_t(base::load_le16(&p[0x14])) << 16) | low : low;
  e.size = base::load_le32(&p[0x1C]);
  return e;
}

std::optional<std::string> ToName83(const std::string& fileName) {
  const size_t dot = fileName.rfind('.');
  const std::string stem = fileName.substr(0, dot);
  const std::string ext = dot == std::string::npos ? "" : fileName.substr(dot + 1);
  if (stem.empty() || stem.size() > 8 || ext.size() > 3) return std::nullopt;
  std::string out(11, ' ');
  for (size_t i = 0; i < stem.size(); ++i) out[i] = char(std::toupper(uint8_t(stem[i])));
  for (size_t i = 0; i < ext.size(); ++i) out[8 + i] = char(std::toupper(uint8_t(ext[i])));
  return out;
}

}  // namespace card
