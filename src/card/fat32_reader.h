// Our own read-only FAT reader (FAT32, and FAT16 and FAT12 as well): the root directory's 8.3
// entries, cluster chains, and a file's bytes through a read-ahead buffer. It lets the hc
// files of an image file or an unmounted device be read without mounting anything, so the
// file check decides whether a card is marked whatever its FAT type. Never writes.
//
// Fat32Reader is internally locked, so any thread may call it. A FatFile belongs to one
// caller at a time (the partition-file reader holds its own lock around it).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "card/fat_dir_entry.h"
#include "card/fat_volume.h"
#include "card/sector_file.h"
#include "platform/raw_volume.h"

namespace card {

// A run of a file's bytes that lies contiguously on the volume.
struct FileExtent {
  uint64_t fileOffset = 0;
  uint64_t volumeOffset = 0;
  uint64_t length = 0;
};

// One open file: its extents on the volume, read through the read-ahead window.
class FatFile final : public ReadAheadFile {
 public:
  FatFile(std::shared_ptr<platform::RawVolume> volume, std::vector<FileExtent> extents,
          uint64_t size);
  // Bytes of the file readable through its chain (at most its directory size).
  uint64_t size() const { return readable_; }

 protected:
  size_t fetch(uint64_t offset, std::span<uint8_t> out) override;

 private:
  std::shared_ptr<platform::RawVolume> volume_;
  std::vector<FileExtent> extents_;
  uint64_t readable_ = 0;
};

class Fat32Reader {
 public:
  // `g` must describe a recognised FAT volume with clusters (ok() tells).
  Fat32Reader(std::shared_ptr<platform::RawVolume> volume, const VolumeGeometry& g);
  bool ok() const { return g_.recognised && g_.clusterCount > 0; }
  const VolumeGeometry& geometry() const { return g_; }
  const std::shared_ptr<platform::RawVolume>& volume() const { return volume_; }

  // The regular files of the root directory, in directory order. The walk runs once per
  // reader (later calls return its result); a damaged root directory lists no file.
  std::vector<DirEntry> ListRoot();
  // True after ListRoot() when the root directory's cluster chain loops, or it holds more
  // entries than a directory may (65536) without an end entry: the card is damaged.
  bool rootDamaged();
  // The root directory file named `fileName` ("hcpt0000.hcf", matched as 8.3, any case).
  std::optional<DirEntry> FindInRoot(const std::string& fileName);
  // The file's extents; nullopt when its chain is broken (bad cluster, loop, early end).
  std::optional<std::vector<FileExtent>> Extents(uint32_t firstCluster, uint64_t bytes);

 private:
  // FAT entry of cluster c (masked to 28 bits; end-of-chain marks of FAT12/16 are widened to
  // FAT32's); nullopt when the FAT cannot be read.
  std::optional<uint32_t> next(uint32_t c);
  // The fixed root directory region of FAT12/16 (FAT32 keeps its root in a cluster chain).
  std::vector<DirEntry> listFixedRoot();
  // The bounded root-directory walk behind ListRoot(); called once, under mutex_.
  void walkRoot();
  bool validCluster(uint32_t c) const { return c >= 2 && uint64_t(c) < uint64_t(g_.clusterCount) + 2; }
  uint64_t clusterOffset(uint32_t c) const;
  uint64_t clusterBytes() const { return uint64_t(g_.sectorsPerCluster) * base::kSectorSize; }

  std::shared_ptr<platform::RawVolume> volume_;
  VolumeGeometry g_;
  std::mutex mutex_;
  std::vector<uint8_t> fatCache_;  // one window of the first FAT
  uint64_t fatCacheOffset_ = 0;    // byte offset of the window within the FAT
  size_t fatCacheBytes_ = 0;
  bool rootWalked_ = false;
  bool rootDamaged_ = false;
  std::vector<DirEntry> rootFiles_;
};

}  // namespace card
