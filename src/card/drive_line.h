// The lines of the main window's drive list: "<drive>, <size>, <FAT type>[, formatted]",
// where the drive is the device path with its mount point when mounted
// ("/dev/sdb1 (/media/card), 7.402GB,  FAT32, formatted"); the test of whether a line names
// a FAT32 volume, the only kind a card can be opened from; and building the list by opening
// each candidate volume read-only and recognising it. Any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "card/fat_volume.h"
#include "platform/notice_sink.h"

namespace card {

inline constexpr const char* kFat32Piece = ",  FAT32";

// A volume that may hold a card: its device node (or image file) and where it is mounted.
struct DriveCandidate {
  std::string devicePath;
  std::string mountPoint;  // empty when not mounted
};

// One line of the list and the medium it opens.
struct DriveListing {
  std::string line;
  std::string devicePath;
};

// The line of a recognised volume `g` of `lengthBytes` bytes.
std::string DriveLine(const DriveCandidate& drive, uint64_t lengthBytes, const VolumeGeometry& g);

// Whether a drive list line names a FAT32 volume (contains ",  FAT32").
bool IsFat32DriveLine(const std::string& line);

// Opens each candidate read-only and lists the recognised ones. A candidate that cannot be
// opened raises the plain notice "can't open <path>" and is skipped; an unrecognised one is
// skipped silently.
std::vector<DriveListing> ListDrives(const std::vector<DriveCandidate>& candidates,
                                     platform::NoticeSink& notices);

}  // namespace card
