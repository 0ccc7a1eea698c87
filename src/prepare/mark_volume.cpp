#include "prepare/mark_volume.h"

#include <algorithm>
#include <vector>

#include "base/endian.h"
#include "prepare/fat_run_writer.h"

namespace prepare {

namespace {

constexpr uint64_t kS = base::kSectorSize;
constexpr size_t kZeroChunk = 4u << 20;
constexpr uint32_t kInfoFileBytes = 1024;
constexpr uint32_t kUnknown = 0xFFFFFFFF;

uint64_t ClusterOffset(const MarkingPlan& p, uint32_t c) {
  return (uint64_t(p.geometry.clusterBase) + uint64_t(c) * p.geometry.sectorsPerCluster) * kS;
}

uint64_t DirBytes(const MarkingPlan& p) { return uint64_t(p.dirClusters) * p.clusterBytes; }

std::span<uint8_t, 32> Entry(std::vector<uint8_t>& dir, int index) {
  return std::span<uint8_t, 32>(&dir[size_t(index) * 32], 32);
}

// Writes zeros over clusters [first, first + count).
bool ZeroClusters(platform::RawVolume& v, const MarkingPlan& p, uint32_t first, uint64_t count) {
  const std::vector<uint8_t> zeros(std::min<uint64_t>(kZeroChunk, count * p.clusterBytes));
  const uint64_t end = ClusterOffset(p, first) + count * p.clusterBytes;
  for (uint64_t at = ClusterOffset(p, first); at < end;) {
    const size_t n = size_t(std::min<uint64_t>(zeros.size(), end - at));
    if (v.write_at(at, std::span<const uint8_t>(zeros.data(), n)) != n) return false;
    at += n;
  }
  return true;
}

// Takes `allocated` clusters off FSInfo's free count (unknown stays unknown) and sets the
// next-free hint to `nextFree`, or to unknown past the last cluster.
MarkStatus UpdateFsInfo(platform::RawVolume& v, const MarkingPlan& p, uint32_t allocated,
                        uint32_t nextFree) {
  if (p.fsInfoSector == 0) return MarkStatus::ok;
  base::Sector s{};
  if (!platform::ReadSectorAt(v, p.fsInfoSector, s)) return MarkStatus::readFailed;
  if (base::load_le32(&s[0]) != 0x41615252 || base::load_le32(&s[484]) != 0x61417272)
    return MarkStatus::ok;  // no valid FSInfo: nothing to keep right
  const uint32_t free = base::load_le32(&s[488]);
  const bool known = free != kUnknown && free <= uint32_t(p.geometry.clusterCount);
  base::store_le32(&s[488], known && free >= allocated ? free - allocated : kUnknown);
  base::store_le32(&s[492], nextFree <= uint32_t(p.geometry.clusterCount) + 1 ? nextFree : kUnknown);
  return platform::WriteSectorAt(v, p.fsInfoSector, s) ? MarkStatus::ok : MarkStatus::writeFailed;
}

}  // namespace

const char* MarkStatusText(MarkStatus s) {
  switch (s) {
    case MarkStatus::ok: return "ok";
    case MarkStatus::readFailed: return "a read from the volume failed";
    case MarkStatus::writeFailed: return "a write to the volume failed";
    case MarkStatus::stopped: return "stopped";
  }
  return "unknown";
}

MarkStatus CreateCardFiles(platform::RawVolume& v, const MarkingPlan& p, const FatTimestamp& t) {
  const int n = p.layout.fileCount;
  const uint32_t cc = p.createClusters;
  const uint32_t end = p.firstPartCluster + uint32_t(n) * cc;  // one past the last new cluster
  // File data first (1024 zero bytes each), then the allocations, then the entries.
  if (!ZeroClusters(v, p, p.hc00Cluster, end - p.hc00Cluster)) return MarkStatus::writeFailed;
  std::vector<uint32_t> next(end - 2);
  auto chain = [&](uint32_t first, uint32_t count) {
    for (uint32_t c = first; c < first + count; ++c)
      next[c - 2] = c + 1 == first + count ? kEndOfChain : c + 1;
  };
  chain(2, p.dirClusters);
  chain(p.hc00Cluster, cc);
  chain(p.hc01Cluster, cc);
  for (int i = 0; i < n; ++i) chain(p.firstPartCluster + uint32_t(i) * cc, cc);
  FatRunWriter fat(v, p.geometry);
  if (!fat.Write(2, end - 2, [&](uint32_t c) { return next[c - 2]; }))
    return MarkStatus::writeFailed;

  std::vector<uint8_t> dir(DirBytes(p));
  std::copy(p.rootCluster.begin(), p.rootCluster.end(), dir.begin());
  EncodeHcEntry(Entry(dir, p.firstEntry), InfoName83(0), p.hc00Cluster, kInfoFileBytes, t);
  EncodeHcEntry(Entry(dir, p.firstEntry + 1), InfoName83(1), p.hc01Cluster, kInfoFileBytes, t);
  for (int i = 0; i < n; ++i)
    EncodeHcEntry(Entry(dir, p.firstEntry + 2 + i), PartName83(i),
                  p.firstPartCluster + uint32_t(i) * cc, kInfoFileBytes, t);
  if (v.write_at(ClusterOffset(p, 2), dir) != dir.size()) return MarkStatus::writeFailed;
  return UpdateFsInfo(v, p, end - 3, end);
}

MarkStatus ChainPartitionFiles(platform::RawVolume& v, const MarkingPlan& p,
                               const MarkProgress& progress, const std::atomic<bool>* stop) {
  const int n = p.layout.fileCount;
  std::vector<uint8_t> dir(DirBytes(p));
  if (v.read_at(ClusterOffset(p, 2), dir) != dir.size()) return MarkStatus::readFailed;
  // Every file's chain is consecutive clusters, one file after another from hcpt0000.hcf's
  // first cluster; each chain ends with the end-of-chain mark.
  const uint32_t first = p.firstPartCluster, standard = p.fileClusters(0);
  const uint64_t chainedStandard = uint64_t(n - 1) * standard;
  auto value = [&](uint32_t c) -> uint32_t {
    const uint64_t k = uint64_t(c - first) + 1;  // clusters of the region up to and with c
    const bool last = k == p.regionClusters || (k <= chainedStandard && k % standard == 0);
    return last ? kEndOfChain : c + 1;
  };
  bool stopped = false;
  auto report = [&](uint64_t done) {
    if (progress) progress(int(std::min<uint64_t>(99, done * 100 / p.regionClusters)));
    stopped = stop && stop->load();
    return !stopped;
  };
  FatRunWriter fat(v, p.geometry);
  if (!fat.Write(first, p.regionClusters, value, report))
    return stopped ? MarkStatus::stopped : MarkStatus::writeFailed;

  uint32_t cluster = first;
  for (int i = 0; i < n; ++i) {
    SetEntryClusterAndSize(Entry(dir, p.firstEntry + 2 + i), cluster,
                           uint32_t(p.layout.fileBytes(i)));
    cluster += p.fileClusters(i);
  }
  // Only the sectors holding the partition file entries are written back.
  const uint64_t from = uint64_t(p.firstEntry + 2) * 32 / kS * kS;
  const uint64_t to = (uint64_t(p.firstEntry + 2 + n) * 32 + kS - 1) / kS * kS;
  if (v.write_at(ClusterOffset(p, 2) + from, std::span<const uint8_t>(&dir[from], to - from)) !=
      to - from)
    return MarkStatus::writeFailed;
  const uint32_t created = uint32_t(n) * p.createClusters;
  const MarkStatus s = UpdateFsInfo(v, p, p.regionClusters - created, p.lastRegionCluster() + 1);
  if (progress && s == MarkStatus::ok) progress(99);
  return s;
}

MarkStatus MarkVolume(platform::RawVolume& v, const MarkingPlan& plan, const FatTimestamp& t,
                      const MarkProgress& progress, const std::atomic<bool>* stop) {
  MarkStatus s = CreateCardFiles(v, plan, t);
  if (s == MarkStatus::ok) s = ChainPartitionFiles(v, plan, progress, stop);
  if (s == MarkStatus::ok && !v.flush()) s = MarkStatus::writeFailed;
  return s;
}

}  // namespace prepare
