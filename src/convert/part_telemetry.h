// The telemetry files of one conversion part or range: measures where each block falls in
// the part's video (part_video_times.h), samples the information sectors of the part's blocks
// that belong to the recording, and writes <basePath>.gpx, .srt and .csv.
//
// Reads through the shared region reader on the calling thread (the conversion worker's, in
// its part sink); the reader must have no other user meanwhile.
#pragma once

#include <cstdint>
#include <string>

#include "card/region_reader.h"
#include "records/telemetry.h"
#include "records/trecord.h"

namespace convert {

// The samples of sectors [firstSector, lastSector] with their video times.
records::Telemetry PartTelemetry(card::RegionReader& region, const records::TRecord& record,
                                 int32_t firstSector, int32_t lastSector);

// PartTelemetry written beside the .mp4 `mp4Path` (its name without ".mp4" is the base).
bool WritePartTelemetry(card::RegionReader& region, const records::TRecord& record,
                        int32_t firstSector, int32_t lastSector, const std::string& mp4Path,
                        std::string& error);

// The base path of the telemetry files of `mp4Path`: the path without its ".mp4".
std::string TelemetryBasePath(const std::string& mp4Path);

}  // namespace convert
