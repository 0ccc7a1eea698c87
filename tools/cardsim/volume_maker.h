// Makes a marked FAT32 volume image the way a freshly marked card looks: mkfs.fat on an empty
// image, then hc00info.hcf, hc01info.hcf (1024 bytes each) and the partition files, pre-sized
// and copied in that directory order with mcopy, so that they lie contiguously. Needs the
// dosfstools and mtools programs; nothing is mounted. One thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cardsim {

struct VolumeLayout {
  uint64_t volume_bytes = 64ull << 20;
  std::vector<uint64_t> partition_file_bytes = {8u << 20, 8u << 20, 8u << 20, 8u << 20};
};

// Creates (or replaces) `image`; false with `error` set when a tool is missing or fails.
bool MakeMarkedVolume(const std::string& image, const VolumeLayout& layout, std::string& error);

}  // namespace cardsim
