#include "base/crc32.h"

#include <gtest/gtest.h>

#include <vector>

TEST(Crc32, AllOnesSeedIsTheOrdinaryCrc) {
  const uint8_t text[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(base::crc32_seeded(text, sizeof text, 0xFFFFFFFF), 0xCBF43926u);
}

TEST(Crc32, SeedStartsTheRegister) {
  // With an empty input the result is the complemented start register.
  EXPECT_EQ(base::crc32_seeded(nullptr, 0, 0x12345678), ~0x12345678u);
  const std::vector<uint8_t> data(1000, 0xA5);
  EXPECT_NE(base::crc32_seeded(data.data(), data.size(), 1),
            base::crc32_seeded(data.data(), data.size(), 2));
}

// Bit-by-bit reference of the seeded CRC: the values stored in earlier files must not change
// with the implementation behind crc32_seeded.
static uint32_t ReferenceCrc(const uint8_t* p, size_t n, uint32_t seed) {
  uint32_t r = seed;
  for (size_t i = 0; i < n; ++i) {
    r ^= p[i];
    for (int k = 0; k < 8; ++k) r = (r >> 1) ^ (0xEDB88320u & (0u - (r & 1u)));
  }
  return ~r;
}

TEST(Crc32, MatchesTheBitwiseDefinitionAtEveryLengthAndAlignment) {
  std::vector<uint8_t> data(70000);
  uint32_t x = 12345;
  for (auto& b : data) b = uint8_t((x = x * 1103515245u + 12345u) >> 16);
  for (size_t start : {0u, 1u, 3u, 7u}) {
    for (size_t n : {1u, 15u, 16u, 63u, 64u, 1000u, 65536u}) {
      EXPECT_EQ(base::crc32_seeded(&data[start], n, 0x9E3779B9u),
                ReferenceCrc(&data[start], n, 0x9E3779B9u)) << start << " " << n;
    }
  }
}
