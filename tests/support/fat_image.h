// Builds FAT volume and disk images for tests with the real tools: mkfs.fat for empty
// volumes, mcopy for files (no mounting), sfdisk for MBR disk images. Files copied are made
// sparse first, so large partition files stay cheap. Tests skip when a tool is missing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// True when mkfs.fat, mcopy and sfdisk are on PATH.
bool HaveFatTools();

// mkfs.fat -C of `sizeKiB` KiB with FAT type `fatBits` (12, 16 or 32); extra options appended.
bool MakeFatVolume(const std::string& image, uint64_t sizeKiB, int fatBits,
                   const std::string& extraOptions = "");

// Copies `source` into the root of `image` as `name` (8.3, case kept as mtools stores it).
bool CopyIntoVolume(const std::string& image, const std::string& source, const std::string& name);

// Writes `bytes` (zero-filled to `size`) into a new file.
bool WriteFile(const std::string& path, uint64_t size, const std::vector<uint8_t>& bytes = {});

// A marked FAT32 volume image: hc00info.hcf and hc01info.hcf of `infoBytes`, then the
// partition files of `partBytes`, in that directory order. `firstSector` (optional) is the
// first 512 bytes of both info files. Files are written to a work folder `work`.
bool MakeMarkedVolume(const std::string& image, const std::string& work, uint64_t volumeKiB,
                      const std::vector<uint64_t>& partBytes, uint64_t infoBytes = 1 << 20,
                      const std::vector<uint8_t>& firstSector = {});

// First cluster of a root-directory file as mtools reports it (mshowfat); 0 when unknown.
uint32_t FirstClusterByMtools(const std::string& image, const std::string& name);

// An MBR disk image of `diskMiB` with `partitions` described by sfdisk lines
// ("start=8192, type=c"); the volume image `volume` is copied to sector `volumeStart`.
bool MakeDiskImage(const std::string& disk, uint64_t diskMiB, const std::string& sfdiskScript,
                   const std::string& volume, uint64_t volumeStart);

}  // namespace testsupport
