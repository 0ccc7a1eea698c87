// Damaged and hostile box trees: the post-processor must neither crash nor read out of bounds,
// and must leave every such file byte for byte as it was.
#include <gtest/gtest.h>

#include <atomic>
#include <random>

#include "base/endian.h"
#include "convert/integrity_block.h"
#include "convert/mp4_postprocess.h"
#include "support/mp4_builder.h"
#include "support/temp_dir.h"

namespace convert {
namespace {

using testsupport::BuildMp4;
using testsupport::FindBox;
using testsupport::MakeBox;
using testsupport::ReadBytes;
using testsupport::TwoTrackSpec;
using testsupport::WriteBytes;

class HostileMp4 : public ::testing::Test {
 protected:
  void SetUp() override { good = BuildMp4(TwoTrackSpec(20, 30)); }

  PostProcessOutcome processDamaged(const std::vector<uint8_t>& bytes) {
    const std::string path = dir / "bad.mp4";
    WriteBytes(path, bytes);
    card::ServiceSector bss, ess;
    const auto block = BuildIntegrityBlock({&bss, &ess, 0, 0, 0, 0, path});
    std::atomic<int> code{0};
    platform::NullNoticeSink sink;
    const auto outcome = PostProcessMp4Outcome(path, block.data(), block.size(), code, sink);
    if (outcome != PostProcessOutcome::sealed) {
      EXPECT_EQ(ReadBytes(path), bytes);
    }
    return outcome;
  }
  void expectRefused(const std::vector<uint8_t>& bytes) {
    EXPECT_EQ(processDamaged(bytes), PostProcessOutcome::malformed);
  }

  testsupport::TempDir dir;
  std::vector<uint8_t> good;
};

TEST_F(HostileMp4, TruncatedFilesAreRefused) {
  const int64_t stsz = FindBox(good, "stsz");
  for (size_t cut : {size_t(stsz + 30), good.size() - 1, size_t(FindBox(good, "moov") + 12)}) {
    std::vector<uint8_t> bytes(good.begin(), good.begin() + long(cut));
    expectRefused(bytes);
  }
}

TEST_F(HostileMp4, TableCountsLargerThanTheirBoxesAreRefused) {
  for (const char* type : {"stsz", "stco"}) {
    auto bytes = good;
    const int64_t box = FindBox(bytes, type);
    const int countAt = std::string(type) == "stsz" ? 16 : 12;
    base::store_be32(&bytes[size_t(box + countAt)], 0x40000000);
    expectRefused(bytes);
  }
}

TEST_F(HostileMp4, BoxSizesOutsideTheirContainerAreRefused) {
  auto bytes = good;
  base::store_be32(&bytes[size_t(FindBox(bytes, "mdhd"))], 0xFFFFFFF0);
  expectRefused(bytes);

  bytes = good;
  base::store_be32(&bytes[size_t(FindBox(bytes, "hdlr"))], 4);  // smaller than its header
  expectRefused(bytes);

  // A 64-bit size with the top bit set (negative as a signed value).
  std::vector<uint8_t> huge = MakeBox("free", std::vector<uint8_t>(16, 0));
  base::store_be32(huge.data(), 1);
  base::store_be64(huge.data() + 8, 0x8000000000000010ull);
  bytes = good;
  bytes.insert(bytes.begin() + long(FindBox(bytes, "moov")), huge.begin(), huge.end());
  expectRefused(bytes);
}

// A record appended after these could not be found again (and a second run would append
// another), so they are left alone.
TEST_F(HostileMp4, FilesNotEndingWithACompleteBoxAreRefused) {
  auto bytes = good;
  base::store_be32(&bytes[size_t(FindBox(bytes, "mdat"))], 0);  // mdat "to the end of file"
  expectRefused(bytes);
  bytes = good;
  bytes.insert(bytes.end(), {1, 2, 3});
  expectRefused(bytes);
}

TEST_F(HostileMp4, NestingDeeperThanTheStackIsRefused) {
  std::vector<uint8_t> nested = MakeBox("free", {});
  for (int i = 0; i < 40; ++i) nested = MakeBox(i % 2 ? "trak" : "moov", nested);
  expectRefused(nested);
  // Sixteen levels are still walked.
  nested = MakeBox("free", {});
  for (int i = 0; i < 16; ++i) nested = MakeBox("udta", nested);
  EXPECT_EQ(processDamaged(nested), PostProcessOutcome::sealed);
}

TEST_F(HostileMp4, RandomDamageNeverCrashesAndRefusalsKeepTheFile) {
  std::mt19937 gen(2024);
  const size_t moovEnd = size_t(FindBox(good, "mdat"));
  for (int round = 0; round < 150; ++round) {
    auto bytes = good;
    const int flips = 1 + int(gen() % 4);
    for (int i = 0; i < flips; ++i) bytes[gen() % moovEnd] ^= uint8_t(1u << (gen() % 8));
    processDamaged(bytes);
  }
}

}  // namespace
}  // namespace convert
