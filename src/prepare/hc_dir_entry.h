// The directory entries of the card files as marking writes them: 8.3 names in upper case
// with the lower-case flags set (so they list as "hc00info.hcf"), archive attribute, creation,
// access and write times, first cluster and size; no long-name entries. Pure functions.
#pragma once

#include <cstdint>
#include <ctime>
#include <span>
#include <string>

namespace prepare {

inline constexpr uint8_t kLowerCaseFlags = 0x18;  // offset 0x0C: base name and extension lower

// A FAT date and time (local time, two-second resolution plus tenths of creation).
struct FatTimestamp {
  uint16_t date = 0x21;  // 1980-01-01
  uint16_t time = 0;
  uint8_t tenths = 0;    // 0..199: hundredths of the two-second step
};
FatTimestamp FatTimestampOf(std::time_t t);

// "hcpt0012.hcf" for i = 12.
std::string PartFileName(int i);
// The 11 name bytes: "HC00INFOHCF", "HC01INFOHCF", "HCPT0012HCF".
std::string InfoName83(int which);
std::string PartName83(int i);

// Fills a 32-byte entry for `name83` (11 bytes) as a freshly created file.
void EncodeHcEntry(std::span<uint8_t, 32> e, const std::string& name83, uint32_t firstCluster,
                   uint32_t size, const FatTimestamp& t);
// Rewrites first cluster and size of an existing entry.
void SetEntryClusterAndSize(std::span<uint8_t, 32> e, uint32_t firstCluster, uint32_t size);

}  // namespace prepare
