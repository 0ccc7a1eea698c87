#include "cardsim/card_writer.h"

#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <map>
#include <memory>

#include "cardsim/elementary_stream.h"
#include "cardsim/image_folder_sink.h"
#include "cardsim/info_sector_builder.h"
#include "cardsim/media_set.h"

namespace cardsim {
namespace {

// The expected elementary streams of one recording, written while it is generated.
class EsDump {
 public:
  bool Open(const std::string& dir, int index) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    char name[32];
    std::snprintf(name, sizeof name, "/rec%02d.264", index);
    h264_ = dir + name;
    std::snprintf(name, sizeof name, "/rec%02d.aac", index);
    aac_ = dir + name;
    return Restart();
  }
  // Truncates both files: what was written so far is not on the card.
  bool Restart() {
    h264_file_.reset(std::fopen(h264_.c_str(), "wb"));
    aac_file_.reset(std::fopen(aac_.c_str(), "wb"));
    return h264_file_ && aac_file_;
  }
  RecordingStream::EsSink Sink() {
    return [this](bool video, std::span<const uint8_t> bytes) {
      std::fwrite(bytes.data(), 1, bytes.size(), video ? h264_file_.get() : aac_file_.get());
    };
  }

 private:
  struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
  };
  std::string h264_, aac_;
  std::unique_ptr<FILE, FileCloser> h264_file_, aac_file_;
};

uint64_t Mix(uint64_t x) {  // splitmix64 finaliser: seeded identities and jitter
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

struct PowerOn {
  uint32_t uid0 = 0;
  int64_t at = 0;  // civil seconds of the power-on
  double battery_v = 4.1;
};

// State shared by all recordings of one card.
class CardWriter {
 public:
  CardWriter(const Scenario& s, CardSink& sink, const WriteOptions& options, CardResult& result)
      : s_(s), sink_(sink), options_(options), r_(result) {}

  bool Run();

 private:
  bool WriteRecording(int index, uint32_t& offset);
  bool WriteBlock(uint32_t block, const uint8_t* data, const card::ServiceSector& info, bool zero);
  const Damage* BlockDamage(int recording, uint32_t block, DamageKind kind) const;
  BlockStamp Stamp(const PowerOn& power, int64_t block_time, uint32_t block) const;
  bool Fail(const std::string& message) {
    r_.error = message;
    return false;
  }

  const Scenario& s_;
  CardSink& sink_;
  const WriteOptions& options_;
  CardResult& r_;
  std::shared_ptr<const MediaSet> media_;
  std::array<uint8_t, kConfigPairSize> config_{};
  uint64_t clock_ = card::kDefaultClockHz;
  std::map<std::pair<int, int>, PowerOn> power_ons_;
  std::vector<uint32_t> labels_;  // next label per device
  int64_t next_start_ = 0;        // civil seconds where the next recording starts by default
  int64_t track_origin_ = 0;
  std::vector<uint8_t> block_;
};

// The fields of a block's information sector that follow the clock: date, battery, GPS and
// the ring pointers as the recorder keeps them while writing `block`.
BlockStamp CardWriter::Stamp(const PowerOn& power, int64_t block_time, uint32_t block) const {
  BlockStamp stamp;
  stamp.poweron_uid0 = power.uid0;
  stamp.date = FromSeconds(block_time);
  const double hours_on = double(block_time - power.at) / 3600.0;
  stamp.battery_v = power.battery_v - s_.battery_drain_v_per_hour * hours_on;
  stamp.gps_rmc = s_.gps.RmcBody(double(block_time - track_origin_), stamp.date);
  stamp.rec_bgn_sectnum = r_.rsr_sectnum + 256 * r_.ring_start_block;
  stamp.rec_end_sectnum = r_.rsr_sectnum + 256 * block;
  return stamp;
}

const Damage* CardWriter::BlockDamage(int recording, uint32_t block, DamageKind kind) const {
  for (const Damage& d : s_.damage)
    if (d.kind == kind && d.recording == recording && d.block == block) return &d;
  return nullptr;
}

bool CardWriter::WriteBlock(uint32_t block, const uint8_t* data, const card::ServiceSector& info,
                            bool zero) {
  const uint32_t first = block * 256;
  if (data && !sink_.WriteRegion(first, data, kDataSectorsPerBlock)) return Fail(sink_.error());
  base::Sector sector = info.bytes();
  if (zero) sector.fill(0);
  if (!sink_.WriteRegion(first + 255, sector.data(), 1)) return Fail(sink_.error());
  return true;
}

bool CardWriter::WriteRecording(int index, uint32_t& offset) {
  const RecordingSpec& desc = s_.recordings[size_t(index)];
  const DeviceSpec& device = s_.devices[size_t(desc.device)];
  RecordingResult rec;
  rec.index = index;
  rec.device = desc.device;
  rec.imei_sn = device.imei_sn;
  rec.finished = desc.finished;

  const int64_t start = desc.start ? ToSeconds(*desc.start) : next_start_;
  auto [it, fresh] = power_ons_.try_emplace({desc.device, desc.power_on});
  PowerOn& power = it->second;
  if (fresh) {
    const uint64_t h = Mix(s_.seed * 1000003ULL + uint64_t(desc.device) * 131 + uint64_t(desc.power_on));
    power.uid0 = uint32_t(h);
    if (power.uid0 == 0xFFFFFFFF) power.uid0 = 0x12345679;  // that value means "not set"
    power.at = start - 20 - int64_t(h % 40);
    power.battery_v = s_.battery_start_v - double((h >> 32) % 8) * 0.01;
  }
  if (start < power.at) return Fail("recording " + std::to_string(index) + " starts before its power-on");
  rec.poweron_uid0 = power.uid0;
  const uint64_t jitter = Mix(s_.seed + uint64_t(index) * 7919) % (clock_ / 2);
  rec.startrec_cycles = uint64_t(start - power.at) * clock_ + jitter;

  const uint32_t free_blocks = r_.N_s_s - 1 - offset;
  const uint32_t lost = desc.lost_blocks;
  RecordingPlan plan;
  plan.end_box = desc.finished;
  plan.seed = s_.seed * 31 + uint32_t(index);
  plan.first_picture = uint64_t(s_.gop) * ((uint64_t(index) * 3) % 4);
  if (desc.duration_s > 0) {
    plan.video_frames = uint64_t(std::llround(desc.duration_s * s_.fps));
    plan.capacity_bytes = uint64_t(lost + free_blocks) * kStreamBytesPerBlock;
  } else {
    if (desc.blocks > free_blocks)
      return Fail("recording " + std::to_string(index) + " does not fit in the ring");
    plan.capacity_bytes = uint64_t(lost + desc.blocks) * kStreamBytesPerBlock;
  }

  EsDump dump;
  const bool dumping = !options_.es_dump_dir.empty();
  if (dumping && !dump.Open(options_.es_dump_dir, index))
    return Fail("cannot create the elementary-stream dumps in " + options_.es_dump_dir);
  RecordingStream stream(media_, plan, dumping ? dump.Sink() : nullptr);
  if (lost > 0) {
    stream.Produce(nullptr, size_t(lost) * kStreamBytesPerBlock);
    if (stream.finished()) return Fail("recording " + std::to_string(index) + " ends in its lost blocks");
    if (dumping && !dump.Restart()) return Fail("cannot rewrite the elementary-stream dumps");
    stream.BeginAtNextKeyFrame();
  }

  rec.first_block = (r_.ring_start_block + 1 + offset) % r_.N_s_s;
  uint32_t label = labels_[size_t(desc.device)] + lost;
  uint64_t startrec = rec.startrec_cycles;
  const uint32_t wanted = desc.duration_s > 0 ? free_blocks : desc.blocks;
  for (uint32_t i = 0; i < wanted; ++i) {
    const double t0 = stream.media_time();
    rec.block_media_s.push_back(t0);
    const size_t got = stream.Produce(s_.info_only ? nullptr : block_.data(), kStreamBytesPerBlock);
    if (!s_.info_only) std::fill(block_.begin() + ptrdiff_t(got), block_.end(), 0);
    const bool last = desc.duration_s > 0 ? stream.finished() : i + 1 == wanted;
    if (desc.duration_s > 0 && i + 1 == wanted && !last)
      return Fail("recording " + std::to_string(index) + " does not fit in the ring");
    const double t1 = last && desc.finished && desc.duration_s > 0
                          ? double(plan.video_frames) / s_.fps
                          : stream.media_time();
    if (BlockDamage(index, i, DamageKind::label_break)) label += 7;
    if (BlockDamage(index, i, DamageKind::identity_change)) startrec += clock_;

    const uint32_t block = (rec.first_block + i) % r_.N_s_s;
    BlockStamp stamp = Stamp(power, start + int64_t(t0), block);
    stamp.label = label++;
    stamp.recstate = uint8_t((i == 0 && lost == 0 ? 1 : 2) | (last && desc.finished ? 4 : 0));
    stamp.startrec_cycles = startrec;
    stamp.cycles = rec.startrec_cycles + uint64_t(std::llround(t1 * double(clock_)));
    card::ServiceSector info = BuildInfoSector(s_, device, r_.geometry, r_.rsr_sectnum, config_, stamp);
    if (i == 0) rec.bss = info;
    rec.ess = info;
    if (BlockDamage(index, i, DamageKind::format_version)) info.set_format_version(204);
    const bool zero = BlockDamage(index, i, DamageKind::zero_info) != nullptr;
    if (!WriteBlock(block, s_.info_only ? nullptr : block_.data(), info, zero)) return false;
    if (last) {
      rec.blocks = i + 1;
      break;
    }
  }
  if (desc.duration_s > 0 && stream.pictures() < plan.video_frames)
    return Fail("recording " + std::to_string(index) + " does not fit in the ring");
  labels_[size_t(desc.device)] = label;
  rec.last_block = (rec.first_block + rec.blocks - 1) % r_.N_s_s;
  rec.stamp = card::FormatStamp(rec.bss);
  rec.stats = stream.stats();
  rec.media_seconds = double(stream.pictures()) / s_.fps;
  offset += rec.blocks;
  next_start_ = start + int64_t(std::ceil(rec.media_seconds)) +
                int64_t(std::llround(index + 1 < int(s_.recordings.size())
                                         ? s_.recordings[size_t(index) + 1].pause_s
                                         : 0));
  r_.recordings.push_back(std::move(rec));
  return true;
}

bool CardWriter::Run() {
  clock_ = s_.clock_hz ? s_.clock_hz : card::kDefaultClockHz;
  labels_.clear();
  for (const DeviceSpec& d : s_.devices) labels_.push_back(d.first_label);
  next_start_ = ToSeconds(s_.recordings.empty() || !s_.recordings[0].start ? CivilTime{}
                                                                           : *s_.recordings[0].start);
  track_origin_ = next_start_;
  if (!s_.recordings.empty()) {
    MediaParams p;
    p.width = s_.width;
    p.height = s_.height;
    p.fps = s_.fps;
    p.gop = s_.gop;
    p.video_bit_rate = VideoBitRate(s_);
    p.high_profile = s_.high_profile;
    p.sample_rate = s_.sample_rate;
    p.channels = s_.channels;
    p.seed = s_.seed;
    std::string error;
    media_ = GetMediaSet(p, error);
    if (!media_) return Fail(error);
    if (!BuildConfigPair(*media_, config_, error)) return Fail(error);
  }
  block_.assign(kStreamBytesPerBlock, 0);
  uint32_t offset = 0;  // blocks used after the ring start block
  for (int i = 0; i < int(s_.recordings.size()); ++i) {
    const uint32_t gap = s_.recordings[size_t(i)].gap_blocks;
    if (gap > r_.N_s_s - 1 - offset) return Fail("the gaps do not fit in the ring");
    offset += gap;
    if (!WriteRecording(i, offset)) return false;
  }
  r_.ring_end_block = s_.ring_end_block ? *s_.ring_end_block
                      : r_.recordings.empty() ? r_.ring_start_block
                                              : r_.recordings.back().last_block;
  switch (s_.pointers) {
    case RingPointers::recorded:
      r_.rec_bgn_sectnum = r_.rsr_sectnum + 256 * r_.ring_start_block;
      r_.rec_end_sectnum = r_.rsr_sectnum + 256 * r_.ring_end_block;
      break;
    case RingPointers::unset:
      r_.rec_bgn_sectnum = r_.rec_end_sectnum = card::kUnsetPointer;
      break;
    case RingPointers::empty:
      r_.rec_bgn_sectnum = r_.rec_end_sectnum = r_.rsr_sectnum + 256 * r_.ring_start_block;
      break;
  }
  const card::ServiceSector service = BuildCardServiceSector(
      s_, r_.geometry, r_.rsr_sectnum, r_.rec_bgn_sectnum, r_.rec_end_sectnum);
  if (!sink_.WriteServiceSector(service.bytes())) return Fail(sink_.error());
  if (!sink_.Finish()) return Fail(sink_.error());
  for (const Damage& d : s_.damage)
    if ((d.kind == DamageKind::missing_file || d.kind == DamageKind::truncate_file) &&
        !sink_.ApplyFileDamage(d))
      return Fail(sink_.error());
  return true;
}

}  // namespace

card::RegionGeometry ScenarioGeometry(const Scenario& s) {
  card::RegionGeometry g;
  g.N_rsf = uint32_t(s.partition_file_bytes.size());
  if (g.N_rsf == 0) return g;
  g.N_sectors_in_standard_rsf = uint32_t(s.partition_file_bytes.front() / 512);
  g.N_sectors_in_the_last_rsf = uint32_t(s.partition_file_bytes.back() / 512);
  g.N_sectors_in_rsr = (g.N_rsf - 1) * g.N_sectors_in_standard_rsf + g.N_sectors_in_the_last_rsf;
  return g;
}

CardResult WriteCard(const Scenario& scenario, CardSink& sink, const WriteOptions& options) {
  CardResult result;
  result.error = ValidateScenario(scenario);
  if (!result.error.empty()) return result;
  result.geometry = ScenarioGeometry(scenario);
  result.N_s_s = result.geometry.N_sectors_in_rsr >> 8;
  result.rsr_sectnum = scenario.rsr_sectnum;
  sink.FixedRsrSectnum(result.rsr_sectnum);
  result.ring_start_block = scenario.ring_start_block;
  try {
    CardWriter writer(scenario, sink, options, result);
    result.ok = writer.Run();
  } catch (const std::exception& e) {  // allocation failures and the like
    result.ok = false;
    result.error = e.what();
  }
  return result;
}

CardResult WriteCardToFolder(const Scenario& scenario, const std::string& folder,
                             const WriteOptions& options) {
  CardResult result;
  result.error = ValidateScenario(scenario);
  if (!result.error.empty()) return result;
  std::string error;
  std::unique_ptr<CardSink> sink;
  try {
    sink = OpenImageFolder(folder, scenario.partition_file_bytes, error);
  } catch (const std::exception& e) {
    error = e.what();
  }
  if (!sink) {
    result.error = error;
    return result;
  }
  return WriteCard(scenario, *sink, options);
}

}  // namespace cardsim
