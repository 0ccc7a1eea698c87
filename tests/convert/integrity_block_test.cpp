#include "convert/integrity_block.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <ctime>

#include "base/crc32.h"
#include "base/endian.h"
#include "convert/integrity_constants.h"
#include "convert/local_seconds.h"
#include "support/mp4_builder.h"
#include "support/temp_dir.h"

namespace convert {
namespace {

std::time_t LocalTime(int y, int mo, int d, int h, int mi, int s) {
  std::tm t{};
  t.tm_year = y - 1900, t.tm_mon = mo - 1, t.tm_mday = d;
  t.tm_hour = h, t.tm_min = mi, t.tm_sec = s, t.tm_isdst = -1;
  return std::mktime(&t);
}

TEST(LocalSeconds, CountsLocalDateTimeDifferenceFrom2000) {
  EXPECT_EQ(LocalSecondsSince2000(LocalTime(2000, 1, 1, 0, 0, 0), 0), 0);
  EXPECT_EQ(LocalSecondsSince2000(LocalTime(2000, 1, 2, 0, 0, 10), 999999999), 86410);
  // 2024 is a leap year: 8766 days from 2000-01-01 to 2024-01-01, then Feb 29 counts.
  EXPECT_EQ(LocalSecondsSince2000(LocalTime(2024, 3, 1, 12, 0, 0), 0),
            int64_t(8766 + 31 + 29) * 86400 + 12 * 3600);
  // Before 2000 the value is negative and truncated toward zero.
  EXPECT_EQ(LocalSecondsSince2000(LocalTime(1999, 12, 31, 23, 59, 58), 500000000), -1);
}

TEST(IntegrityBlock, FieldsFollowTheLayoutWithTheirCrcs) {
  testsupport::TempDir dir;
  const std::string path = dir / "2024-05-06_07-08-09.mp4";
  testsupport::WriteBytes(path, {1, 2, 3});
  const std::time_t mtime = LocalTime(2020, 6, 15, 10, 20, 30);
  const utimbuf times{mtime, mtime};
  ASSERT_EQ(utime(path.c_str(), &times), 0);

  card::ServiceSector bss, ess;
  for (int i = 0; i < 512; ++i) bss.data()[i] = uint8_t(i), ess.data()[i] = uint8_t(255 - i);
  bss.set_poweron_uid0(0xCAFEBABE);
  const uint32_t before = CurrentLocalSecondsSince2000();
  const auto b = BuildIntegrityBlock({&bss, &ess, 0x12345, 0x7, 1024, 99999, path});
  const size_t L = path.size();
  ASSERT_EQ(b.size(), integrity::kBlockFixedBytes + L);

  EXPECT_EQ(base::load_le32(&b[0]), 0xCAFEBABEu);
  EXPECT_EQ(base::load_le32(&b[4]), 1024u);
  EXPECT_EQ(base::load_le32(&b[8]), 99999u);
  EXPECT_EQ(base::load_le16(&b[12]), 0x2345u);  // low 16 bits of the block number
  EXPECT_EQ(base::load_le16(&b[14]), 7u);
  EXPECT_EQ(base::load_le16(&b[16]), L);
  EXPECT_EQ(std::string(b.begin() + 18, b.begin() + 18 + long(L)), path);
  const uint8_t* q = b.data() + L;  // fields after the path, at their table offsets
  EXPECT_EQ(base::load_le32(q + 18), base::crc32_seeded(&b[18], L, integrity::kPathSeed));
  EXPECT_EQ(base::load_le32(q + 22), uint32_t(LocalSecondsSince2000(mtime, 0)));
  EXPECT_GE(base::load_le32(q + 26), before);
  EXPECT_LE(base::load_le32(q + 26), before + 2);
  EXPECT_TRUE(std::equal(q + 30, q + 158, ess.data()));
  EXPECT_EQ(base::load_le32(q + 158), base::crc32_seeded(ess.data(), 128, integrity::kSectorSeed));
  EXPECT_TRUE(std::equal(q + 162, q + 418, ess.data() + 256));
  EXPECT_EQ(base::load_le32(q + 418), base::crc32_seeded(ess.data() + 256, 256, integrity::kSectorSeed));
  EXPECT_TRUE(std::equal(q + 422, q + 458, bss.data() + 12));
  EXPECT_EQ(base::load_le32(q + 458), base::crc32_seeded(bss.data() + 12, 36, integrity::kSectorSeed));
  EXPECT_TRUE(std::equal(q + 462, q + 526, bss.data() + 272));
  EXPECT_EQ(base::load_le32(q + 526), base::crc32_seeded(bss.data() + 272, 64, integrity::kSectorSeed));
  for (int i = 0; i < 12; ++i)
    EXPECT_EQ(base::load_le32(q + 530 + 4 * i), integrity::kConstants[size_t(i % 8)]);
  EXPECT_EQ(base::load_le32(q + 578),
            base::crc32_seeded(b.data(), 578 + L, 0xCAFEBABEu ^ integrity::kConstants[2]));
}

TEST(IntegrityBlock, MissingFileGivesUpOnItsTimeInsteadOfHanging) {
  card::ServiceSector s;
  const auto b = BuildIntegrityBlock({&s, &s, 0, 0, 0, 0, "/nonexistent/x.mp4"});
  EXPECT_EQ(base::load_le32(&b[18 + 18 + 4]), 0u);
}

}  // namespace
}  // namespace convert
