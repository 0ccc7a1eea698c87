#include "convert/part_telemetry.h"

#include "convert/part_video_times.h"
#include "records/telemetry_files.h"

namespace convert {

records::Telemetry PartTelemetry(card::RegionReader& region, const records::TRecord& record,
                                 int32_t firstSector, int32_t lastSector) {
  const uint32_t ringBlocks = region.geometry().N_sectors_in_rsr / 256;
  if (ringBlocks == 0) return {};
  const PartVideoTimes video = MeasurePartVideo(region, record, firstSector, lastSector);
  const auto [first, last] = records::RangeBlocks(ringBlocks, firstSector, lastSector);
  records::Telemetry t = records::ReadTelemetry(region, ringBlocks, record, first, last, video.Clock());
  t.videoSeconds = video.videoSeconds();
  return t;
}

std::string TelemetryBasePath(const std::string& mp4Path) {
  const std::string ext = ".mp4";
  if (mp4Path.size() > ext.size() && mp4Path.compare(mp4Path.size() - ext.size(), ext.size(), ext) == 0)
    return mp4Path.substr(0, mp4Path.size() - ext.size());
  return mp4Path;
}

bool WritePartTelemetry(card::RegionReader& region, const records::TRecord& record,
                        int32_t firstSector, int32_t lastSector, const std::string& mp4Path,
                        std::string& error) {
  const records::Telemetry t = PartTelemetry(region, record, firstSector, lastSector);
  return records::WriteTelemetryFiles(t, TelemetryBasePath(mp4Path), error);
}

}  // namespace convert
