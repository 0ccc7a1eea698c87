#include "convert/integrity_block.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "base/crc32.h"
#include "base/endian.h"
#include "convert/integrity_constants.h"
#include "convert/local_seconds.h"

namespace convert {
namespace {

// The file system may not report the new file's time at once; ask again for a while, then
// give up (the time is then stored as 0) rather than hang the conversion.
constexpr int kMtimeTries = 50;
constexpr auto kMtimeRetryPause = std::chrono::milliseconds(20);

uint32_t ModificationTime(const std::string& path) {
  if (const uint32_t fixed = FixedIntegrityClock()) return fixed;
  for (int attempt = 0; attempt < kMtimeTries; ++attempt) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
      return uint32_t(LocalSecondsSince2000(st.st_mtim.tv_sec, st.st_mtim.tv_nsec));
    std::this_thread::sleep_for(kMtimeRetryPause);
  }
  return 0;
}

class BlockWriter {
 public:
  void u16(uint16_t v) { base::store_le16(grow(2), v); }
  void u32(uint32_t v) { base::store_le32(grow(4), v); }
  void bytes(const uint8_t* p, size_t n) { std::copy(p, p + n, grow(n)); }
  // Appends `n` bytes of `p` followed by their CRC with `seed`.
  void checked(const uint8_t* p, size_t n, uint32_t seed) {
    bytes(p, n);
    u32(base::crc32_seeded(p, n, seed));
  }
  std::vector<uint8_t>& data() { return data_; }

 private:
  uint8_t* grow(size_t n) {
    data_.resize(data_.size() + n);
    return data_.data() + data_.size() - n;
  }
  std::vector<uint8_t> data_;
};

}  // namespace

std::vector<uint8_t> BuildIntegrityBlock(const IntegrityBlockInput& in) {
  const card::ServiceSector empty;
  const uint8_t* bss = (in.bss ? *in.bss : empty).data();
  const uint8_t* ess = (in.ess ? *in.ess : empty).data();
  // The length field is 16 bits wide; a longer path is stored cut to what it can count.
  const size_t pathLength = std::min<size_t>(in.mp4Path.size(), 0xFFFF);
  const auto* path = reinterpret_cast<const uint8_t*>(in.mp4Path.data());

  BlockWriter w;
  w.u32(base::load_le32(bss + 0x108));  // poweron_uid0 of the first information sector
  w.u32(uint32_t(in.partStart));
  w.u32(uint32_t(in.endSector));
  w.u16(uint16_t(in.firstBlock));
  w.u16(uint16_t(in.lastBlock));
  w.u16(uint16_t(pathLength));
  w.checked(path, pathLength, integrity::kPathSeed);
  w.u32(ModificationTime(in.mp4Path));
  w.u32(CurrentLocalSecondsSince2000());
  w.checked(ess, 128, integrity::kSectorSeed);
  w.checked(ess + 256, 256, integrity::kSectorSeed);
  w.checked(bss + 12, 36, integrity::kSectorSeed);
  w.checked(bss + 272, 64, integrity::kSectorSeed);
  for (uint32_t k : integrity::BlockConstantWords()) w.u32(k);
  std::vector<uint8_t>& block = w.data();
  const uint32_t seed = base::load_le32(block.data()) ^ integrity::kConstants[2];
  w.u32(base::crc32_seeded(block.data(), block.size(), seed));
  return std::move(block);
}

}  // namespace convert
