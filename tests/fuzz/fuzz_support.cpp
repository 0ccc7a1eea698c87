#include "fuzz_support.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "cardsim/card_writer.h"
#include "cardsim/scenario.h"

namespace fuzzsupport {

const std::string& ScratchDir() {
  static const std::string dir = [] {
    struct stat st {};
    std::string base = ::stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) ? "/dev/shm" : "/tmp";
    if (const char* t = std::getenv("KORVAN_FUZZ_TMP")) base = t;
    std::string pattern = base + "/korvan-fuzz-XXXXXX";
    if (!::mkdtemp(pattern.data())) std::abort();
    return pattern + "/";
  }();
  return dir;
}

std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (const dirent* e = ::readdir(d)) {
      const std::string n = e->d_name;
      if (n != "." && n != "..") names.push_back(n);
    }
    ::closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

void ClearDir(const std::string& dir) {
  for (const std::string& n : FilesIn(dir)) ::unlink((dir + n).c_str());
}

bool WriteWhole(const std::string& path, std::span<const uint8_t> bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return bool(f);
}

std::vector<uint8_t> ReadWhole(const std::string& path) {
  std::ifstream f(path, std::ios::binary | std::ios::ate);
  if (!f) return {};
  std::vector<uint8_t> bytes(size_t(f.tellg()));
  f.seekg(0);
  f.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
  return bytes;
}

void OverlayVolume::patch(uint64_t offset, std::span<const uint8_t> bytes) {
  if (offset >= length() || bytes.empty()) return;
  const size_t n = size_t(std::min<uint64_t>(bytes.size(), length() - offset));
  order_.emplace_back(offset, std::vector<uint8_t>(bytes.begin(), bytes.begin() + n));
}

size_t OverlayVolume::read_at(uint64_t offset, std::span<uint8_t> out) {
  if (offset >= length()) return 0;
  const size_t n = size_t(std::min<uint64_t>(out.size(), length() - offset));
  std::copy_n(base_->data() + offset, n, out.data());
  for (const auto& [at, bytes] : order_) {
    const uint64_t from = std::max(at, offset), to = std::min(at + bytes.size(), offset + n);
    if (from < to) std::copy(bytes.data() + (from - at), bytes.data() + (to - at), out.data() + (from - offset));
  }
  return n;
}

BytesRegion::BytesRegion(std::span<const uint8_t> bytes, uint32_t sectors,
                         uint32_t sectorsPerFile, bool infoOnly)
    : bytes_(bytes.begin(), bytes.end()), infoOnly_(infoOnly) {
  sectors = std::max<uint32_t>(sectors, 1);
  sectorsPerFile = std::max<uint32_t>(sectorsPerFile, 1);
  g_.N_sectors_in_rsr = sectors;
  g_.N_sectors_in_standard_rsf = sectorsPerFile;
  g_.N_rsf = (sectors + sectorsPerFile - 1) / sectorsPerFile;
  g_.N_sectors_in_the_last_rsf = sectors - (g_.N_rsf - 1) * sectorsPerFile;
}

card::RegionReadResult BytesRegion::read_sector(uint32_t s, base::Sector& out) {
  ++reads_;
  if (s >= g_.N_sectors_in_rsr) return card::RegionReadResult::no_file;
  out.fill(0);
  if (infoOnly_ && s % 256 != 255) return card::RegionReadResult::ok;
  const uint64_t at = uint64_t(infoOnly_ ? s / 256 : s) * base::kSectorSize;
  if (at < bytes_.size())
    std::copy_n(bytes_.data() + at, std::min<uint64_t>(base::kSectorSize, bytes_.size() - at),
                out.data());
  return card::RegionReadResult::ok;
}

records::ScanRing RingOf(const card::ServiceSector& ss) {
  records::ScanRing r;
  r.N_s_s = ss.N_sectors_in_rsr() >> 8;
  r.s_s_bgn = (ss.rec_bgn_sectnum() - ss.rsr_sectnum()) >> 8;
  r.s_s_end = (ss.rec_end_sectnum() - ss.rsr_sectnum()) >> 8;
  return r;
}

}  // namespace fuzzsupport

namespace fuzzsupport {

std::vector<uint8_t> SimulatedCard(uint32_t seed, bool wrap, const std::string& esDumpDir) {
  const std::string folder = ScratchDir() + "card-" + std::to_string(seed) + "/";
  cardsim::Scenario s;
  s.seed = seed;
  s.width = 352;
  s.height = 288;
  s.partition_file_bytes = {512u << 10, 512u << 10};
  s.recordings.resize(wrap ? 3 : 2);
  for (auto& r : s.recordings) r.duration_s = 0.6;
  if (wrap) s.ring_start_block = 5;
  cardsim::WriteOptions options;
  options.es_dump_dir = esDumpDir;
  const cardsim::CardResult written = cardsim::WriteCardToFolder(s, folder, options);
  KORVAN_FUZZ_CHECK(written.ok, written.error.c_str());
  std::vector<uint8_t> out = ReadWhole(folder + "hc00info.hcf");
  out.resize(base::kSectorSize);
  for (const char* name : {"hcpt0000.hcf", "hcpt0001.hcf"}) {
    const std::vector<uint8_t> part = ReadWhole(folder + name);
    out.insert(out.end(), part.begin(), part.end());
  }
  ClearDir(folder);
  ::rmdir(folder.c_str());
  return out;
}

}  // namespace fuzzsupport
