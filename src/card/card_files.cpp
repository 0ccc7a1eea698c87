#include "card/card_files.h"

#include <cstdio>

namespace card {

namespace {

// A partition file entry must be at least 2 MiB and a whole number of MiB.
bool PassesSizeTest(uint32_t size) { return (size >> 20) >= 2 && size % (1u << 20) == 0; }

// An info file is written raw at its first sector, so it must start on a cluster of the data
// area and hold at least that one sector; an empty file (first cluster 0) or a damaged entry
// would otherwise point the write into the FAT or past the volume.
bool AcceptableInfoFile(const DirEntry& e, const VolumeGeometry& g) {
  return e.size >= 512 && e.firstCluster >= 2 &&
         uint64_t(e.firstCluster) < uint64_t(g.clusterCount) + 2;
}

std::string PartitionKey(int n) {
  char key[32];
  std::snprintf(key, sizeof key, "HCPT%04dHCF ", n);
  return key;
}

}  // namespace

// Rules of the walk: only the first root-directory sector is searched for HC00INFO, HC01INFO
// and HCPT0000 (name + archive attribute, 12 bytes). From HCPT0000 on, every following entry
// must be the next HCPTnnnn; the chain may continue into the following volume sectors (the
// cluster chain is not followed). A wrong name, a failed size test or a short read ends the
// walk; values found before stay. An info file that fails AcceptableInfoFile keeps sector 0.
CardFileSectors LocateCardFiles(platform::RawVolume& v, const VolumeGeometry& g) {
  CardFileSectors r;
  if (!g.recognised || !g.isFat32) return r;
  auto firstSector = [&](const DirEntry& e) {
    return g.clusterBase + e.firstCluster * uint32_t(g.sectorsPerCluster);
  };
  base::Sector dir{};
  uint32_t sector = g.rootDirSector;
  int expected = 0;  // number of the next HCPT entry once HCPT0000 has been seen
  while (platform::ReadSectorAt(v, sector, dir)) {
    for (size_t i = 0; i < 16; ++i) {
      const DirEntry e = DecodeDirEntry(std::span(dir).subspan(32 * i).first<32>(), true);
      const std::string key = e.nameAndAttr();
      if (expected > 0) {
        if (key != PartitionKey(expected) || !PassesSizeTest(e.size)) return r;
        r.dirRegionSectors += e.size / 512;
        ++expected;
      } else if (key == "HC00INFOHCF ") {
        r.hc00infoSector = AcceptableInfoFile(e, g) ? firstSector(e) : 0;
      } else if (key == "HC01INFOHCF ") {
        r.hc01infoSector = AcceptableInfoFile(e, g) ? firstSector(e) : 0;
      } else if (key == "HCPT0000HCF ") {
        r.hcpt0000Sector = firstSector(e);
        if (!PassesSizeTest(e.size)) return r;
        r.dirRegionSectors = e.size / 512;
        expected = 1;
      }
    }
    if (expected == 0) return r;
    ++sector;
  }
  return r;
}

std::string IncrementBaseName(std::string base) {
  for (size_t i = base.size(); i-- > 0;) {
    if (base[i] == '9') {
      base[i] = '0';
      continue;
    }
    ++base[i];
    break;
  }
  return base;
}

CardFiles CheckCardFiles(CardFileSystem& fs, const std::string& hcpt0000Name) {
  CardFiles r;
  const size_t dot = hcpt0000Name.rfind('.');
  const std::string ext = dot == std::string::npos ? "" : hcpt0000Name.substr(dot);
  std::string base = hcpt0000Name.substr(0, dot);
  if (!fs.FileSize("hc00info" + ext) || !fs.FileSize("hc01info" + ext)) return r;

  RegionGeometry& g = r.region;
  for (;;) {
    const std::string name = base + ext;
    const auto size = fs.FileSize(name);
    if (!size) break;
    if (g.N_rsf == kMaxPartitionFiles) return CardFiles{};
    if (*size % 512 != 0 || *size / 512 > UINT32_MAX) return CardFiles{};
    r.names.push_back(name);
    r.partFiles.push_back(fs.PathOf(name));
    r.partFileBytes.push_back(*size);
    g.N_sectors_in_the_last_rsf = uint32_t(*size / 512);
    if (g.N_rsf == 0) g.N_sectors_in_standard_rsf = g.N_sectors_in_the_last_rsf;
    ++g.N_rsf;
    base = IncrementBaseName(base);
  }
  if (g.N_rsf == 0) return CardFiles{};
  const uint64_t total =
      uint64_t(g.N_rsf - 1) * g.N_sectors_in_standard_rsf + g.N_sectors_in_the_last_rsf;
  if (total > UINT32_MAX) return CardFiles{};
  g.N_sectors_in_rsr = uint32_t(total);
  r.marked = true;
  return r;
}

}  // namespace card
