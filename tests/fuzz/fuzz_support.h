// Shared pieces of the fuzz targets: a per-process scratch folder, whole-file writes, an
// input cursor, a check that aborts (so that libFuzzer keeps the input as a crash), and
// the region and volume doubles the targets read through.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "card/region_reader.h"
#include "card/servsectclass.h"
#include "platform/raw_volume.h"
#include "records/reclistloadth.h"

#define KORVAN_FUZZ_CHECK(cond, what)                                       \
  do {                                                                      \
    if (!(cond)) {                                                          \
      std::fprintf(stderr, "fuzz check failed: %s (%s)\n", #cond, (what)); \
      std::abort();                                                         \
    }                                                                       \
  } while (0)

namespace fuzzsupport {

// A folder of this process for files a target writes (in /dev/shm when there is one).
const std::string& ScratchDir();
// Removes every file in `dir` (not recursive).
void ClearDir(const std::string& dir);
// The names of the files in `dir`.
std::vector<std::string> FilesIn(const std::string& dir);
bool WriteWhole(const std::string& path, std::span<const uint8_t> bytes);
std::vector<uint8_t> ReadWhole(const std::string& path);

// Consumes a fuzz input front to back; reads past the end give zeros.
class Cursor {
 public:
  explicit Cursor(std::span<const uint8_t> in) : in_(in) {}
  bool empty() const { return pos_ >= in_.size(); }
  size_t left() const { return empty() ? 0 : in_.size() - pos_; }
  uint8_t u8() { return empty() ? 0 : in_[pos_++]; }
  uint32_t u32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t(u8()) << (8 * i);
    return v;
  }
  std::span<const uint8_t> take(size_t n) {
    n = std::min(n, left());
    const auto s = in_.subspan(pos_, n);
    pos_ += n;
    return s;
  }
  // The next sector's bytes as a service sector (zeros past the end).
  card::ServiceSector service_sector() {
    base::Sector raw{};
    const auto head = take(base::kSectorSize);
    std::copy(head.begin(), head.end(), raw.begin());
    return card::ServiceSector(raw);
  }

 private:
  std::span<const uint8_t> in_;
  size_t pos_ = 0;
};

// A read-only volume: shared base bytes with patches laid over them.
class OverlayVolume final : public platform::RawVolume {
 public:
  explicit OverlayVolume(std::shared_ptr<const std::vector<uint8_t>> base) : base_(std::move(base)) {}
  void patch(uint64_t offset, std::span<const uint8_t> bytes);
  size_t read_at(uint64_t offset, std::span<uint8_t> out) override;
  size_t write_at(uint64_t, std::span<const uint8_t>) override { return 0; }
  bool flush() override { return true; }
  uint64_t length() const override { return base_->size(); }
  bool writable() const override { return false; }
  int last_error() const override { return 0; }

 private:
  std::shared_ptr<const std::vector<uint8_t>> base_;
  std::vector<std::pair<uint64_t, std::vector<uint8_t>>> order_;  // later patches win
};

// A record region held in memory: `sectors` sectors in files of `sectorsPerFile`. Sectors
// not given read as zeros; reads past the region fail as a missing file. With `infoOnly`
// the bytes hold only the information sector of each block (the last of its 256 sectors).
class BytesRegion final : public card::RegionReader {
 public:
  BytesRegion(std::span<const uint8_t> bytes, uint32_t sectors, uint32_t sectorsPerFile,
              bool infoOnly = false);
  const card::RegionGeometry& geometry() const override { return g_; }
  card::RegionReadResult read_sector(uint32_t s, base::Sector& out) override;
  void close() override {}
  uint64_t reads() const override { return reads_; }
  void reset_reads() override { reads_ = 0; }

 private:
  std::vector<uint8_t> bytes_;
  bool infoOnly_ = false;
  card::RegionGeometry g_;
  uint64_t reads_ = 0;
};

// The ring the scan walks, derived from a service sector as an opened card derives it.
records::ScanRing RingOf(const card::ServiceSector& s);

// Seed material from the recorder simulator: the service sector (first sector of
// hc00info.hcf) followed by the whole record region of a small card written with `seed`.
// Two recordings, or three with the ring wrapping past the region's end when `wrap`; their
// elementary streams are also written to `esDumpDir` when given (recNN.264, recNN.aac).
std::vector<uint8_t> SimulatedCard(uint32_t seed, bool wrap, const std::string& esDumpDir = "");

}  // namespace fuzzsupport
