#include "convert/part_video_times.h"

#include "convert/h264_sps.h"
#include "convert/qbox.h"
#include "convert/stream_reader.h"

namespace convert {
namespace {

constexpr uint8_t kNalSps = 7;

// The first SPS among the NAL units of a video box.
std::optional<H264Sps> BoxSps(std::span<const uint8_t> box) {
  std::optional<H264Sps> sps;
  if (box.size() < qbox::kHeaderSize || !(qbox::StreamType(box.data()) & qbox::kStreamVideo))
    return sps;
  qbox::ForEachNal(qbox::SplitPayload(box).data, [&](std::span<const uint8_t> nal) {
    if (!sps && !nal.empty() && (nal[0] & 0x1F) == kNalSps) sps = ParseSps(nal);
  });
  return sps;
}

// A video box carrying a coded slice (NAL types 1 to 5) is one picture of the .mp4.
bool IsPicture(std::span<const uint8_t> box) {
  if (!(qbox::StreamType(box.data()) & qbox::kStreamVideo)) return false;
  bool slice = false;
  qbox::ForEachNal(qbox::SplitPayload(box).data, [&](std::span<const uint8_t> nal) {
    const uint8_t type = nal.empty() ? 0 : nal[0] & 0x1F;
    slice = slice || (type >= 1 && type <= 5);
  });
  return slice;
}

}  // namespace

std::optional<double> PartVideoTimes::BlockTime(uint32_t block) const {
  const auto it = blockSeconds.find(block);
  if (it == blockSeconds.end()) return std::nullopt;
  return it->second;
}

records::BlockClock PartVideoTimes::Clock() const {
  return [this](uint32_t block) { return BlockTime(block); };
}

PartVideoTimes MeasurePartVideo(card::RegionReader& region, const records::TRecord& record,
                                int32_t firstSector, int32_t lastSector) {
  PartVideoTimes t;
  const int64_t n = region.geometry().N_sectors_in_rsr;
  if (n <= 0 || firstSector < 0 || firstSector >= n) return t;
  const auto ring = [n](int64_t d) { return d < 0 ? d + n : d; };
  const int64_t span = ring(int64_t(lastSector) - firstSector);

  StreamReader reader(region);
  reader.Reset();
  reader.set_range_end(lastSector);
  reader.set_sector_index(firstSector);
  if (!reader.StepSector(0) || !reader.FindKeyFrame(true) || !reader.RewindToBoxStart()) {
    t.error = reader.error();
    return t;
  }
  reader.LoadConfiguration();
  std::optional<H264Sps> sps = reader.config_loaded() ? BoxSps(reader.video_config().box())
                                                      : std::nullopt;
  VideoTiming timing = sps ? TimingFromSps(*sps) : VideoTiming{};
  bool timingKnown = sps.has_value();
  // The post-processor doubles a 25-tick timescale of a field-coded recording.
  const bool fieldCoded = (record.ess.video_flags() & 0xFF) == 1;

  uint32_t lastBlock = UINT32_MAX;
  for (;;) {
    const uint32_t block = uint32_t(reader.sector_index()) / 256;
    if (!reader.ReadNextBox()) break;
    const std::span<const uint8_t> box = reader.box();
    if (!timingKnown) {
      if ((sps = BoxSps(box))) timing = TimingFromSps(*sps);
      timingKnown = sps.has_value();
    }
    // Every block the box starts in or runs through shows the picture counted next.
    for (uint32_t b = block;; b = (b + 1) % uint32_t(n / 256)) {
      if (b != lastBlock) t.blockSeconds.try_emplace(b, double(t.pictures));
      lastBlock = b;
      if (b == uint32_t(reader.sector_index()) / 256) break;
    }
    if (IsPicture(box)) ++t.pictures;
    if (reader.end_reached() || ring(int64_t(reader.sector_index()) - firstSector) >= span) break;
  }
  t.error = reader.error();
  const uint32_t timescale = timing.timescale == 25 && fieldCoded ? 50 : timing.timescale;
  t.frameSeconds = double(timing.delta) / double(timescale ? timescale : 25);
  for (auto& [block, seconds] : t.blockSeconds) seconds *= t.frameSeconds;
  return t;
}

}  // namespace convert
