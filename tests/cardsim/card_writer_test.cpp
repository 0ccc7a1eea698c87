// A simulated card reads back as the recorder's layout: the qbox stream of each recording
// holds exactly the encoded frames, information sectors carry labels, identity and state,
// the service sector points at the ring, and the same seed gives the same card.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/endian.h"
#include "cardsim/card_writer.h"
#include "cardsim/media_set.h"
#include "cardsim/qbox_writer.h"
#include "support/card_image_reader.h"
#include "support/temp_dir.h"

namespace {

using namespace cardsim;
using testsupport::CardImage;
using testsupport::ParseBoxes;
using testsupport::TempDir;

Scenario SmallScenario() {
  Scenario s;
  s.seed = 11;
  s.width = 352;
  s.height = 288;
  s.quality = 0;
  s.partition_file_bytes = {1u << 20, 1u << 20, 512u << 10};  // 20 blocks
  s.devices = {DeviceSpec{4242, 1, 0x0101, 100}, DeviceSpec{0x00ABCDEF, 2, 0x0102, 9000}};
  RecordingSpec r;
  r.start = CivilTime{2015, 6, 30, 23, 59, 57};
  r.duration_s = 6;
  s.recordings.push_back(r);
  r.start.reset();
  r.pause_s = 30;
  r.duration_s = 4;
  s.recordings.push_back(r);
  r.device = 1;
  r.gap_blocks = 1;
  r.duration_s = 4;
  s.recordings.push_back(r);
  return s;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

MediaParams ParamsOf(const Scenario& s) {
  MediaParams p;
  p.width = s.width;
  p.height = s.height;
  p.video_bit_rate = VideoBitRate(s);
  p.seed = s.seed;
  return p;
}

TEST(CardsimStream, UnpackedBoxesAreExactlyTheFramesThatWentIn) {
  TempDir dir;
  const Scenario s = SmallScenario();
  const CardResult r = WriteCardToFolder(s, dir.path().string());
  ASSERT_TRUE(r.ok) << r.error;
  std::string error;
  auto media = GetMediaSet(ParamsOf(s), error);
  ASSERT_TRUE(media) << error;
  CardImage card(dir.path().string());
  bool saw_long = false, saw_short = false, saw_video_prefix = false, saw_bare_audio = false;
  for (const RecordingResult& rec : r.recordings) {
    bool ok = false;
    const auto boxes = ParseBoxes(card.Stream(rec.first_block, rec.last_block), ok);
    ASSERT_TRUE(ok) << "recording " << rec.index << " has no end box";
    // Audio with its prefix opens the stream, the first key frame follows directly.
    ASSERT_GE(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].stream_type, kStreamAudio);
    EXPECT_EQ(boxes[0].prefix.size(), 16u);
    EXPECT_EQ(boxes[1].stream_type, kStreamVideo);
    EXPECT_TRUE(boxes[1].sample_flags & kSampleKey);
    uint64_t video = 0, audio = 0, keys = 0;
    for (size_t i = 0; i + 1 < boxes.size(); ++i) {
      const auto& b = boxes[i];
      EXPECT_EQ(b.sample_flags & kSampleConfig, 0u) << "configuration box in the stream";
      EXPECT_GE(b.size, 32u);
      (b.long_header ? saw_long : saw_short) = true;
      if (b.stream_type == kStreamVideo) {
        const auto& picture = media->video.pictures[(s.gop * ((rec.index * 3) % 4) + video) %
                                                    media->video.pictures.size()];
        EXPECT_EQ(b.payload, picture.nals) << "picture " << video;
        EXPECT_EQ((b.sample_flags & kSampleKey) != 0, picture.key);
        EXPECT_EQ(boxes[i - 1].stream_type, kStreamAudio) << "a video box follows an audio box";
        saw_video_prefix |= !b.prefix.empty();
        keys += picture.key;
        ++video;
      } else {
        ASSERT_EQ(b.stream_type, kStreamAudio);
        EXPECT_EQ(b.payload, media->audio.frames[audio % media->audio.frames.size()]);
        if (!b.prefix.empty()) {
          EXPECT_EQ(base::load_be32(&b.prefix[0]), 48000u);
          EXPECT_EQ(base::load_be32(&b.prefix[8]), 1u);
        } else {
          saw_bare_audio = true;
        }
        ++audio;
      }
    }
    EXPECT_EQ(boxes.back().size, 24u);
    EXPECT_EQ(boxes.back().stream_type, kStreamVideo);
    EXPECT_EQ(video, rec.stats.video_frames);
    EXPECT_EQ(audio, rec.stats.audio_frames);
    EXPECT_EQ(keys, rec.stats.key_frames);
    EXPECT_EQ(video, uint64_t(s.recordings[size_t(rec.index)].duration_s * 25));
  }
  EXPECT_TRUE(saw_long && saw_short && saw_video_prefix && saw_bare_audio);
}

TEST(CardsimStream, EsDumpMatchesTheReportedSizes) {
  TempDir dir;
  WriteOptions options;
  options.es_dump_dir = dir / "es";
  const CardResult r = WriteCardToFolder(SmallScenario(), dir / "card", options);
  ASSERT_TRUE(r.ok) << r.error;
  for (const auto& rec : r.recordings) {
    char name[32];
    std::snprintf(name, sizeof name, "/rec%02d.264", rec.index);
    EXPECT_EQ(std::filesystem::file_size(options.es_dump_dir + name), rec.stats.h264_bytes);
    std::snprintf(name, sizeof name, "/rec%02d.aac", rec.index);
    EXPECT_EQ(std::filesystem::file_size(options.es_dump_dir + name), rec.stats.aac_bytes);
  }
}

TEST(CardsimInfoSectors, CarryLabelsIdentityStateAndConfiguration) {
  TempDir dir;
  const Scenario s = SmallScenario();
  const CardResult r = WriteCardToFolder(s, dir.path().string());
  ASSERT_TRUE(r.ok) << r.error;
  CardImage card(dir.path().string());
  std::string error;
  std::array<uint8_t, kConfigPairSize> pair{};
  ASSERT_TRUE(BuildConfigPair(*GetMediaSet(ParamsOf(s), error), pair, error));
  uint32_t expected_label[2] = {100, 9000};
  for (const RecordingResult& rec : r.recordings) {
    ASSERT_GE(rec.blocks, 2u);
    uint64_t previous_cycles = 0;
    for (uint32_t i = 0; i < rec.blocks; ++i) {
      const card::ServiceSector info = card.InfoSector((rec.first_block + i) % r.N_s_s);
      ASSERT_TRUE(info.has_magic());
      EXPECT_EQ(info.format_version(), 203u);
      EXPECT_EQ(info.serv_label_number(), expected_label[rec.device]++);
      EXPECT_EQ(info.imei_sn(), s.devices[size_t(rec.device)].imei_sn);
      EXPECT_EQ(info.poweron_uid0(), rec.poweron_uid0);
      EXPECT_EQ(info.startrec_cycles(), rec.startrec_cycles);
      EXPECT_EQ(info.recstate(), (i == 0 ? 1 : 2) | (i + 1 == rec.blocks ? 4 : 0));
      EXPECT_GT(info.cycles(), previous_cycles);
      previous_cycles = info.cycles();
      EXPECT_EQ(info.resolution_w(), 352);
      EXPECT_EQ(info.resolution_h(), 288);
      EXPECT_TRUE(std::equal(pair.begin(), pair.end(), info.stream_config().begin()));
      EXPECT_EQ(info.N_sectors_in_rsr(), r.geometry.N_sectors_in_rsr);
      const std::string gps = info.gps_rmc();
      EXPECT_EQ(gps.substr(0, 1), ",");
      EXPECT_NE(gps.find(",A,"), std::string::npos) << gps;
      EXPECT_GT(info.battery_adc(), 2500u);
    }
    // The last block's clock gives the recorded length.
    const double seconds = double(rec.ess.cycles() - rec.ess.startrec_cycles()) / 196608000.0;
    EXPECT_NEAR(seconds, s.recordings[size_t(rec.index)].duration_s, 0.01);
  }
  // The first recording started just before midnight: its stamp, and its later blocks roll over.
  EXPECT_EQ(r.recordings[0].stamp, "2015-06-30_23-59-57");
  EXPECT_EQ(card::FormatStamp(r.recordings[0].ess).substr(0, 10), "2015-07-01");
  // Recordings of one power-on period share poweron_uid0; other devices differ.
  EXPECT_EQ(r.recordings[0].poweron_uid0, r.recordings[1].poweron_uid0);
  EXPECT_NE(r.recordings[0].startrec_cycles, r.recordings[1].startrec_cycles);
  // The battery falls over time.
  EXPECT_GE(r.recordings[0].bss.battery_adc(), r.recordings[1].ess.battery_adc());
}

TEST(CardsimServiceSector, PointsAtTheRingAndHasBothCopies) {
  TempDir dir;
  Scenario s = SmallScenario();
  s.ring_start_block = 4;
  const CardResult r = WriteCardToFolder(s, dir.path().string());
  ASSERT_TRUE(r.ok) << r.error;
  CardImage card(dir.path().string());
  const card::ServiceSector sec = card.ServiceSector();
  EXPECT_EQ(sec.bytes(), card.ServiceSector("hc01info.hcf").bytes());
  EXPECT_TRUE(sec.has_magic());
  EXPECT_EQ(sec.N_rsf(), 3u);
  EXPECT_EQ(sec.N_sectors_in_standard_rsf(), 2048u);
  EXPECT_EQ(sec.N_sectors_in_the_last_rsf(), 1024u);
  EXPECT_EQ(sec.N_sectors_in_rsr(), 5120u);
  EXPECT_EQ(sec.rsr_sectnum(), s.rsr_sectnum);
  EXPECT_EQ(sec.rec_bgn_sectnum(), s.rsr_sectnum + 256 * 4);
  EXPECT_EQ(sec.rec_end_sectnum(), s.rsr_sectnum + 256 * r.recordings.back().last_block);
  EXPECT_EQ(r.recordings[0].first_block, 5u);
  EXPECT_EQ(r.recordings[2].first_block, r.recordings[1].last_block + 2);  // one-block gap
  // The gap block and the ring start block hold no information sector.
  EXPECT_FALSE(card.InfoSector(r.recordings[1].last_block + 1).has_magic());
  EXPECT_FALSE(card.InfoSector(4).has_magic());
  EXPECT_EQ(std::filesystem::file_size(dir / "hc00info.hcf"), 1024u);
}

TEST(CardsimRing, RecordingsWrapPastTheRegionEnd) {
  TempDir dir;
  Scenario s = SmallScenario();
  s.ring_start_block = 17;  // 20 blocks: the first recording runs over block 19 to block 0
  const CardResult r = WriteCardToFolder(s, dir.path().string());
  ASSERT_TRUE(r.ok) << r.error;
  const RecordingResult& first = r.recordings[0];
  EXPECT_EQ(first.first_block, 18u);
  ASSERT_LT(first.last_block, first.first_block);
  CardImage card(dir.path().string());
  bool ok = false;
  const auto boxes = ParseBoxes(card.Stream(first.first_block, first.last_block), ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(card.InfoSector(0).serv_label_number(), card.InfoSector(19).serv_label_number() + 1);
  EXPECT_EQ(card.ServiceSector().rec_end_sectnum(),
            s.rsr_sectnum + 256 * r.recordings.back().last_block);
}

TEST(CardsimRing, RecordingsThatDoNotFitAreRefused) {
  TempDir dir;
  Scenario s = SmallScenario();
  s.recordings[0].duration_s = 300;
  const CardResult r = WriteCardToFolder(s, dir.path().string());
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("does not fit"), std::string::npos) << r.error;
}

TEST(CardsimDeterminism, SameSeedSameBytesOtherSeedOtherBytes) {
  TempDir dir;
  Scenario s = SmallScenario();
  ASSERT_TRUE(WriteCardToFolder(s, dir / "a").ok);
  ASSERT_TRUE(WriteCardToFolder(s, dir / "b").ok);
  s.seed = 12;
  ASSERT_TRUE(WriteCardToFolder(s, dir / "c").ok);
  for (const char* f : {"hc00info.hcf", "hcpt0000.hcf", "hcpt0001.hcf", "hcpt0002.hcf"}) {
    EXPECT_EQ(ReadAll(dir / ("a/" + std::string(f))), ReadAll(dir / ("b/" + std::string(f)))) << f;
  }
  EXPECT_NE(ReadAll(dir / "a/hcpt0000.hcf"), ReadAll(dir / "c/hcpt0000.hcf"));
}

TEST(CardsimBlocks, BlockCountModeFillsExactlyThoseBlocks) {
  TempDir dir;
  Scenario s = SmallScenario();
  s.recordings.resize(1);
  s.recordings[0].duration_s = 0;
  s.recordings[0].blocks = 3;
  const CardResult r = WriteCardToFolder(s, dir.path().string());
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.recordings[0].blocks, 3u);
  CardImage card(dir.path().string());
  bool ok = false;
  const auto boxes = ParseBoxes(card.Stream(1, 3), ok);
  EXPECT_TRUE(ok);
  // The stream reaches into the last block, and the end box lies there.
  EXPECT_GT(r.recordings[0].stats.stream_bytes, 2u * kStreamBytesPerBlock);
}

TEST(CardsimInfoOnly, WritesInformationSectorsButNoStream) {
  TempDir dir;
  Scenario s = SmallScenario();
  s.info_only = true;
  const CardResult r = WriteCardToFolder(s, dir.path().string());
  ASSERT_TRUE(r.ok) << r.error;
  CardImage card(dir.path().string());
  const RecordingResult& rec = r.recordings[0];
  EXPECT_TRUE(card.InfoSector(rec.first_block).has_magic());
  const base::Sector data = card.RegionSector(rec.first_block * 256);
  EXPECT_TRUE(std::all_of(data.begin(), data.end(), [](uint8_t b) { return b == 0; }));
  // Same timing as a full card.
  const CardResult full = WriteCardToFolder(SmallScenario(), dir / "full");
  EXPECT_EQ(full.recordings[0].blocks, rec.blocks);
  EXPECT_EQ(full.recordings[0].ess.cycles(), rec.ess.cycles());
}

}  // namespace

namespace {

TEST(CardsimRecordingState, OverwrittenStartAndPowerLoss) {
  TempDir dir;
  Scenario s = SmallScenario();
  s.recordings.resize(1);
  s.recordings[0].duration_s = 0;
  s.recordings[0].blocks = 3;
  s.recordings[0].lost_blocks = 2;
  s.recordings[0].finished = false;
  const CardResult r = WriteCardToFolder(s, dir.path().string());
  ASSERT_TRUE(r.ok) << r.error;
  const RecordingResult& rec = r.recordings[0];
  CardImage card(dir.path().string());
  // Two blocks of the recording are gone: labels and clock continue from them, no b bit.
  EXPECT_EQ(card.InfoSector(rec.first_block).recstate(), 2);
  EXPECT_EQ(card.InfoSector(rec.first_block).serv_label_number(), 102u);
  EXPECT_GT(rec.bss.cycles() - rec.bss.startrec_cycles(), 196608000u);
  // Power failed: no e bit, and the stream just stops (no end box).
  EXPECT_EQ(card.InfoSector(rec.last_block).recstate(), 2);
  bool ended = true;
  const auto stream = card.Stream(rec.first_block, rec.last_block);
  // The card's stream starts inside a box; find the first box by its magic, 4-aligned.
  size_t at = 0;
  while (at + 8 <= stream.size() && std::string(stream.begin() + ptrdiff_t(at) + 4,
                                                stream.begin() + ptrdiff_t(at) + 8) != "qbox")
    at += 4;
  const auto boxes = ParseBoxes(std::vector<uint8_t>(stream.begin() + ptrdiff_t(at), stream.end()), ended);
  EXPECT_FALSE(ended);
  EXPECT_GT(boxes.size(), 10u);
}

}  // namespace
