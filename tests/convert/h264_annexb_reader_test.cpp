// NAL unit splitting of Annex B files and access unit grouping.
#include "convert/h264_annexb_reader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "convert/h264_access_units.h"
#include "support/temp_dir.h"

namespace convert {
namespace {

using Bytes = std::vector<uint8_t>;

// Splits `stream` with a reader whose buffer starts at `chunk` bytes.
std::vector<Bytes> Split(const Bytes& stream, size_t chunk, AnnexBReader::Result* last = nullptr,
                         size_t max_unit = size_t(1) << 20) {
  testsupport::TempDir dir;
  const std::string path = dir / "s.264";
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(stream.data()),
                                              std::streamsize(stream.size()));
  InputFile file;
  EXPECT_TRUE(file.Open(path.c_str()));
  AnnexBReader reader(file, chunk, max_unit);
  std::vector<Bytes> units;
  std::span<const uint8_t> unit;
  AnnexBReader::Result result;
  while ((result = reader.Next(&unit)) == AnnexBReader::Result::kUnit) {
    units.emplace_back(unit.begin(), unit.end());
  }
  if (last) *last = result;
  return units;
}

TEST(AnnexBReader, SplitsOnThreeAndFourByteStartCodes) {
  const Bytes stream = {0x99, 0x98,                  // junk before the first start code
                        0, 0, 0, 1, 0x67, 1, 2,      // 4-byte start code
                        0, 0, 1, 0x68, 3,            // 3-byte start code
                        0, 0, 0, 0, 1, 0x65, 0, 0, 4, 0, 0,  // extra zeros; 00 00 04 inside
                        0, 0, 1,                     // empty unit
                        0, 0, 1, 0x41, 5, 0, 0};     // trailing zeros at the end
  const std::vector<Bytes> expected = {
      {0x67, 1, 2}, {0x68, 3}, {0x65, 0, 0, 4}, {0x41, 5}};
  for (size_t chunk : {64, 4096}) EXPECT_EQ(Split(stream, chunk), expected) << chunk;
}

TEST(AnnexBReader, UnitsLongerThanTheBufferGrowItUpToTheLimit) {
  Bytes stream = {0, 0, 0, 1};
  for (int i = 0; i < 1000; ++i) stream.push_back(uint8_t(0x10 + i % 200));
  stream.insert(stream.end(), {0, 0, 0, 1, 0x41, 7});
  // Start codes also straddle every buffer boundary as the chunk size varies.
  for (size_t chunk : {64, 65, 66, 67, 100}) {
    const auto units = Split(stream, chunk);
    ASSERT_EQ(units.size(), 2u) << chunk;
    EXPECT_EQ(units[0].size(), 1000u);
    EXPECT_EQ(units[1], (Bytes{0x41, 7}));
  }
  AnnexBReader::Result last;
  Split(stream, 64, &last, 512);
  EXPECT_EQ(last, AnnexBReader::Result::kUnitTooLarge);
}

TEST(AnnexBReader, FilesWithoutStartCodesHaveNoUnits) {
  AnnexBReader::Result last;
  EXPECT_TRUE(Split({}, 64, &last).empty());
  EXPECT_EQ(last, AnnexBReader::Result::kEnd);
  EXPECT_TRUE(Split(Bytes(1000, 0x55), 64, &last).empty());
  EXPECT_EQ(last, AnnexBReader::Result::kEnd);
}

// Feeds units given as (type, first_mb_in_slice == 0) and returns the size of each closed
// access unit in units, plus the count still open.
std::vector<int> Group(const std::vector<std::pair<int, bool>>& units) {
  AccessUnitSplitter splitter;
  std::vector<int> sizes{0};
  for (auto [type, first] : units) {
    const Bytes nal = {uint8_t(type), uint8_t(first ? 0x80 : 0x40)};
    if (splitter.Feed(nal)) sizes.push_back(0);
    ++sizes.back();
  }
  return sizes;
}

TEST(AccessUnitSplitter, NewPictureAtDelimiterParameterSetsSeiOrFirstSlice) {
  // SPS PPS SEI IDR(0) IDR(n) | P(0) P(n) | AUD P(0) | SEI P(0) | P(0) SPS(trailing)
  EXPECT_EQ(Group({{7, 0}, {8, 0}, {6, 0}, {5, 1}, {5, 0},
                   {1, 1}, {1, 0},
                   {9, 0}, {1, 1},
                   {6, 0}, {1, 1},
                   {1, 1}, {7, 0}}),
            (std::vector<int>{5, 2, 2, 2, 1, 1}));
  // End-of-sequence and filler units stay with the picture before them.
  EXPECT_EQ(Group({{5, 1}, {12, 0}, {10, 0}, {1, 1}}), (std::vector<int>{3, 1}));
}

}  // namespace
}  // namespace convert
