#include "prepare/marking_plan.h"

#include <algorithm>

#include "base/endian.h"
#include "card/fat_dir_entry.h"

namespace prepare {

namespace {

constexpr uint32_t kCreatedFileBytes = 1024;
constexpr size_t kFatChunkBytes = 4u << 20;

struct RootScan {
  PlanError error = PlanError::none;
  int firstFree = 0;
  std::vector<uint8_t> cluster;
};

bool Markable(const card::VolumeGeometry& g) {
  return g.recognised && g.isFat32 && g.rootCluster == 2 && g.clusterCount > 0 &&
         g.fatCount >= 1 && g.sectorsPerFat > 0;
}

// Reads the root directory's one cluster and finds where new entries may go: after a volume
// label and deleted entries, never over a file or folder.
RootScan ScanRoot(platform::RawVolume& v, const card::VolumeGeometry& g) {
  RootScan r;
  r.cluster.resize(size_t(g.sectorsPerCluster) * base::kSectorSize);
  if (v.read_at(uint64_t(g.firstDataSector) * base::kSectorSize, r.cluster) != r.cluster.size()) {
    r.error = PlanError::readFailed;
    return r;
  }
  const int entries = int(r.cluster.size() / 32);
  for (r.firstFree = 0; r.firstFree < entries; ++r.firstFree) {
    const uint8_t* p = &r.cluster[size_t(r.firstFree) * 32];
    if (p[0] == 0) return r;
    if (p[0] == 0xE5) continue;
    const uint8_t attr = p[0x0B];
    const bool longName = (attr & card::kAttrLongName) == card::kAttrLongName;
    if (!longName && (attr & card::kAttrVolumeLabel) && !(attr & card::kAttrDirectory)) continue;
    r.error = PlanError::rootNotEmpty;
    return r;
  }
  return r;
}

uint32_t DirClustersFor(int firstEntry, int fileCount, uint32_t clusterBytes) {
  const uint64_t bytes = uint64_t(firstEntry + 2 + fileCount) * 32;
  return uint32_t(std::max<uint64_t>(1, (bytes + clusterBytes - 1) / clusterBytes));
}

uint32_t FirstPartCluster(uint32_t dirClusters, uint32_t createClusters) {
  return 2 + dirClusters + 2 * createClusters;
}

// True when FAT entries [first, last] of the first copy are all 0, except entry 2 (the root).
bool ClustersFree(platform::RawVolume& v, const card::VolumeGeometry& g, uint32_t first,
                  uint32_t last, PlanError& error) {
  std::vector<uint8_t> buf;
  const uint64_t fatStart = uint64_t(g.fatSector) * base::kSectorSize;
  for (uint64_t at = uint64_t(first) * 4; at < (uint64_t(last) + 1) * 4;) {
    const size_t n = size_t(std::min<uint64_t>(kFatChunkBytes, (uint64_t(last) + 1) * 4 - at));
    buf.resize(n);
    if (v.read_at(fatStart + at, buf) != n) {
      error = PlanError::readFailed;
      return false;
    }
    for (size_t k = 0; k < n; k += 4) {
      if (base::load_le32(&buf[k]) & 0x0FFFFFFF) {
        error = PlanError::clustersInUse;
        return false;
      }
    }
    at += n;
  }
  return true;
}

}  // namespace

const char* PlanErrorText(PlanError e) {
  switch (e) {
    case PlanError::none: return "ok";
    case PlanError::notEmptyFat32: return "not an empty FAT32 volume";
    case PlanError::readFailed: return "the volume could not be read";
    case PlanError::rootNotEmpty: return "the root directory is not empty";
    case PlanError::noRoom: return "the partition files do not fit on the volume";
    case PlanError::clustersInUse: return "clusters the partition files need are in use";
  }
  return "unknown";
}

PlanResult PlanMarking(platform::RawVolume& v, const card::VolumeGeometry& g,
                       const MarkingLayout& layout) {
  PlanResult r;
  MarkingPlan& p = r.plan;
  if (!Markable(g) || layout.fileCount < 2) {
    r.error = PlanError::notEmptyFat32;
    return r;
  }
  p.geometry = g;
  p.layout = layout;
  p.clusterBytes = uint32_t(g.sectorsPerCluster) * base::kSectorSize;
  base::Sector boot{};
  if (!platform::ReadSectorAt(v, 0, boot)) {
    r.error = PlanError::readFailed;
    return r;
  }
  const uint16_t fsInfo = base::load_le16(&boot[0x30]);
  if (fsInfo != 0 && fsInfo != 0xFFFF && fsInfo < g.reservedSectors) p.fsInfoSector = fsInfo;
  RootScan root = ScanRoot(v, g);
  if (root.error != PlanError::none) {
    r.error = root.error;
    return r;
  }
  // The raw walk looks for the info files and hcpt0000.hcf in the first directory sector.
  if (root.firstFree + 3 > int(base::kSectorSize / 32)) {
    r.error = PlanError::rootNotEmpty;
    return r;
  }
  p.firstEntry = root.firstFree;
  p.rootCluster = std::move(root.cluster);
  p.dirClusters = DirClustersFor(p.firstEntry, layout.fileCount, p.clusterBytes);
  p.createClusters = std::max<uint32_t>(1, (kCreatedFileBytes + p.clusterBytes - 1) / p.clusterBytes);
  p.hc00Cluster = 2 + p.dirClusters;
  p.hc01Cluster = p.hc00Cluster + p.createClusters;
  p.firstPartCluster = FirstPartCluster(p.dirClusters, p.createClusters);
  const uint64_t region = layout.regionBytes();
  const uint64_t maxCluster = uint64_t(g.clusterCount) + 1;
  if (region % p.clusterBytes != 0 ||
      uint64_t(p.firstPartCluster) + region / p.clusterBytes - 1 > maxCluster ||
      uint64_t(p.firstPartCluster) + uint64_t(layout.fileCount) * p.createClusters - 1 > maxCluster) {
    r.error = PlanError::noRoom;
    return r;
  }
  p.regionClusters = uint32_t(region / p.clusterBytes);
  const uint32_t last = std::max(p.lastRegionCluster(),
                                 p.firstPartCluster + layout.fileCount * p.createClusters - 1);
  if (!ClustersFree(v, g, 3, last, r.error)) return r;
  return r;
}

uint64_t MarkableBytes(platform::RawVolume& v, const card::VolumeGeometry& g) {
  if (!Markable(g)) return 0;
  const RootScan root = ScanRoot(v, g);
  if (root.error != PlanError::none) return 0;
  const uint32_t clusterBytes = uint32_t(g.sectorsPerCluster) * base::kSectorSize;
  const uint32_t create = std::max<uint32_t>(1, (kCreatedFileBytes + clusterBytes - 1) / clusterBytes);
  const uint32_t first =
      FirstPartCluster(DirClustersFor(root.firstFree, kMaxFileCount, clusterBytes), create);
  const uint64_t end = uint64_t(g.clusterCount) + 2;
  return end > first ? (end - first) * clusterBytes : 0;
}

}  // namespace prepare
