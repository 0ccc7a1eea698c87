// Formatting a card as FAT32 with the system's mkfs.fat (dosfstools): the program is run
// directly (no shell) on the partition node, the whole unpartitioned device, the volume
// image file, or the partition inside a whole-disk image file (by offset and size, so the
// partition table stays). Its output is captured so that a failure can be shown as it was
// written. UI thread (it waits for mkfs.fat to end).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace card {
class CardMedium;
}

namespace prepare {

struct FormatTarget {
  std::string path;             // node or image file given to mkfs.fat
  uint64_t offsetSectors = 0;   // partition start inside a whole-disk image file
  uint64_t bytes = 0;           // volume size to use (0: the whole target)
  bool wholeDevice = false;     // an unpartitioned block device (mkfs.fat needs -I)
  std::string devicePath, diskPath;  // for unmounting and locking a block device
};

struct FormatResult {
  bool ok = false;
  std::string errorText;  // mkfs.fat's own output on failure, or why it could not run
};

// What to format for the open medium `m`; empty path for an image folder or a closed medium.
FormatTarget FormatTargetOf(const card::CardMedium& m);

// The mkfs.fat arguments for `t` (program name first).
std::vector<std::string> MkfsArguments(const FormatTarget& t, const std::string& program);

// Runs `program` (mkfs.fat unless tests say otherwise) for `t`: a mounted device is
// unmounted first and mounted again afterwards, the whole disk locked meanwhile.
FormatResult RunFormat(const FormatTarget& t, const std::string& program = "mkfs.fat");

// Closes `m`, formats what it had open and leaves it closed (the caller reopens it). An
// image folder is refused.
FormatResult FormatCard(card::CardMedium& m);

}  // namespace prepare
