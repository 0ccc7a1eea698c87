// Where marking puts everything on an empty FAT32 volume, decided before anything is written:
// the root directory (kept at cluster 2, grown over the following clusters when the entries
// do not fit one cluster, so that the raw walk finds them in consecutive sectors), the two
// info files right after it, and the partition files from the next cluster on, one after
// another. Planning reads the boot sector, FSInfo, root directory and FAT; it refuses a volume
// whose root holds anything but a label, or whose clusters for the region are not all free.
// Any thread; reads only.
#pragma once

#include <cstdint>
#include <vector>

#include "card/fat_volume.h"
#include "platform/raw_volume.h"
#include "prepare/marking_layout.h"

namespace prepare {

enum class PlanError {
  none,
  notEmptyFat32,   // not a recognised FAT32 volume with its root at cluster 2
  readFailed,      // boot sector, root directory or FAT unreadable
  rootNotEmpty,    // the root directory holds files or folders
  noRoom,          // the region does not fit between the first partition cluster and the end
  clustersInUse,   // a cluster the files would take is not free in the FAT
};
const char* PlanErrorText(PlanError e);

struct MarkingPlan {
  card::VolumeGeometry geometry;
  MarkingLayout layout;
  uint32_t fsInfoSector = 0;      // 0: the volume has no FSInfo sector
  uint32_t clusterBytes = 0;
  int firstEntry = 0;             // index of the hc00info entry in the root directory
  uint32_t dirClusters = 1;       // root directory clusters from cluster 2 after marking
  uint32_t createClusters = 1;    // clusters of a freshly created 1024-byte file
  uint32_t hc00Cluster = 0, hc01Cluster = 0;
  uint32_t firstPartCluster = 0;  // first cluster of hcpt0000.hcf and of the region
  uint32_t regionClusters = 0;
  std::vector<uint8_t> rootCluster;  // the root directory's cluster as read

  uint32_t lastRegionCluster() const { return firstPartCluster + regionClusters - 1; }
  uint32_t fileClusters(int i) const { return uint32_t(layout.fileBytes(i) / clusterBytes); }
};

struct PlanResult {
  PlanError error = PlanError::none;
  MarkingPlan plan;
  bool ok() const { return error == PlanError::none; }
};

// Plans marking `layout` on the volume `v` with geometry `g`.
PlanResult PlanMarking(platform::RawVolume& v, const card::VolumeGeometry& g,
                       const MarkingLayout& layout);

// The bytes the partition files can occupy at most (from the first partition cluster, with a
// directory sized for the largest file count, to the last cluster); 0 when the volume cannot
// be marked. Bounds the slider's share.
uint64_t MarkableBytes(platform::RawVolume& v, const card::VolumeGeometry& g);

}  // namespace prepare
