// ADTS header parsing, AudioSpecificConfig, and the frame reader on damaged streams.
#include "convert/adts_parser.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace convert {
namespace {

using Bytes = std::vector<uint8_t>;

// The header the conversion worker writes: AAC LC, sampling index, channels, no CRC.
Bytes Header(uint32_t frame_length, uint8_t index = 3, uint8_t channels = 1) {
  return {0xFF,                                                       // syncword
          0xF1,                                                       // MPEG-4, layer 0, no CRC
          uint8_t(0x40 | (index << 2) | (channels >> 2)),             // LC, rate, channels
          uint8_t((channels << 6) | (frame_length >> 11)),
          uint8_t(frame_length >> 3),
          uint8_t((frame_length << 5) | 0x1F),
          0xFC};                                                      // one raw data block
}

TEST(AdtsParser, ReadsTheWorkersHeaderAndBuildsTheConfig) {
  const auto header = ParseAdtsHeader(Header(207));
  ASSERT_TRUE(header);
  EXPECT_EQ(header->object_type, 2);  // AAC LC
  EXPECT_EQ(header->sampling_index, 3);
  EXPECT_EQ(AdtsSampleRate(header->sampling_index), 48000u);
  EXPECT_EQ(header->channel_config, 1);
  EXPECT_EQ(header->frame_length, 207u);
  EXPECT_EQ(header->header_length, 7u);
  // 00010 0011 0001 000: LC, 48 kHz, mono, GASpecificConfig zeros.
  EXPECT_EQ(AudioSpecificConfig(*header), (std::array<uint8_t, 2>{0x11, 0x88}));
  EXPECT_EQ(AudioSpecificConfig(*ParseAdtsHeader(Header(50, 4, 2))),
            (std::array<uint8_t, 2>{0x12, 0x10}));  // 44.1 kHz stereo
}

TEST(AdtsParser, ChannelConfigurationZeroIsReadFromTheRawData) {
  const auto header = ParseAdtsHeader(Header(100, 3, 0));
  ASSERT_TRUE(header);
  EXPECT_EQ(header->channel_config, 0);
  EXPECT_EQ(ChannelsFromRawBlock(Bytes{0x00, 0x12}), 1);  // single channel element
  EXPECT_EQ(ChannelsFromRawBlock(Bytes{0x20, 0x12}), 2);  // channel pair element
  // A fill element (id 6, count 2, two bytes) and a data stream element (id 4, tag 0,
  // aligned, count 1, one byte) come before the channel pair.
  EXPECT_EQ(ChannelsFromRawBlock(Bytes{0xC5, 0xFF, 0xFF, 0x02, 0x02, 0xAA, 0x20}), 2);
  EXPECT_EQ(ChannelsFromRawBlock(Bytes{0xC5, 0xFF}), 0);  // cut short inside the fill
  EXPECT_EQ(ChannelsFromRawBlock(Bytes{0xA0}), 0);        // program config element
  EXPECT_EQ(ChannelsFromRawBlock(Bytes{}), 0);
}

TEST(AdtsParser, CrcHeaderIsNineBytes) {
  Bytes h = Header(100);
  h[1] = 0xF0;  // protection_absent 0
  const auto header = ParseAdtsHeader(h);
  ASSERT_TRUE(header);
  EXPECT_EQ(header->header_length, 9u);
}

TEST(AdtsParser, RejectsWhatItCannotCarry) {
  Bytes h = Header(100);
  EXPECT_FALSE(ParseAdtsHeader(std::span(h).first(6))) << "short";
  h[1] = 0xE1;
  EXPECT_FALSE(ParseAdtsHeader(h)) << "no sync";
  EXPECT_FALSE(ParseAdtsHeader(Header(100, 13))) << "reserved sampling index";
  EXPECT_FALSE(ParseAdtsHeader(Header(7))) << "no payload";
  h = Header(100);
  h[6] = 0xFD;
  EXPECT_FALSE(ParseAdtsHeader(h)) << "two raw data blocks";
}

std::vector<size_t> ReadFrames(const Bytes& stream, AdtsReader::Result* last) {
  testsupport::TempDir dir;
  const std::string path = dir / "a.aac";
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(stream.data()),
                                              std::streamsize(stream.size()));
  InputFile file;
  EXPECT_TRUE(file.Open(path.c_str()));
  AdtsReader reader(file);
  std::vector<size_t> sizes;
  AdtsHeader header;
  std::span<const uint8_t> payload;
  while ((*last = reader.Next(&header, &payload)) == AdtsReader::Result::kFrame) {
    sizes.push_back(payload.size());
  }
  return sizes;
}

TEST(AdtsReader, YieldsPayloadsAndStopsAtDamage) {
  Bytes stream;
  for (uint32_t length : {20u, 300u, 8u}) {
    const Bytes h = Header(length);
    stream.insert(stream.end(), h.begin(), h.end());
    stream.insert(stream.end(), length - 7, 0xAB);
  }
  AdtsReader::Result last;
  EXPECT_EQ(ReadFrames(stream, &last), (std::vector<size_t>{13, 293, 1}));
  EXPECT_EQ(last, AdtsReader::Result::kEnd);

  Bytes cut(stream.begin(), stream.end() - 1);
  EXPECT_EQ(ReadFrames(cut, &last).size(), 2u);
  EXPECT_EQ(last, AdtsReader::Result::kBadFrame);

  Bytes lost = stream;
  lost[20] = 0;  // second frame's sync word
  EXPECT_EQ(ReadFrames(lost, &last).size(), 1u);
  EXPECT_EQ(last, AdtsReader::Result::kBadFrame);
}

}  // namespace
}  // namespace convert
