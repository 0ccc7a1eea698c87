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
