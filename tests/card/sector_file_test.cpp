#include "card/sector_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

// A file of `size` bytes whose byte i is i mod 251, recording every fetch from the medium.
class CountingFile final : public card::ReadAheadFile {
 public:
  explicit CountingFile(uint64_t size) : size_(size) {}
  std::vector<size_t> fetches;

 protected:
  size_t fetch(uint64_t offset, std::span<uint8_t> out) override {
    const size_t n = offset >= size_ ? 0 : size_t(std::min<uint64_t>(out.size(), size_ - offset));
    for (size_t i = 0; i < n; ++i) out[i] = uint8_t((offset + i) % 251);
    fetches.push_back(n);
    return n;
  }

 private:
  uint64_t size_;
};

bool Holds(const std::vector<uint8_t>& bytes, uint64_t offset) {
  for (size_t i = 0; i < bytes.size(); ++i)
    if (bytes[i] != uint8_t((offset + i) % 251)) return false;
  return true;
}

}  // namespace

TEST(ReadAheadFile, SequentialReadsFetchOneWindowPerMiB) {
  CountingFile f(3 << 20);
  std::vector<uint8_t> sector(512);
  for (uint64_t s = 0; s < (3u << 20) / 512; ++s) {
    ASSERT_EQ(f.read(s * 512, sector), 512u);
    ASSERT_TRUE(Holds(sector, s * 512)) << s;
  }
  // The first read alone, then windows from byte 512 on: 1 MiB, 1 MiB, and the rest.
  EXPECT_EQ(f.fetches, (std::vector<size_t>{512, 1 << 20, 1 << 20, (1 << 20) - 512}));
  EXPECT_EQ(f.read(3 << 20, sector), 0u);  // at the end
}

TEST(ReadAheadFile, ScatteredProbesFetchOnlyWhatIsAsked) {
  CountingFile f(1ull << 30);
  std::vector<uint8_t> sector(512);
  for (uint64_t block : {5u, 900u, 17u, 400u}) {
    const uint64_t offset = (block * 256 + 255) * 512;
    ASSERT_EQ(f.read(offset, sector), 512u);
    EXPECT_TRUE(Holds(sector, offset));
  }
  EXPECT_EQ(f.fetches, (std::vector<size_t>{512, 512, 512, 512}));
}

TEST(ReadAheadFile, ShortFileEndsReadsShort) {
  CountingFile f(1000);
  std::vector<uint8_t> sector(512);
  EXPECT_EQ(f.read(0, sector), 512u);
  EXPECT_EQ(f.read(512, sector), 488u);  // sequential: from the window, cut at the end
  sector.assign(512, 0);
  EXPECT_EQ(f.read(900, sector), 100u);
  EXPECT_TRUE(Holds(std::vector<uint8_t>(sector.begin(), sector.begin() + 100), 900));
}
