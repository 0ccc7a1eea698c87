// End to end: a simulated card whose GPS track moves, stops, loses its fix and crosses
// midnight UTC is converted with --telemetry; the peers read every file we write (gpsbabel
// the .gpx, ffprobe the .srt), the track equals the simulator's, the subtitles line up with
// the video, and the telemetry command and list --json agree with the conversion.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include <nlohmann/json.hpp>

#include "cardsim/card_writer.h"
#include "support/temp_dir.h"

using testsupport::RunCommand;
using testsupport::TempDir;

namespace {

using Rows = std::vector<std::map<std::string, std::string>>;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> Cells(std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();  // gpsbabel ends lines with CRLF
  std::vector<std::string> cells;
  std::stringstream ss(line);
  std::string cell;
  while (std::getline(ss, cell, ',')) cells.push_back(cell);
  if (!line.empty() && line.back() == ',') cells.push_back("");
  return cells;
}

// Comma-separated text with a header line, as rows keyed by the header's names.
Rows ParseCsv(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  Rows rows;
  if (!std::getline(in, line)) return rows;
  const std::vector<std::string> header = Cells(line);
  while (std::getline(in, line)) {
    const std::vector<std::string> cells = Cells(line);
    EXPECT_EQ(cells.size(), header.size()) << line;
    std::map<std::string, std::string> row;
    for (size_t i = 0; i < header.size() && i < cells.size(); ++i) row[header[i]] = cells[i];
    rows.push_back(row);
  }
  return rows;
}

cardsim::Scenario TrackScenario() {
  cardsim::Scenario s;
  s.seed = 14;
  s.partition_file_bytes = {4u << 20, 4u << 20};  // 64 blocks
  s.quality = 0;                                   // about two blocks per second
  s.gps.latitude = -33.45, s.gps.longitude = -70.66;  // southern and western hemispheres
  s.gps.speed_knots = 20, s.gps.course_deg = 135;
  s.gps.utc_offset_h = 3;
  s.gps.move_s = 5, s.gps.stop_s = 3, s.gps.lost_s = 2;
  cardsim::RecordingSpec r;
  r.start = cardsim::CivilTime{2014, 3, 8, 2, 59, 52};  // 23:59:52 UTC
  r.duration_s = 14;
  s.recordings.push_back(r);
  r.start.reset();
  r.duration_s = 4;
  s.recordings.push_back(r);
  return s;
}

cardsim::CivilTime Clock(const card::ServiceSector& s) {
  return {2000 + s.ye(), s.mo(), s.md(), s.ho(), s.mi(), s.se()};
}

struct Point {
  std::string date, time;  // as gpsbabel's unicsv writes them: 2014/03/07, 23:59:59
  double lat = 0, lon = 0;
};

// The fixes the simulator stamped into the recording's blocks, a repeated one once.
std::vector<Point> ExpectedTrack(const cardsim::Scenario& s, const cardsim::CardResult& card,
                                 const cardsim::RecordingResult& rec) {
  const int64_t origin = cardsim::ToSeconds(Clock(card.recordings[0].bss));
  const int64_t start = cardsim::ToSeconds(Clock(rec.bss));
  std::vector<Point> points;
  for (double t0 : rec.block_media_s) {
    const int64_t local = start + int64_t(t0);
    const auto p = s.gps.At(double(local - origin));
    if (p.kind != p.moving && p.kind != p.stopped) continue;
    const cardsim::CivilTime utc = s.gps.Utc(cardsim::FromSeconds(local));
    char date[16], time[16];
    std::snprintf(date, sizeof date, "%04d/%02d/%02d", utc.year, utc.month, utc.day);
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", utc.hour, utc.minute, utc.second);
    if (!points.empty() && points.back().time == time && points.back().date == date) continue;
    points.push_back({date, time, p.latitude, p.longitude});
  }
  return points;
}

std::vector<Point> GpsbabelTrack(const std::string& gpx) {
  const auto r = RunCommand("gpsbabel -t -i gpx -f '" + gpx + "' -o unicsv -F -");
  EXPECT_EQ(r.status, 0) << r.output;
  std::vector<Point> points;
  for (auto& row : ParseCsv(r.output))
    points.push_back({row["Date"], row["Time"], std::stod(row["Latitude"]), std::stod(row["Longitude"])});
  return points;
}

double VideoSeconds(const std::string& mp4) {
  const auto r = RunCommand("ffprobe -v error -select_streams v -show_entries stream=duration "
                            "-of csv=p=0 '" + mp4 + "'");
  EXPECT_EQ(r.status, 0) << r.output;
  return std::stod(r.output);
}

class TelemetryCli : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    scenario_ = new cardsim::Scenario(TrackScenario());
    card_ = new cardsim::CardResult(cardsim::WriteCardToFolder(*scenario_, *dir_ / "card"));
    std::filesystem::create_directories(*dir_ / "out");
    convert_ = new testsupport::CommandResult(RunCommand(
        std::string(KORVAN_CLI_PATH) + " convert " + *dir_ / "card" + " " + *dir_ / "out" +
        " --telemetry 2>&1"));
  }
  static void TearDownTestSuite() {
    delete convert_;
    delete card_;
    delete scenario_;
    delete dir_;
  }
  void SetUp() override {
    ASSERT_TRUE(card_->ok) << card_->error;
    ASSERT_EQ(convert_->status, 0) << convert_->output;
  }
  static std::string Base(const cardsim::RecordingResult& rec) { return *dir_ / "out/" + rec.stamp; }

  static TempDir* dir_;
  static cardsim::Scenario* scenario_;
  static cardsim::CardResult* card_;
  static testsupport::CommandResult* convert_;
};

TempDir* TelemetryCli::dir_ = nullptr;
cardsim::Scenario* TelemetryCli::scenario_ = nullptr;
cardsim::CardResult* TelemetryCli::card_ = nullptr;
testsupport::CommandResult* TelemetryCli::convert_ = nullptr;

TEST_F(TelemetryCli, GpsbabelReadsTheSimulatorsTrackAcrossStopsLostFixesAndMidnight) {
  if (!testsupport::HaveProgram("gpsbabel")) GTEST_SKIP() << "gpsbabel missing";
  size_t stops = 0;
  for (const cardsim::RecordingResult& rec : card_->recordings) {
    SCOPED_TRACE("recording " + std::to_string(rec.index));
    const std::vector<Point> expected = ExpectedTrack(*scenario_, *card_, rec);
    const std::vector<Point> got = GpsbabelTrack(Base(rec) + ".gpx");
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].date, expected[i].date) << i;
      EXPECT_EQ(got[i].time, expected[i].time) << i;
      EXPECT_NEAR(got[i].lat, expected[i].lat, 1e-5) << i;
      EXPECT_NEAR(got[i].lon, expected[i].lon, 1e-5) << i;
      if (i > 0 && got[i].lat == got[i - 1].lat && got[i].lon == got[i - 1].lon) ++stops;
    }
  }
  EXPECT_GT(stops, 0u) << "the track should stand still somewhere";
  // The first recording's fixes run from 23:59:5x on the 7th into the 8th (UTC).
  const std::vector<Point> first = GpsbabelTrack(Base(card_->recordings[0]) + ".gpx");
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(first.front().date, "2014/03/07");
  EXPECT_EQ(first.back().date, "2014/03/08");
  // Lost fixes split the track into segments.
  EXPECT_NE(ReadAll(Base(card_->recordings[0]) + ".gpx").find("</trkseg>\n    <trkseg>"),
            std::string::npos);
}

TEST_F(TelemetryCli, SubtitlesAreOneCuePerSecondAtTheirBlocksPresentationTime) {
  if (!testsupport::HaveProgram("ffprobe")) GTEST_SKIP() << "ffprobe missing";
  const double frame = 1.0 / scenario_->fps;
  for (const cardsim::RecordingResult& rec : card_->recordings) {
    SCOPED_TRACE("recording " + std::to_string(rec.index));
    const std::string srt = Base(rec) + ".srt";
    const auto probe = RunCommand("ffprobe -v error -show_entries stream=codec_type:packet=pts_time "
                                  "-of csv=p=0 '" + srt + "'");
    ASSERT_EQ(probe.status, 0) << probe.output;
    std::vector<double> cues;
    bool subtitle = false;
    std::istringstream lines(probe.output);
    for (std::string line; std::getline(lines, line);) {
      if (line == "subtitle") subtitle = true;
      else if (!line.empty()) cues.push_back(std::stod(line));
    }
    EXPECT_TRUE(subtitle) << probe.output;
    const double video = VideoSeconds(Base(rec) + ".mp4");
    EXPECT_EQ(cues.size(), size_t(std::ceil(video - 1e-6)));

    // Every block's stream time lies within one frame of when the simulator put its data in
    // the stream, and every cue starts at a block's time or on a whole second.
    const Rows rows = ParseCsv(ReadAll(Base(rec) + ".csv"));
    ASSERT_EQ(rows.size(), rec.blocks);
    std::vector<double> blockTimes;
    for (size_t i = 0; i < rows.size(); ++i) {
      const uint32_t block = std::stoul(rows[i].at("block"));
      EXPECT_EQ(block, (rec.first_block + i) % card_->N_s_s);
      if (rows[i].at("stream_seconds").empty()) continue;
      const double t = std::stod(rows[i].at("stream_seconds"));
      EXPECT_NEAR(t, rec.block_media_s[i], frame + 0.002) << "block " << block;
      EXPECT_GE(t + 0.002, rec.block_media_s[i]) << "block " << block;
      blockTimes.push_back(t);
    }
    size_t atBlocks = 0;
    for (double cue : cues) {
      const bool onBlock = std::any_of(blockTimes.begin(), blockTimes.end(),
                                       [&](double t) { return std::fabs(t - cue) < 0.0015; });
      atBlocks += onBlock;
      EXPECT_TRUE(onBlock || std::fabs(cue - std::round(cue)) < 0.0015) << cue;
    }
    EXPECT_GT(atBlocks, cues.size() / 2);
  }
}

TEST_F(TelemetryCli, CsvHasAHeaderAndALinePerBlockWithFixesAndLostOnes) {
  const Rows rows = ParseCsv(ReadAll(Base(card_->recordings[0]) + ".csv"));
  ASSERT_EQ(rows.size(), card_->recordings[0].blocks);
  size_t fixed = 0, lost = 0, empty = 0;
  for (const auto& row : rows) {
    const std::string& status = row.at("gps_status");
    fixed += status == "A";
    lost += status == "V";
    empty += status.empty();
    if (status == "A") {
      EXPECT_LT(std::stod(row.at("latitude")), 0);
      EXPECT_LT(std::stod(row.at("longitude")), 0);
    } else {
      EXPECT_TRUE(row.at("latitude").empty());
    }
    EXPECT_NEAR(std::stod(row.at("battery_volts")), scenario_->battery_start_v, 0.1);
  }
  EXPECT_GT(fixed, 0u);
  EXPECT_GT(lost, 0u);
  EXPECT_GT(empty, 0u);
}

TEST_F(TelemetryCli, TelemetryCommandWritesWhatTheConversionWroteAndListSumsTheTrack) {
  const cardsim::RecordingResult& rec = card_->recordings[0];
  std::filesystem::create_directories(*dir_ / "alone");
  const auto r = RunCommand(std::string(KORVAN_CLI_PATH) + " telemetry " + *dir_ / "card" + " 0 " +
                            *dir_ / "alone");
  ASSERT_EQ(r.status, 0) << r.output;
  for (const char* ext : {".gpx", ".srt", ".csv"}) {
    EXPECT_EQ(ReadAll(*dir_ / "alone/" + rec.stamp + ext), ReadAll(Base(rec) + ext)) << ext;
    EXPECT_NE(r.output.find(rec.stamp + ext), std::string::npos);
  }

  // A range: only the blocks it covers, timed from its own first key frame.
  const uint32_t first = (rec.first_block + 8) % card_->N_s_s;
  const uint32_t last = (rec.first_block + 15) % card_->N_s_s;
  const std::string range = " --range " + std::to_string(first * 256) + " " +
                            std::to_string(last * 256 + 255);
  ASSERT_EQ(RunCommand(std::string(KORVAN_CLI_PATH) + " telemetry " + *dir_ / "card" + " 0 " +
                       *dir_ / "alone" + range).status, 0);
  const Rows part = ParseCsv(ReadAll(*dir_ / "alone/" + rec.stamp + "_s" +
                                     std::to_string(first * 256) + "-" +
                                     std::to_string(last * 256 + 255) + ".csv"));
  ASSERT_EQ(part.size(), 8u);
  EXPECT_EQ(part.front().at("block"), std::to_string(first));

  const auto list = RunCommand(std::string(KORVAN_CLI_PATH) + " list " + *dir_ / "card" +
                               " --json 2>/dev/null");
  ASSERT_EQ(list.status, 0);
  const auto j = nlohmann::json::parse(list.output);
  const std::vector<Point> track = ExpectedTrack(*scenario_, *card_, rec);
  ASSERT_GE(track.size(), 2u);
  const auto& listed = j["records"][0];
  EXPECT_NEAR(listed["firstFix"]["lat"].get<double>(), track.front().lat, 1e-5);
  EXPECT_NEAR(listed["firstFix"]["lon"].get<double>(), track.front().lon, 1e-5);
  // A straight track: the distance along it is the distance between its ends.
  const double kPi = 3.141592653589793;
  const double dy = (track.back().lat - track.front().lat) * 111195.0;
  const double dx = (track.back().lon - track.front().lon) * 111195.0 *
                    std::cos(track.front().lat * kPi / 180);
  EXPECT_NEAR(listed["distanceMeters"].get<double>(), std::hypot(dx, dy), 1.0);
  EXPECT_GT(listed["distanceMeters"].get<double>(), 20.0);
}

TEST(TelemetryCliUsage, BadArgumentsAndMissingRecordings) {
  TempDir dir;
  const std::string cli = std::string(KORVAN_CLI_PATH) + " telemetry ";
  EXPECT_EQ(RunCommand(cli + dir.path().string()).status, 2);
  EXPECT_EQ(RunCommand(cli + dir.path().string() + " x " + dir.path().string()).status, 2);
  EXPECT_EQ(RunCommand(cli + dir.path().string() + " 0 " + dir.path().string() + " --range 1").status, 2);
  EXPECT_EQ(RunCommand(cli + dir.path().string() + " 0 " + dir.path().string()).status, 1)
      << "an empty folder is no card";
}

}  // namespace
