// The telemetry files written beside a converted .mp4 (same base name):
//   .gpx  GPX 1.1, one track, one segment per unbroken run of valid fixes, each point with the
//         fix's own UTC date and time (a fix repeated by following blocks appears once);
//   .srt  one cue per second of video: at the stream time of the first block of that second,
//         or at the whole second when no block falls in it (then showing the latest earlier
//         block, its clock moved on by the time since): the recorder clock's date and time,
//         the speed in km/h when there is a fix, and the battery line;
//   .csv  one line per sampled information sector, under a header line.
// Pure text builders plus one writer; any thread.
#pragma once

#include <string>

#include "records/telemetry.h"

namespace records {

std::string GpxText(const Telemetry& t, const std::string& trackName);
std::string SrtText(const Telemetry& t);
std::string CsvText(const Telemetry& t);

// Writes <basePath>.gpx, .srt and .csv. False with `error` set (English, naming the file)
// when one of them cannot be written completely.
bool WriteTelemetryFiles(const Telemetry& t, const std::string& basePath, std::string& error);

}  // namespace records
