#include "card/fat32_reader.h"

#include <algorithm>
#include <cstring>

#include "base/endian.h"

namespace card {

namespace {
constexpr size_t kFatWindowBytes = 64 * 1024;
constexpr uint32_t kEndOfChain = 0x0FFFFFF8;
}  // namespace

FatFile::FatFile(std::shared_ptr<platform::RawVolume> volume, std::vector<FileExtent> extents,
                 uint64_t size)
    : volume_(std::move(volume)), extents_(std::move(extents)) {
  uint64_t covered = 0;
  for (const FileExtent& e : extents_) covered += e.length;
  readable_ = std::min(size, covered);
}

size_t FatFile::fetch(uint64_t offset, std::span<uint8_t> out) {
  if (offset >= readable_) return 0;
  // The extent holding `offset`: the last one starting at or before it.
  auto it = std::upper_bound(extents_.begin(), extents_.end(), offset,
                             [](uint64_t o, const FileExtent& e) { return o < e.fileOffset; });
  if (it == extents_.begin()) return 0;
  --it;
  const uint64_t within = offset - it->fileOffset;
  if (within >= it->length) return 0;
  const size_t n =
      size_t(std::min<uint64_t>({out.size(), it->length - within, readable_ - offset}));
  return volume_->read_at(it->volumeOffset + within, out.first(n));
}

Fat32Reader::Fat32Reader(std::shared_ptr<platform::RawVolume> volume, const VolumeGeometry& g)
    : volume_(std::move(volume)), g_(g) {}

uint64_t Fat32Reader::clusterOffset(uint32_t c) const {
  return (uint64_t(g_.clusterBase) + uint64_t(c) * uint32_t(g_.sectorsPerCluster)) *
         base::kSectorSize;
}

std::optional<uint32_t> Fat32Reader::next(uint32_t c) {
  // Byte position of the entry in the FAT: 4 bytes per entry, 2 on FAT16, 1.5 on FAT12.
  const uint64_t at = g_.isFat32   ? uint64_t(c) * 4
                      : g_.isFat12 ? uint64_t(c) * 3 / 2
                                   : uint64_t(c) * 2;
  const size_t width = g_.isFat32 ? 4 : 2;
  if (at < fatCacheOffset_ || at + width > fatCacheOffset_ + fatCacheBytes_) {
    // The window holds a few bytes more, so that a FAT12 entry never straddles its end.
    if (fatCache_.empty()) fatCache_.resize(kFatWindowBytes + 4);
    fatCacheOffset_ = at - at % kFatWindowBytes;
    fatCacheBytes_ =
        volume_->read_at(uint64_t(g_.fatSector) * base::kSectorSize + fatCacheOffset_, fatCache_);
    if (at + width > fatCacheOffset_ + fatCacheBytes_) return std::nullopt;
  }
  const uint8_t* p = &fatCache_[size_t(at - fatCacheOffset_)];
  if (g_.isFat32) return base::load_le32(p) & 0x0FFFFFFF;
  uint32_t v = base::load_le16(p);
  uint32_t endMark = 0xFFF8;
  if (g_.isFat12) {
    v = (c & 1) ? v >> 4 : v & 0x0FFF;
    endMark = 0xFF8;
  }
  return v >= endMark ? kEndOfChain : v;
}

std::optional<std::vector<FileExtent>> Fat32Reader::Extents(uint32_t firstCluster,
                                                            uint64_t bytes) {
  std::lock_guard lock(mutex_);
  std::vector<FileExtent> extents;
  if (!ok()) return std::nullopt;
  if (bytes == 0) return extents;
  const uint64_t clusters = (bytes + clusterBytes() - 1) / clusterBytes();
  if (clusters > uint64_t(g_.clusterCount)) return std::nullopt;
  uint32_t c = firstCluster;
  // A damaged FAT may link a chain back into itself: each cluster may appear once.
  std::vector<bool> seen(size_t(g_.clusterCount) + 2);
  for (uint64_t i = 0; i < clusters; ++i) {
    if (!validCluster(c) || seen[c]) return std::nullopt;
    seen[c] = true;
    const uint64_t at = clusterOffset(c);
    if (!extents.empty() && extents.back().volumeOffset + extents.back().length == at)
      extents.back().length += clusterBytes();
    else
      extents.push_back(FileExtent{i * clusterBytes(), at, clusterBytes()});
    if (i + 1 == clusters) break;
    const auto n = next(c);
    if (!n || *n >= kEndOfChain) return std::nullopt;  // unreadable FAT or chain ends early
    c = *n;
  }
  return extents;
}

std::vector<DirEntry> Fat32Reader::listFixedRoot() {
  std::vector<DirEntry> files;
  std::vector<uint8_t> root(size_t(g_.rootDirSectors) * base::kSectorSize);
  const size_t got = volume_->read_at(uint64_t(g_.rootDirSector) * base::kSectorSize, root);
  for (size_t off = 0; off + 32 <= got; off += 32) {
    const DirEntry e = DecodeDirEntry(std::span(root).subspan(off).first<32>(), false);
    if (e.isEnd()) break;
    if (e.isFile()) files.push_back(e);
  }
  return files;
}

std::vector<DirEntry> Fat32Reader::ListRoot() {
  std::lock_guard lock(mutex_);
  if (!rootWalked_) walkRoot();
  return rootFiles_;
}

bool Fat32Reader::rootDamaged() {
  std::lock_guard lock(mutex_);
  if (!rootWalked_) walkRoot();
  return rootDamaged_;
}

// The chain is followed until its end mark, an unreadable cluster or an end entry. A cluster
// met twice (a loop) or more entries than a directory may hold mark the root as damaged and
// list nothing: a damaged FAT could otherwise make the walk run over the whole volume.
void Fat32Reader::walkRoot() {
  rootWalked_ = true;
  if (!ok()) return;
  if (!g_.isFat32) {
    rootFiles_ = listFixedRoot();
    return;
  }
  constexpr size_t kMaxDirEntries = 65536;
  std::vector<uint8_t> cluster(static_cast<size_t>(clusterBytes()));
  std::vector<bool> seen(size_t(g_.clusterCount) + 2);
  size_t entries = 0;
  const auto damaged = [this] {
    rootDamaged_ = true;
    rootFiles_.clear();
  };
  for (uint32_t c = g_.rootCluster; validCluster(c);) {
    if (seen[c]) return damaged();
    seen[c] = true;
    if (volume_->read_at(clusterOffset(c), cluster) != cluster.size()) return;
    for (size_t off = 0; off + 32 <= cluster.size(); off += 32) {
      if (++entries > kMaxDirEntries) return damaged();
      const DirEntry e = DecodeDirEntry(std::span(cluster).subspan(off).first<32>(), true);
      if (e.isEnd()) return;
      if (e.isFile()) rootFiles_.push_back(e);
    }
    const std::optional<uint32_t> n = next(c);
    if (!n || *n >= kEndOfChain) return;
    c = *n;
  }
}

std::optional<DirEntry> Fat32Reader::FindInRoot(const std::string& fileName) {
  const auto wanted = ToName83(fileName);
  if (!wanted) return std::nullopt;
  for (const DirEntry& e : ListRoot())
    if (e.name83 == *wanted) return e;
  return std::nullopt;
}

}  // namespace card
