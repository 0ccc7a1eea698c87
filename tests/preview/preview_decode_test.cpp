// Pictures of simulated cards: the decoded luma plane equals what ffmpeg decodes from the same
// frame of the converted .mp4, the 360 x 288 picture follows the sampling and the integer
// formula, and a damaged key frame or a missing decoder never ends the preview.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "card/card_file_system.h"
#include "card/partition_file_reader.h"
#include "cardsim/card_writer.h"
#include "cardsim/image_folder_sink.h"
#include "preview/preview_session.h"
#include "records/record_line.h"
#include "support/temp_dir.h"

namespace {

using namespace preview;
using testsupport::RunCommand;
using testsupport::TempDir;

// A recording of `seconds` on a simulated card, its converted .mp4 and ffmpeg's frames.
struct DecodedCard {
  TempDir dir;
  cardsim::CardResult card;
  std::unique_ptr<card::PartitionFileReader> region;
  records::TRecord record;
  int64_t blocks = 0;
  std::string yuv;  // every frame of the .mp4 as raw yuv420p, as ffmpeg decodes it

  DecodedCard(int width, int height, double seconds, bool convert = true) {
    cardsim::Scenario s;
    s.seed = 11;
    s.width = width;
    s.height = height;
    s.partition_file_bytes = {4u << 20};
    cardsim::RecordingSpec r;
    r.start = cardsim::CivilTime{2015, 6, 7, 8, 9, 10};
    r.duration_s = seconds;
    s.recordings.push_back(r);
    card = cardsim::WriteCardToFolder(s, dir / "card");
    if (!card.ok) return;
    auto fs = std::make_shared<card::FolderFileSystem>(dir / "card");
    std::vector<std::string> names;
    for (uint32_t k = 0; k < card.geometry.N_rsf; ++k)
      names.push_back(cardsim::PartitionFileName(int(k)));
    region = std::make_unique<card::PartitionFileReader>(fs, names, card.geometry);
    const cardsim::RecordingResult& rec = card.recordings[0];
    record.bss_index = int32_t(rec.first_block);
    record.bss = rec.bss;
    record.ess_index = int32_t(rec.last_block);
    record.ess = rec.ess;
    blocks = records::RecordBlocks(record);
    if (!convert) return;
    std::filesystem::create_directory(dir / "out");
    const std::string cli = KORVAN_CLI_PATH;
    RunCommand(cli + " convert " + (dir / "card") + " " + (dir / "out") + " --all");
    for (const auto& e : std::filesystem::directory_iterator(dir / "out"))
      if (e.path().extension() == ".mp4")
        RunCommand("ffmpeg -v error -y -i " + e.path().string() +
                   " -fps_mode passthrough -f rawvideo -pix_fmt yuv420p " + (dir / "all.yuv"));
    std::ifstream in(dir / "all.yuv", std::ios::binary);
    yuv.assign(std::istreambuf_iterator<char>(in), {});
  }
};

// The index of ffmpeg's frame whose luma equals the decoded plane, or -1.
int MatchingFrame(const DecodedCard& c, const YuvView& v) {
  const size_t frameBytes = size_t(v.width) * v.height * 3 / 2;
  for (size_t f = 0; (f + 1) * frameBytes <= c.yuv.size(); ++f) {
    bool same = true;
    for (int line = 0; line < v.height && same; ++line)
      same = std::equal(v.plane[0] + size_t(line) * v.pitch[0],
                        v.plane[0] + size_t(line) * v.pitch[0] + v.width,
                        reinterpret_cast<const uint8_t*>(c.yuv.data()) + f * frameBytes +
                            size_t(line) * v.width);
    if (same) return int(f);
  }
  return -1;
}

// The preview's formula written out independently for one output pixel.
uint32_t Expected(const DecodedCard& c, int width, int height, int step, int i, int j) {
  const auto* y = reinterpret_cast<const uint8_t*>(c.yuv.data());  // frame 0
  const uint8_t* u = y + size_t(width) * height;
  const uint8_t* v = u + size_t(width / 2) * (height / 2);
  const int Y = y[size_t(i * step) * width + j * step];
  const int U = u[size_t(i * step / 2) * (width / 2) + j * step / 2] - 128;
  const int V = v[size_t(i * step / 2) * (width / 2) + j * step / 2] - 128;
  const auto clamp = [](int x) { return uint32_t(x < 0 ? 0 : x > 255 ? 255 : x); };
  return clamp((1024 * Y + 1815 * U + 512) >> 10) | clamp((1024 * Y - 352 * U - 731 * V + 512) >> 10) << 8 |
         clamp((1024 * Y + 1436 * V + 512) >> 10) << 16;
}

void CheckEveryPosition(int width, int height) {
  if (!testsupport::HaveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
  DecodedCard c(width, height, 3);
  ASSERT_TRUE(c.card.ok) << c.card.error;
  ASSERT_FALSE(c.yuv.empty());
  PreviewSession session(*c.region, c.card.N_s_s);
  session.Open(c.record, c.blocks);
  int previous = -1;
  std::set<int> frames;
  for (int p = 0; p < c.blocks; ++p) {
    ASSERT_NE(session.Seek(p), SeekOutcome::not_found) << p;
    const Shown shown = session.DecodeShown();
    ASSERT_TRUE(shown == Shown::picture || shown == Shown::unchanged) << p;
    const YuvView v = session.decoded();
    ASSERT_EQ(v.width, width);
    ASSERT_EQ(v.height, height);
    const int frame = MatchingFrame(c, v);
    ASSERT_GE(frame, 0) << "position " << p;
    EXPECT_EQ(frame % 25, 0) << "key frames come every 25 pictures";
    if (p == 0) {
      EXPECT_EQ(frame, 0);
    }
    EXPECT_GE(frame, previous);
    previous = frame;
    frames.insert(frame);
  }
  EXPECT_GE(frames.size(), 2u);

  session.Open(c.record, c.blocks);
  ASSERT_EQ(session.Seek(0), SeekOutcome::found);
  ASSERT_EQ(session.DecodeShown(), Shown::picture);
  const int step = width >= 700 ? 2 : 1;
  const Picture& pic = session.picture();
  for (auto [i, j] : {std::pair{0, 0}, {10, 20}, {143, 179}, {287, 350}, {200, 300}})
    EXPECT_EQ(pic.at(j, i), Expected(c, width, height, step, i, j)) << i << "," << j;
}

TEST(PreviewDecode, FullWidthPicturesMatchFfmpeg) { CheckEveryPosition(720, 576); }

TEST(PreviewDecode, HalfWidthPicturesMatchFfmpeg) { CheckEveryPosition(352, 288); }

TEST(PreviewDecode, DamagedKeyFrameGivesTheBlackPicture) {
  DecodedCard c(352, 288, 1, false);
  ASSERT_TRUE(c.card.ok) << c.card.error;
  PreviewSession session(*c.region, c.card.N_s_s);
  session.Open(c.record, c.blocks);
  ASSERT_EQ(session.Seek(0), SeekOutcome::found);
  // Damage the slice data of the key frame on the card and seek afresh.
  const int32_t sector = session.seeker().current_sector();
  const std::string file = c.dir / ("card/" + cardsim::PartitionFileName(0));
  std::fstream f(file, std::ios::binary | std::ios::in | std::ios::out);
  std::vector<char> garbage(512 * 6);
  for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = char(0xFF - (i * 13) % 7);
  f.seekp(std::streamoff(sector + 1) * 512);
  f.write(garbage.data(), std::streamsize(garbage.size()));
  f.close();
  c.region->close();
  session.Open(c.record, c.blocks);
  ASSERT_EQ(session.Seek(0), SeekOutcome::found);
  EXPECT_EQ(session.DecodeShown(), Shown::black);
  EXPECT_EQ(session.picture().at(100, 100), kBlackPixel);
}

TEST(PreviewDecode, MissingDecoderIsReportedOnceAndShowsNothing) {
  DecodedCard c(352, 288, 1, false);
  ASSERT_TRUE(c.card.ok) << c.card.error;
  PreviewSession session(*c.region, c.card.N_s_s);
  session.set_decoder_name("no-such-decoder");
  session.Open(c.record, c.blocks);
  EXPECT_EQ(session.Seek(0), SeekOutcome::found);
  EXPECT_EQ(session.TakeDecoderFailure(), DecoderSetup::no_decoder);
  EXPECT_EQ(session.DecodeShown(), Shown::unchanged);
  EXPECT_EQ(session.TakeDecoderFailure(), DecoderSetup::ok);  // said once per opening
  EXPECT_EQ(session.picture().at(0, 0), kBlackPixel);
  EXPECT_TRUE(session.decoded().empty());
  EXPECT_EQ(session.battery_line().rfind("заряд: ", 0), 0u);
}

}  // namespace
