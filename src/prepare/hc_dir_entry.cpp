#include "prepare/hc_dir_entry.h"

#include <cstdio>
#include <algorithm>
#include <cstring>

#include "base/endian.h"
#include "card/fat_dir_entry.h"

namespace prepare {

FatTimestamp FatTimestampOf(std::time_t t) {
  std::tm tm{};
  if (!::localtime_r(&t, &tm) || tm.tm_year < 80) return FatTimestamp{};
  FatTimestamp f;
  f.date = uint16_t(((tm.tm_year - 80) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
  f.time = uint16_t((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
  f.tenths = uint8_t((tm.tm_sec % 2) * 100);
  return f;
}

std::string PartFileName(int i) {
  char name[16];
  std::snprintf(name, sizeof name, "hcpt%04d.hcf", i);
  return name;
}

std::string InfoName83(int which) { return which == 0 ? "HC00INFOHCF" : "HC01INFOHCF"; }

std::string PartName83(int i) {
  char name[16];
  std::snprintf(name, sizeof name, "HCPT%04dHCF", i);
  return name;
}

void EncodeHcEntry(std::span<uint8_t, 32> e, const std::string& name83, uint32_t firstCluster,
                   uint32_t size, const FatTimestamp& t) {
  std::memset(e.data(), 0, e.size());
  std::memcpy(e.data(), name83.data(), std::min<size_t>(name83.size(), 11));
  e[0x0B] = card::kAttrArchive;
  e[0x0C] = kLowerCaseFlags;
  e[0x0D] = t.tenths;
  base::store_le16(&e[0x0E], t.time);  // creation time and date
  base::store_le16(&e[0x10], t.date);
  base::store_le16(&e[0x12], t.date);  // last access date
  base::store_le16(&e[0x16], t.time);  // last write time and date
  base::store_le16(&e[0x18], t.date);
  SetEntryClusterAndSize(e, firstCluster, size);
}

void SetEntryClusterAndSize(std::span<uint8_t, 32> e, uint32_t firstCluster, uint32_t size) {
  base::store_le16(&e[0x14], uint16_t(firstCluster >> 16));
  base::store_le16(&e[0x1A], uint16_t(firstCluster & 0xFFFF));
  base::store_le32(&e[0x1C], size);
}

}  // namespace prepare
