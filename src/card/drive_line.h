// The lines of the main window's drive list: "<drive>, <size>, <FAT type>[, formatted]",
// where the drive is the device path with its mount point when mounted
// ("/dev/sdb1 (/media/card), 7.402GB,  FAT32, formatted"), and the test of whether a line
// names a FAT32 volume, the only kind a card can be opened from. Pure; any thread.
#pragma once

#include <string>

namespace card {

// The FAT type piece of a line, with its leading blank: " FAT32", " FAT16", " FAT12".
inline constexpr const char* kFat32Piece = ",  FAT32";

// Whether a drive list line names a FAT32 volume (contains ",  FAT32").
bool IsFat32DriveLine(const std::string& line);

}  // namespace card
