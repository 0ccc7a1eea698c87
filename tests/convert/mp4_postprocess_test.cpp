#include "convert/mp4_postprocess.h"

#include <gtest/gtest.h>

#include <atomic>

#include "base/crc32.h"
#include "base/endian.h"
#include "convert/etdec.h"
#include "convert/integrity_block.h"
#include "convert/integrity_constants.h"
#include "support/mp4_builder.h"
#include "support/temp_dir.h"

namespace convert {
namespace {

using testsupport::BuildMp4;
using testsupport::FindBox;
using testsupport::Mp4Spec;
using testsupport::ReadBytes;
using testsupport::TwoTrackSpec;
using testsupport::WriteBytes;

class RecordingSink : public platform::NoticeSink {
 public:
  void notice(platform::NoticeKind, const std::string& text) override { texts.push_back(text); }
  std::vector<std::string> texts;
};

std::vector<uint8_t> Block(const std::string& path, uint8_t fieldFlag = 0) {
  card::ServiceSector bss, ess;
  bss.set_poweron_uid0(0x12345678);
  ess.set_video_flags(fieldFlag);
  return BuildIntegrityBlock({&bss, &ess, 3, 9, 768, 2559, path});
}

struct RunResult {
  PostProcessOutcome outcome;
  int errorCode;
  std::vector<std::string> notices;
};

RunResult RunPostProcess(const std::string& path, const std::vector<uint8_t>& block) {
  std::atomic<int> errorCode{0};
  RecordingSink sink;
  const auto outcome = PostProcessMp4Outcome(path, block.data(), block.size(), errorCode, sink);
  return {outcome, errorCode.load(), sink.texts};
}

uint32_t Be32At(const std::vector<uint8_t>& f, int64_t box, int offset) {
  return base::load_be32(&f[size_t(box + offset)]);
}

class PostProcess : public ::testing::Test {
 protected:
  std::string path() { return dir / "movie.mp4"; }
  std::vector<uint8_t> processed(const Mp4Spec& desc, uint8_t flag = 0) {
    original = BuildMp4(desc);
    WriteBytes(path(), original);
    const RunResult r = RunPostProcess(path(), Block(path(), flag));
    EXPECT_EQ(r.outcome, PostProcessOutcome::sealed);
    return ReadBytes(path());
  }
  testsupport::TempDir dir;
  std::vector<uint8_t> original;
};

TEST_F(PostProcess, FieldCodedRecordingGetsVideoTimescale50OnlyForFlagValue1) {
  Mp4Spec desc = TwoTrackSpec(50, 94);
  desc.tracks[0].duration = 100;  // 100 fields = 2 s at 50 per second
  desc.tracks[1].duration = 96000;
  desc.movieDuration = 2000;
  for (uint8_t flag : {0, 1, 2, 3}) {
    const auto f = processed(desc, flag);
    const int64_t mdhd = FindBox(f, "mdhd");
    EXPECT_EQ(Be32At(f, mdhd, 20), flag == 1 ? 50u : 25u) << int(flag);
    if (flag == 1) {
      EXPECT_EQ(Be32At(f, FindBox(f, "mdhd", 1), 20), 48000u);  // 2 s each
    }
  }
}

TEST_F(PostProcess, MovieDurationExactlyTwiceATrackIsHalved) {
  Mp4Spec desc = TwoTrackSpec(250, 469);  // 10 s video
  desc.tracks[1].duration = 480000;       // 10 s audio
  desc.movieDuration = 20000;             // 20 s movie
  auto f = processed(desc);
  EXPECT_EQ(Be32At(f, FindBox(f, "mvhd"), 24), 10000u);

  desc.movieDuration = 20001;  // not exactly twice
  f = processed(desc);
  EXPECT_EQ(Be32At(f, FindBox(f, "mvhd"), 24), 20001u);
}

TEST_F(PostProcess, AudioTimescaleFollowsVideoWhenTheyPartByMoreThanHalfASecond) {
  Mp4Spec desc = TwoTrackSpec(750, 100);  // 30 s video, 30 s movie
  desc.tracks[1].duration = 31 * 48000;   // 31 s audio
  auto f = processed(desc);
  EXPECT_EQ(Be32At(f, FindBox(f, "mdhd", 1), 20), 49600u);  // 48000 * 31 / 30

  desc.tracks[1].duration = 30 * 48000;  // video 31 s, audio 30 s: audio clock slowed
  desc.tracks[0].duration = 775;
  f = processed(desc);
  EXPECT_EQ(Be32At(f, FindBox(f, "mdhd", 1), 20), 46451u);  // trunc(48000 / (31 / 30))

  desc = TwoTrackSpec(200, 100);        // 8 s video, 8 s movie
  desc.tracks[1].duration = 8 * 48000 + 24000;  // 8.5 s: (8.5 / 8 - 1) * 8 = 0.5 exactly
  f = processed(desc);
  EXPECT_EQ(Be32At(f, FindBox(f, "mdhd", 1), 20), 48000u);
}

TEST_F(PostProcess, WithoutAnAudioTrackNothingButTheRecordIsAdded) {
  Mp4Spec desc = TwoTrackSpec(30, 0);
  desc.tracks.pop_back();
  const auto f = processed(desc);
  EXPECT_TRUE(std::equal(original.begin(), original.end(), f.begin()));
}

TEST_F(PostProcess, AppendsOnlyASkipBoxWhoseSizeCountsCharacters) {
  const auto f = processed(TwoTrackSpec(40, 70));
  ASSERT_GT(f.size(), original.size() + 8);
  EXPECT_TRUE(std::equal(original.begin(), original.end(), f.begin()));
  const uint8_t* box = f.data() + original.size();
  EXPECT_EQ(base::load_be32(box), f.size() - original.size());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(box + 4), 4), "skip");
  for (size_t i = original.size() + 8; i < f.size(); ++i)
    ASSERT_TRUE((f[i] >= '0' && f[i] <= '9') || (f[i] >= 'a' && f[i] <= 'z'));
}

TEST_F(PostProcess, RecordHoldsTheBlockAndACrcOfEverySample) {
  const Mp4Spec desc = TwoTrackSpec(40, 70);
  const auto f = processed(desc);
  const char* text = reinterpret_cast<const char*>(f.data() + original.size() + 8);
  std::vector<uint8_t> record;
  ASSERT_TRUE(DecodeText(text, reinterpret_cast<const char*>(f.data() + f.size()), record).ok);

  const auto block = Block(path());
  ASSERT_EQ(record.size(), block.size() + 4 + 4 * 40 + 4 + 4 * 70 + 8);
  // The block's times may differ by a second between the two builds; compare the rest.
  const size_t L = path().size();
  EXPECT_TRUE(std::equal(block.begin(), block.begin() + 22 + long(L), record.begin()));
  const uint8_t* p = record.data() + block.size();
  EXPECT_EQ(base::load_le32(p), 40u);
  const int64_t stsz = FindBox(f, "stsz"), stco = FindBox(f, "stco");
  for (uint32_t i = 0; i < 40; ++i) {
    const uint32_t size = Be32At(f, stsz, 20 + 4 * int(i));
    const uint32_t offset = Be32At(f, stco, 16 + 4 * int(i));
    ASSERT_EQ(base::load_le32(p + 4 + 4 * i),
              base::crc32_seeded(&f[offset], size, integrity::kSampleSeed)) << i;
  }
  const uint8_t* audio = p + 4 + 4 * 40;
  EXPECT_EQ(base::load_le32(audio), 70u);
  const uint8_t* tail = audio + 4 + 4 * 70;
  const uint32_t t = base::load_le32(tail);
  EXPECT_EQ(base::load_le32(tail + 4),
            base::crc32_seeded(p, size_t(tail + 4 - p), t ^ integrity::kSampleSeed));
}

TEST_F(PostProcess, SecondRunFindsTheSkipBoxAndChangesNothing) {
  const auto once = processed(TwoTrackSpec(10, 20), 1);
  const RunResult again = RunPostProcess(path(), Block(path(), 1));
  EXPECT_EQ(again.outcome, PostProcessOutcome::alreadySealed);
  EXPECT_EQ(again.errorCode, kAlreadySealed);
  EXPECT_EQ(ReadBytes(path()), once);
  std::atomic<int> code{0};
  platform::NullNoticeSink sink;
  const auto block = Block(path());
  EXPECT_EQ(PostProcessMp4(path(), block.data(), block.size(), code, sink), 0);
}

TEST_F(PostProcess, Co64TablesAndSamplesLargerThanTheReadWindowAreSealed) {
  Mp4Spec desc = TwoTrackSpec(3, 4);
  desc.tracks[0].co64 = desc.tracks[1].co64 = true;
  desc.tracks[0].sampleSizes[1] = (1 << 20) + (1 << 19);  // 1.5 MiB key frame
  const auto f = processed(desc);
  std::vector<uint8_t> record;
  const char* text = reinterpret_cast<const char*>(f.data() + original.size() + 8);
  ASSERT_TRUE(DecodeText(text, reinterpret_cast<const char*>(f.data() + f.size()), record).ok);
  const int64_t stsz = FindBox(f, "stsz"), co64 = FindBox(f, "co64");
  const uint64_t offset = base::load_be64(&f[size_t(co64 + 16 + 8)]);
  const uint32_t size = Be32At(f, stsz, 24);
  const auto block = Block(path());
  EXPECT_EQ(base::load_le32(record.data() + block.size() + 4 + 4),
            base::crc32_seeded(&f[offset], size, integrity::kSampleSeed));
}

TEST_F(PostProcess, TablesBeforeAHandlerOrWithDifferingCountsAreReported) {
  Mp4Spec desc = TwoTrackSpec(10, 12);
  auto bytes = BuildMp4(desc);
  // Turn the video handler into something else: its tables come before any usable "hdlr".
  const int64_t hdlr = FindBox(bytes, "hdlr");
  std::copy_n("text", 4, &bytes[size_t(hdlr + 16)]);
  // And give the audio offsets one chunk fewer than samples (the box keeps its entries).
  const int64_t stco = FindBox(bytes, "stco", 1);
  base::store_be32(&bytes[size_t(stco + 12)], 11);
  WriteBytes(path(), bytes);
  const RunResult r = RunPostProcess(path(), Block(path()));
  EXPECT_EQ(r.outcome, PostProcessOutcome::sealed);
  EXPECT_EQ(r.notices, (std::vector<std::string>{"!!! error: no hdlr before stsz!",
                                                 "!!! error: no hdlr before stco!",
                                                 "!!! error: no stsz before stco!"}));
}

TEST_F(PostProcess, UnopenableFileIsReportedAndNotCreated) {
  WriteBytes(path(), {0});
  const RunResult r = RunPostProcess(dir / "missing.mp4", Block(path()));
  EXPECT_EQ(r.outcome, PostProcessOutcome::cannotOpen);
  EXPECT_EQ(r.errorCode, 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "missing.mp4"));
}

TEST_F(PostProcess, RecordTooLargeForItsBufferLeavesTheFileUnchanged) {
  const auto bytes = BuildMp4(TwoTrackSpec(5, 5));
  WriteBytes(path(), bytes);
  std::vector<uint8_t> block = Block(path());
  block.resize(integrity::kRecordBufferBytes - 40);
  const RunResult r = RunPostProcess(path(), block);
  EXPECT_EQ(r.outcome, PostProcessOutcome::tooManySamples);
  EXPECT_EQ(ReadBytes(path()), bytes);
  EXPECT_EQ(r.notices.size(), 1u);
}

}  // namespace
}  // namespace convert
