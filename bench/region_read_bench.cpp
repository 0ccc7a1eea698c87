// Region read speed through the shared partition-file reader: every sector of a marked card
// read once in order, (a) from an image folder, (b) from a FAT32 volume image through our FAT
// reader, both with the 1 MiB read-ahead, against (c) one 512-byte pread per sector; and
// scattered information-sector probes that change partition file on every read. Also times
// opening the medium. Needs mkfs.fat and mcopy.
// Usage: region_read_bench [MiB per partition file, default 128] [files, default 2]
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "card/card_medium.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }

void ReadAll(card::CardMedium& m, const char* what) {
  base::Sector s{};
  const uint32_t n = m.region.N_sectors_in_rsr;
  const auto start = Clock::now();
  uint64_t bad = 0;
  for (uint32_t i = 0; i < n; ++i)
    if (m.ReadRegionSector(i, s) != card::RegionReadResult::ok) ++bad;
  const double t = Seconds(start);
  std::printf("%-34s %8.1f MB/s  (%u sectors, %.3f s, %llu failed)\n", what,
              n * 512.0 / t / 1e6, n, t, static_cast<unsigned long long>(bad));
}

// Information sectors (index 255 of every block) in an order that jumps between the two
// halves of the region, so the reader changes partition file on every read, as a probing
// scan may.
void ProbeAlternating(card::CardMedium& m, const char* what) {
  base::Sector s{};
  const uint32_t blocks = m.region.N_sectors_in_rsr / 256;
  const auto start = Clock::now();
  uint32_t reads = 0;
  for (uint32_t b = 0; b < blocks / 2; ++b, reads += 2) {
    (void)m.ReadRegionSector(b * 256 + 255, s);
    (void)m.ReadRegionSector((b + blocks / 2) * 256 + 255, s);
  }
  const double t = Seconds(start);
  std::printf("%-34s %8.2f us per read (%u reads)\n", what, t * 1e6 / reads, reads);
}

}  // namespace

int main(int argc, char** argv) {
  const unsigned mib = argc > 1 ? unsigned(std::atoi(argv[1])) : 128;
  const unsigned files = argc > 2 ? unsigned(std::atoi(argv[2])) : 2;
  const std::string dir = std::filesystem::temp_directory_path() / "korvan-region-bench";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir + "/folder");
  const std::string image = dir + "/card.img";
  // 4 KiB clusters need at least 65525 of them for FAT32.
  const unsigned volumeKiB = std::max(mib * files + 16, 300u) * 1024;
  if (!Run("mkfs.fat -C -F 32 -s 8 " + image + " " + std::to_string(volumeKiB) + " >/dev/null"))
    return 1;
  Run("head -c 1048576 /dev/urandom > " + dir + "/folder/hc00info.hcf");
  Run("cp " + dir + "/folder/hc00info.hcf " + dir + "/folder/hc01info.hcf");
  for (unsigned k = 0; k < files; ++k) {
    char name[32];
    std::snprintf(name, sizeof name, "hcpt%04u.hcf", k);
    Run("head -c " + std::to_string(uint64_t(mib) << 20) + " /dev/urandom > " + dir + "/folder/" + name);
  }
  if (!Run("MTOOLS_SKIP_CHECK=1 mcopy -i " + image + " " + dir + "/folder/hc* ::")) return 1;

  platform::NullNoticeSink notices;
  card::CardMedium m(notices);
  auto start = Clock::now();
  m.OpenMedium(dir + "/folder");
  std::printf("open image folder: %.2f ms, marked %d\n", Seconds(start) * 1e3, m.marked);
  ReadAll(m, "image folder (1 MiB read-ahead)");
  ProbeAlternating(m, "image folder, alternating files");

  start = Clock::now();
  m.OpenMedium(image);
  std::printf("open FAT32 image:  %.2f ms, marked %d\n", Seconds(start) * 1e3, m.marked);
  ReadAll(m, "FAT32 image (our reader)");
  ProbeAlternating(m, "FAT32 image, alternating files");

  // Baseline: one 512-byte pread per sector of the same files.
  const int fd = ::open((dir + "/folder/hcpt0000.hcf").c_str(), O_RDONLY);
  base::Sector s{};
  const uint32_t n = uint32_t((uint64_t(mib) << 20) / 512);
  start = Clock::now();
  for (uint32_t i = 0; i < n; ++i) (void)::pread(fd, s.data(), 512, off_t(i) * 512);
  const double t = Seconds(start);
  std::printf("%-34s %8.1f MB/s\n", "512-byte pread per sector", n * 512.0 / t / 1e6);
  ::close(fd);
  std::filesystem::remove_all(dir);
  return 0;
}
