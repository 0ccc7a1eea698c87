// End-to-end tests of the muxer: real H.264/AAC elementary streams made by the ffmpeg CLI,
// muxed by `process`, then read back box by box and by ffprobe/ffmpeg.
#include "convert/mp4_muxer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/endian.h"
#include "card/servsectclass.h"
#include "convert/integrity_block.h"
#include "convert/mp4_postprocess.h"
#include "convert/mp4_verify.h"
#include "support/temp_dir.h"

namespace convert {
namespace {

using testsupport::HaveProgram;
using testsupport::RunCommand;
using testsupport::TempDir;

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              std::streamsize(bytes.size()));
}

struct Box {
  std::string type;
  size_t offset = 0;  // of the header
  size_t size = 0;
};

// Boxes directly inside [begin, end) of `file`.
std::vector<Box> Children(const std::vector<uint8_t>& file, size_t begin, size_t end) {
  std::vector<Box> boxes;
  while (begin + 8 <= end) {
    Box box{std::string(file.begin() + begin + 4, file.begin() + begin + 8), begin,
            base::load_be32(&file[begin])};
    if (box.size < 8 || begin + box.size > end) break;
    boxes.push_back(box);
    begin += box.size;
  }
  return boxes;
}

// Follows a path like "moov/trak#1/mdia/mdhd" (#n picks the n-th box of that type).
std::optional<Box> Find(const std::vector<uint8_t>& file, const std::string& path) {
  size_t begin = 0;
  size_t end = file.size();
  std::optional<Box> found;
  size_t start = 0;
  while (start <= path.size()) {
    size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    std::string part = path.substr(start, slash - start);
    int index = 0;
    if (auto hash = part.find('#'); hash != std::string::npos) {
      index = std::stoi(part.substr(hash + 1));
      part.resize(hash);
    }
    found.reset();
    for (const Box& box : Children(file, begin, end)) {
      if (box.type == part && index-- == 0) {
        found = box;
        break;
      }
    }
    if (!found) return std::nullopt;
    // Sample entries hold their children behind fixed fields.
    const size_t skip = part == "stsd" ? 16 : part == "avc1" ? 86 : part == "mp4a" ? 36 : 8;
    begin = found->offset + skip;
    end = found->offset + found->size;
    start = slash + 1;
  }
  return found;
}

uint32_t Be32At(const std::vector<uint8_t>& file, const Box& box, size_t at) {
  return base::load_be32(&file[box.offset + at]);
}

class Mp4MuxerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!HaveProgram("ffmpeg") || !HaveProgram("ffprobe")) return;
    inputs_ = std::make_unique<TempDir>();
    const std::string v = *inputs_ / "v.264";
    const std::string a = *inputs_ / "a.aac";
    RunCommand("ffmpeg -y -v error -f lavfi -i testsrc=size=352x288:rate=25 -t 2 -c:v libx264 "
               "-bf 0 -g 12 -f h264 " + v);
    RunCommand("ffmpeg -y -v error -f lavfi -i sine=r=48000 -t 2 -c:a aac -f adts " + a);
  }
  static void TearDownTestSuite() { inputs_.reset(); }

  void SetUp() override {
    if (!inputs_) GTEST_SKIP() << "ffmpeg/ffprobe not installed";
  }

  static std::string Video() { return *inputs_ / "v.264"; }
  static std::string Audio() { return *inputs_ / "a.aac"; }

  // ffprobe's value of `key` for stream `stream` of `file`.
  static std::string Probe(const std::string& file, int stream, const std::string& key) {
    const auto r = RunCommand("ffprobe -v error -count_frames -select_streams " +
                              std::to_string(stream) + " -show_entries stream=" + key +
                              " -of default=nw=1:nk=1 " + file);
    std::string out = r.output;
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
  }

  static std::string DecodeMessages(const std::string& file) {
    const auto r = RunCommand("ffmpeg -v error -i " + file + " -f null -");
    return r.status == 0 ? r.output : "exit " + std::to_string(r.status) + ": " + r.output;
  }

  static std::unique_ptr<TempDir> inputs_;
  TempDir dir_;
};

std::unique_ptr<TempDir> Mp4MuxerTest::inputs_;

TEST_F(Mp4MuxerTest, FfprobeSeesBothTracksWithTheirFormats) {
  const std::string out = dir_ / "out.mp4";
  ASSERT_EQ(process(Video().c_str(), Audio().c_str(), out.c_str()), kMuxOk);
  EXPECT_EQ(Probe(out, 0, "codec_name"), "h264");
  EXPECT_EQ(Probe(out, 0, "width"), "352");
  EXPECT_EQ(Probe(out, 0, "height"), "288");
  EXPECT_EQ(Probe(out, 0, "nb_read_frames"), "50");
  EXPECT_EQ(Probe(out, 0, "time_base"), "1/25");
  EXPECT_EQ(Probe(out, 1, "codec_name"), "aac");
  EXPECT_EQ(Probe(out, 1, "sample_rate"), "48000");
  EXPECT_EQ(Probe(out, 1, "nb_read_frames"), Probe(Audio(), 0, "nb_read_frames"));
  EXPECT_EQ(DecodeMessages(out), "");
}

TEST_F(Mp4MuxerTest, LayoutIsFtypMoovMdatWithOneSamplePerChunk) {
  const std::string out = dir_ / "out.mp4";
  ASSERT_EQ(process(Video().c_str(), Audio().c_str(), out.c_str()), kMuxOk);
  const auto file = ReadAll(out);
  std::vector<std::string> top;
  for (const Box& box : Children(file, 0, file.size())) top.push_back(box.type);
  EXPECT_EQ(top, (std::vector<std::string>{"ftyp", "moov", "mdat"}));  // no skip, no free
  const Box mdat = *Find(file, "mdat");
  EXPECT_EQ(mdat.offset + mdat.size, file.size());

  for (int track = 0; track < 2; ++track) {
    const std::string stbl = "moov/trak#" + std::to_string(track) + "/mdia/minf/stbl/";
    const Box stsc = *Find(file, stbl + "stsc");
    ASSERT_EQ(Be32At(file, stsc, 12), 1u);  // one entry: (first chunk 1, 1 sample, entry 1)
    EXPECT_EQ(Be32At(file, stsc, 16), 1u);
    EXPECT_EQ(Be32At(file, stsc, 20), 1u);
    EXPECT_EQ(Be32At(file, stsc, 24), 1u);
    const Box stsz = *Find(file, stbl + "stsz");
    const Box stco = *Find(file, stbl + "stco");
    const uint32_t count = Be32At(file, stsz, 16);
    EXPECT_EQ(Be32At(file, stsz, 12), 0u);  // sizes come as a table
    ASSERT_EQ(Be32At(file, stco, 12), count);
    for (uint32_t i = 0; i < count; ++i) {
      const uint64_t offset = Be32At(file, stco, 16 + 4 * i);
      EXPECT_GE(offset, mdat.offset + 8);
      EXPECT_LE(offset + Be32At(file, stsz, 20 + 4 * i), file.size());
    }
  }
  const Box stss = *Find(file, "moov/trak#0/mdia/minf/stbl/stss");
  ASSERT_EQ(Be32At(file, stss, 12), 5u);  // a key frame every 12 of 50 pictures
  for (uint32_t i = 0; i < 5; ++i) EXPECT_EQ(Be32At(file, stss, 16 + 4 * i), 1 + 12 * i);
  const Box mdhd = *Find(file, "moov/trak#0/mdia/mdhd");
  EXPECT_EQ(Be32At(file, mdhd, 20), 25u);  // timescale: 25 pictures per second
  EXPECT_EQ(Be32At(file, mdhd, 24), 50u);  // duration: one tick per picture
  const Box audio_mdhd = *Find(file, "moov/trak#1/mdia/mdhd");
  EXPECT_EQ(Be32At(file, audio_mdhd, 20), 48000u);
  EXPECT_TRUE(Find(file, "moov/trak#0/mdia/minf/stbl/stsd/avc1/avcC"));
  EXPECT_TRUE(Find(file, "moov/trak#1/mdia/minf/stbl/stsd/mp4a/esds"));
}

TEST_F(Mp4MuxerTest, FtypAndMvhdFixedFieldsAreExact) {
  const std::string out = dir_ / "out.mp4";
  ASSERT_EQ(process(Video().c_str(), Audio().c_str(), out.c_str()), kMuxOk);
  const auto file = ReadAll(out);
  const std::vector<uint8_t> ftyp = {
      0, 0, 0, 32, 'f', 't', 'y', 'p',  // size 32, type
      'i', 's', 'o', 'm',               // major brand
      0, 0, 2, 0,                       // minor version 0x200
      'i', 's', 'o', 'm', 'i', 's', 'o', '2', 'a', 'v', 'c', '1', 'm', 'p', '4', '1'};
  ASSERT_GE(file.size(), 32u);
  EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + 32), ftyp);

  const Box mvhd = *Find(file, "moov/mvhd");
  ASSERT_EQ(mvhd.size, 108u);
  const uint8_t* p = &file[mvhd.offset];
  EXPECT_EQ(base::load_be32(p + 8), 0u);          // version 0, flags 0
  EXPECT_EQ(base::load_be32(p + 12), 0u);         // creation time
  EXPECT_EQ(base::load_be32(p + 16), 0u);         // modification time
  EXPECT_EQ(base::load_be32(p + 20), 1000u);      // movie timescale
  EXPECT_EQ(base::load_be32(p + 24), 2027u);      // duration: the longer track (audio, 2.0267 s)
  EXPECT_EQ(base::load_be32(p + 28), 0x10000u);   // rate 1.0
  EXPECT_EQ(base::load_be16(p + 32), 0x100u);     // volume 1.0
  const uint32_t matrix[9] = {0x10000, 0, 0, 0, 0x10000, 0, 0, 0, 0x40000000};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(base::load_be32(p + 44 + 4 * i), matrix[i]);
  EXPECT_EQ(base::load_be32(p + 104), 3u);        // next track id
}

TEST_F(Mp4MuxerTest, ForcedCo64StillDecodes) {
  const std::string out = dir_ / "out.mp4";
  MuxOptions options;
  options.co64_threshold = 0;
  ASSERT_EQ(MuxFiles(Video().c_str(), Audio().c_str(), out.c_str(), options), kMuxOk);
  const auto file = ReadAll(out);
  EXPECT_FALSE(Find(file, "moov/trak#0/mdia/minf/stbl/stco"));
  EXPECT_TRUE(Find(file, "moov/trak#0/mdia/minf/stbl/co64"));
  EXPECT_TRUE(Find(file, "moov/trak#1/mdia/minf/stbl/co64"));
  EXPECT_EQ(Probe(out, 0, "nb_read_frames"), "50");
  EXPECT_EQ(DecodeMessages(out), "");
}

}  // namespace
}  // namespace convert

namespace convert {
namespace {

TEST_F(Mp4MuxerTest, MissingInputsAreReportedAndNoOutputIsLeft) {
  const std::string out = dir_ / "out.mp4";
  const std::string missing = dir_ / "missing";
  EXPECT_EQ(process(missing.c_str(), Audio().c_str(), out.c_str()), kMuxCannotOpenVideo);
  EXPECT_EQ(process(Video().c_str(), missing.c_str(), out.c_str()), kMuxCannotOpenAudio);
  EXPECT_EQ(process(Video().c_str(), Audio().c_str(), nullptr), kMuxPathRefused);
  EXPECT_EQ(process(Video().c_str(), Audio().c_str(), ""), kMuxPathRefused);
  EXPECT_EQ(process(Video().c_str(), Audio().c_str(), dir_.path().c_str()), kMuxPathRefused);
  EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_F(Mp4MuxerTest, OutputNamingAnInputIsRefusedAndTheInputKept) {
  const std::string video = dir_ / "v.264";
  std::filesystem::copy_file(Video(), video);
  EXPECT_EQ(process(video.c_str(), Audio().c_str(), video.c_str()), kMuxPathRefused);
  EXPECT_EQ(ReadAll(video), ReadAll(Video()));
}

TEST_F(Mp4MuxerTest, EmptyOrGarbageVideoFailsWithoutTouchingAnExistingOutput) {
  const std::string out = dir_ / "out.mp4";
  WriteAll(out, {'o', 'l', 'd'});
  const std::string empty = dir_ / "empty.264";
  WriteAll(empty, {});
  EXPECT_EQ(process(empty.c_str(), Audio().c_str(), out.c_str()), kMuxNoVideoSamples);

  std::mt19937 random(7);
  std::vector<uint8_t> garbage(1 << 20);
  for (auto& byte : garbage) byte = uint8_t(random());
  // A few start codes so that the garbage splits into units of every type.
  for (size_t at = 1000; at + 4 < garbage.size(); at += 20011) {
    garbage[at] = garbage[at + 1] = garbage[at + 2] = 0;
    garbage[at + 3] = 1;
  }
  const std::string noise = dir_ / "noise.264";
  WriteAll(noise, garbage);
  const int result = process(noise.c_str(), Audio().c_str(), out.c_str());
  EXPECT_TRUE(result == kMuxNoParameterSets || result == kMuxNoVideoSamples) << result;
  EXPECT_EQ(ReadAll(out), (std::vector<uint8_t>{'o', 'l', 'd'}));
}

TEST_F(Mp4MuxerTest, DamagedAdtsIsAnErrorAndLeavesNoFile) {
  auto audio = ReadAll(Audio());
  ASSERT_GT(audio.size(), 4000u);
  const uint32_t first = ((audio[3] & 3u) << 11) | (audio[4] << 3) | (audio[5] >> 5);
  audio[first] = 0x12;  // the second frame loses its sync word
  const std::string damaged = dir_ / "damaged.aac";
  WriteAll(damaged, audio);
  const std::string out = dir_ / "out.mp4";
  EXPECT_EQ(process(Video().c_str(), damaged.c_str(), out.c_str()), kMuxBadAdts);
  audio = ReadAll(Audio());
  audio.resize(audio.size() - 3);  // the last frame is cut short
  WriteAll(damaged, audio);
  EXPECT_EQ(process(Video().c_str(), damaged.c_str(), out.c_str()), kMuxBadAdts);
  EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_F(Mp4MuxerTest, EmptyAudioGivesAVideoOnlyFile) {
  const std::string empty = dir_ / "empty.aac";
  WriteAll(empty, {});
  const std::string out = dir_ / "out.mp4";
  ASSERT_EQ(process(Video().c_str(), empty.c_str(), out.c_str()), kMuxOk);
  const auto file = ReadAll(out);
  EXPECT_TRUE(Find(file, "moov/trak#0"));
  EXPECT_FALSE(Find(file, "moov/trak#1"));
  EXPECT_EQ(Be32At(file, *Find(file, "moov/mvhd"), 24), 2000u);
  EXPECT_EQ(Probe(out, 0, "nb_read_frames"), "50");
  EXPECT_EQ(DecodeMessages(out), "");
}

}  // namespace
}  // namespace convert

namespace convert {
namespace {

// NAL units of an Annex B stream, each with its own 4-byte start code.
std::vector<std::vector<uint8_t>> Units(const std::vector<uint8_t>& stream) {
  std::vector<size_t> starts;
  for (size_t i = 2; i < stream.size(); ++i) {
    if (stream[i] == 1 && stream[i - 1] == 0 && stream[i - 2] == 0) starts.push_back(i + 1);
  }
  std::vector<std::vector<uint8_t>> units;
  for (size_t k = 0; k < starts.size(); ++k) {
    size_t end = k + 1 < starts.size() ? starts[k + 1] - 3 : stream.size();
    while (end > starts[k] && stream[end - 1] == 0) --end;
    std::vector<uint8_t> unit = {0, 0, 0, 1};
    unit.insert(unit.end(), stream.begin() + starts[k], stream.begin() + end);
    units.push_back(unit);
  }
  return units;
}

TEST_F(Mp4MuxerTest, PicturesBeforeTheFirstIdrAreDroppedSoTheFileDecodesCleanly) {
  // The worker starts a part with the box before the first key frame: here a P picture
  // whose reference is not in the file.
  const auto units = Units(ReadAll(Video()));
  std::vector<uint8_t> stream;
  int slices = 0;
  for (const auto& unit : units) {
    const int type = unit[4] & 0x1F;
    if (type == 7 || type == 8) stream.insert(stream.end(), unit.begin(), unit.end());
    if ((type == 1 || type == 5) && ++slices == 2) {
      ASSERT_EQ(type, 1);
      stream.insert(stream.end(), unit.begin(), unit.end());
    }
  }
  const auto original = ReadAll(Video());
  stream.insert(stream.end(), original.begin(), original.end());
  const std::string video = dir_ / "v.264";
  WriteAll(video, stream);
  const std::string out = dir_ / "out.mp4";
  ASSERT_EQ(process(video.c_str(), Audio().c_str(), out.c_str()), kMuxOk);
  const auto file = ReadAll(out);
  const std::string stbl = "moov/trak#0/mdia/minf/stbl/";
  EXPECT_EQ(Be32At(file, *Find(file, stbl + "stsz"), 16), 50u);  // the P picture is gone
  EXPECT_EQ(Be32At(file, *Find(file, stbl + "stss"), 16), 1u);   // the file opens on an IDR
  EXPECT_EQ(Probe(out, 0, "nb_read_frames"), "50");
  EXPECT_EQ(DecodeMessages(out), "");
}

TEST_F(Mp4MuxerTest, InterlacedStreamKeepsTimescale25) {
  const std::string video = dir_ / "i.264";
  RunCommand("ffmpeg -y -v error -f lavfi -i testsrc=size=352x288:rate=25 -t 1 -c:v libx264 "
             "-bf 0 -flags +ildct+ilme -f h264 " + video);
  const std::string out = dir_ / "out.mp4";
  ASSERT_EQ(process(video.c_str(), Audio().c_str(), out.c_str()), kMuxOk);
  const auto file = ReadAll(out);
  EXPECT_EQ(Be32At(file, *Find(file, "moov/trak#0/mdia/mdhd"), 20), 25u);
  EXPECT_EQ(Probe(out, 0, "height"), "288");
  EXPECT_EQ(Probe(out, 0, "nb_read_frames"), "25");
  EXPECT_EQ(DecodeMessages(out), "");
}

TEST_F(Mp4MuxerTest, NtscRateKeepsItsExactFraction) {
  const std::string video = dir_ / "n.264";
  RunCommand("ffmpeg -y -v error -f lavfi -i testsrc=size=176x144:rate=30000/1001 -t 1 "
             "-c:v libx264 -bf 0 -f h264 " + video);
  const std::string out = dir_ / "out.mp4";
  ASSERT_EQ(process(video.c_str(), Audio().c_str(), out.c_str()), kMuxOk);
  EXPECT_EQ(Probe(out, 0, "r_frame_rate"), "30000/1001");
  EXPECT_EQ(Probe(out, 0, "nb_read_frames"), "30");
  EXPECT_EQ(DecodeMessages(out), "");
}

TEST_F(Mp4MuxerTest, AdtsWithCrcGivesTheSameAudioSamples) {
  // Rewrite every frame with protection_absent 0 and a (zero) CRC after the header.
  const auto plain = ReadAll(Audio());
  std::vector<uint8_t> with_crc;
  for (size_t at = 0; at + 7 <= plain.size();) {
    const uint32_t length = ((plain[at + 3] & 3u) << 11) | (plain[at + 4] << 3) | (plain[at + 5] >> 5);
    ASSERT_GT(length, 7u);
    std::vector<uint8_t> header(plain.begin() + at, plain.begin() + at + 7);
    header[1] &= 0xFE;
    const uint32_t longer = length + 2;
    header[3] = uint8_t((header[3] & 0xFC) | (longer >> 11));
    header[4] = uint8_t(longer >> 3);
    header[5] = uint8_t((header[5] & 0x1F) | (longer << 5));
    with_crc.insert(with_crc.end(), header.begin(), header.end());
    with_crc.insert(with_crc.end(), {0, 0});
    with_crc.insert(with_crc.end(), plain.begin() + at + 7, plain.begin() + at + length);
    at += length;
  }
  const std::string audio = dir_ / "crc.aac";
  WriteAll(audio, with_crc);
  const std::string a = dir_ / "a.mp4", b = dir_ / "b.mp4";
  ASSERT_EQ(process(Video().c_str(), Audio().c_str(), a.c_str()), kMuxOk);
  ASSERT_EQ(process(Video().c_str(), audio.c_str(), b.c_str()), kMuxOk);
  EXPECT_EQ(ReadAll(a), ReadAll(b));
}

TEST_F(Mp4MuxerTest, AdtsWithoutChannelConfigurationTakesItFromTheAudioData) {
  // A worker that never saw the recorder's channel count writes configuration 0.
  auto audio = ReadAll(Audio());
  for (size_t at = 0; at + 7 <= audio.size();) {
    const uint32_t length = ((audio[at + 3] & 3u) << 11) | (audio[at + 4] << 3) | (audio[at + 5] >> 5);
    ASSERT_GT(length, 7u);
    audio[at + 2] &= 0xFE;
    audio[at + 3] &= 0x3F;
    at += length;
  }
  const std::string zero = dir_ / "zero.aac";
  WriteAll(zero, audio);
  const std::string a = dir_ / "a.mp4", b = dir_ / "b.mp4";
  ASSERT_EQ(process(Video().c_str(), Audio().c_str(), a.c_str()), kMuxOk);
  ASSERT_EQ(process(Video().c_str(), zero.c_str(), b.c_str()), kMuxOk);
  EXPECT_EQ(ReadAll(a), ReadAll(b));  // the sine source is mono: configuration 1 again
}

class NoNotices : public platform::NoticeSink {
 public:
  void notice(platform::NoticeKind, const std::string& text) override { texts.push_back(text); }
  std::vector<std::string> texts;
};

TEST_F(Mp4MuxerTest, PostProcessorSealsOurFileAndItStaysIntactAndPlayable) {
  const std::string out = dir_ / "out.mp4";
  ASSERT_EQ(process(Video().c_str(), Audio().c_str(), out.c_str()), kMuxOk);
  card::ServiceSector bss, ess;
  const auto block = BuildIntegrityBlock({&bss, &ess, 1, 2, 256, 511, out});
  std::atomic<int> code{0};
  NoNotices sink;
  ASSERT_EQ(PostProcessMp4Outcome(out, block.data(), block.size(), code, sink),
            PostProcessOutcome::sealed);
  EXPECT_TRUE(sink.texts.empty()) << sink.texts.front();
  EXPECT_EQ(code, 0);
  const VerifyResult verified = VerifyMp4(out);
  EXPECT_EQ(verified.status, VerifyStatus::intact) << verified.problem;
  EXPECT_EQ(verified.record.videoSamples, 50u);
  EXPECT_EQ(DecodeMessages(out), "");
}

}  // namespace
}  // namespace convert
