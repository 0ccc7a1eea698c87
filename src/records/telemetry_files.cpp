#include "records/telemetry_files.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "records/battery_charge.h"

namespace records {
namespace {

constexpr double kKmhPerKnot = 1.852;

std::string Format(const char* fmt, auto... args) {
  char buf[160];
  const int n = std::snprintf(buf, sizeof buf, fmt, args...);
  return std::string(buf, n < 0 ? 0 : std::min<size_t>(size_t(n), sizeof buf - 1));
}

std::string XmlEscaped(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// 2014-03-05T11:07:09Z, with milliseconds only when the fix has a fraction of a second.
std::string UtcText(const GpsFix& f) {
  const double whole = std::floor(f.second);
  const std::string date = Format("%04d-%02d-%02dT%02d:%02d:", f.year, f.month, f.day, f.hour, f.minute);
  if (f.second == whole) return date + Format("%02dZ", int(whole));
  return date + Format("%06.3fZ", f.second);
}

// The recorder clock of a sample, `advance` seconds on.
std::string ClockText(const TelemetrySample& s, int64_t advance = 0) {
  const int64_t t = DaysFromCivil(s.year, s.month, s.day) * 86400 + s.hour * 3600 +
                    s.minute * 60 + s.second + advance;
  const int64_t days = t >= 0 ? t / 86400 : (t - 86399) / 86400;
  const int64_t in = t - days * 86400;
  int y = 0, m = 0, d = 0;
  CivilFromDays(days, y, m, d);
  return Format("%04d-%02d-%02d %02d:%02d:%02d", y, m, d, int(in / 3600), int(in / 60 % 60),
                int(in % 60));
}

// 00:01:02,345
std::string SrtTime(double seconds) {
  const int64_t ms = std::llround(std::max(0.0, seconds) * 1000.0);
  return Format("%02lld:%02lld:%02lld,%03lld", (long long)(ms / 3600000), (long long)(ms / 60000 % 60),
                (long long)(ms / 1000 % 60), (long long)(ms % 1000));
}

struct Cue {
  double start = 0;
  const TelemetrySample* sample = nullptr;
  int64_t clockAdvance = 0;  // seconds to add to the sample's clock
};

// One cue per second k of video: at the first block whose time falls in [k, k+1), or, when
// no block does, at k itself showing the latest earlier block with its clock moved on.
std::vector<Cue> Cues(const Telemetry& t) {
  std::vector<const TelemetrySample*> timed;
  for (const TelemetrySample& s : t.samples)
    if (s.streamSeconds && *s.streamSeconds >= 0 &&
        (t.videoSeconds <= 0 || *s.streamSeconds < t.videoSeconds))
      timed.push_back(&s);
  std::vector<Cue> cues;
  if (timed.empty()) return cues;
  const double end = t.videoSeconds > 0 ? t.videoSeconds : *timed.back()->streamSeconds + 1;
  size_t next = 0;  // first timed sample not yet used or passed
  const TelemetrySample* latest = nullptr;
  for (int64_t k = 0; double(k) < end; ++k) {
    while (next < timed.size() && *timed[next]->streamSeconds < double(k)) latest = timed[next++];
    if (next < timed.size() && *timed[next]->streamSeconds < double(k + 1)) {
      latest = timed[next++];
      cues.push_back({*latest->streamSeconds, latest, 0});
    } else if (latest) {
      cues.push_back({double(k), latest, std::llround(double(k) - *latest->streamSeconds)});
    }
  }
  return cues;
}

bool WriteFile(const std::string& path, const std::string& text, std::string& error) {
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
  bool ok = f && std::fwrite(text.data(), 1, text.size(), f.get()) == text.size();
  if (f) ok = std::fclose(f.release()) == 0 && ok;
  if (!ok) error = "cannot write '" + path + "'";
  return ok;
}

}  // namespace

std::string GpxText(const Telemetry& t, const std::string& trackName) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<gpx version=\"1.1\" creator=\"Korvan\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
      "  <trk>\n    <name>" + XmlEscaped(trackName) + "</name>\n";
  bool open = false;
  const GpsFix* last = nullptr;
  for (const TelemetrySample& s : t.samples) {
    if (!s.gps.fix) {
      if (open) out += "    </trkseg>\n";
      open = false;
      continue;
    }
    if (last && *last == *s.gps.fix) continue;
    last = &*s.gps.fix;
    if (!open) out += "    <trkseg>\n";
    open = true;
    out += Format("      <trkpt lat=\"%.7f\" lon=\"%.7f\"><time>", last->latitude, last->longitude) +
           UtcText(*last) + "</time></trkpt>\n";
  }
  if (open) out += "    </trkseg>\n";
  return out + "  </trk>\n</gpx>\n";
}

std::string SrtText(const Telemetry& t) {
  const std::vector<Cue> cues = Cues(t);
  std::string out;
  for (size_t i = 0; i < cues.size(); ++i) {
    const Cue& c = cues[i];
    const double end = i + 1 < cues.size() ? cues[i + 1].start
                                           : (t.videoSeconds > c.start ? t.videoSeconds : c.start + 1);
    out += std::to_string(i + 1) + "\n" + SrtTime(c.start) + " --> " + SrtTime(end) + "\n";
    out += ClockText(*c.sample, c.clockAdvance) + "\n";
    const std::optional<GpsFix>& fix = c.sample->gps.fix;
    if (fix && fix->speedKnots) out += Format("%.1f км/ч", *fix->speedKnots * kKmhPerKnot) + "\n";
    out += BatteryLineText(c.sample->batteryAdc) + "\n\n";
  }
  return out;
}

std::string CsvText(const Telemetry& t) {
  std::string out =
      "block,stream_seconds,clock,gps_status,utc,latitude,longitude,speed_knots,course_deg,"
      "battery_volts,battery_percent\n";
  for (const TelemetrySample& s : t.samples) {
    out += std::to_string(s.block) + ",";
    if (s.streamSeconds) out += Format("%.3f", *s.streamSeconds);
    out += "," + ClockText(s) + ",";
    if (s.gps.status) out += s.gps.status;
    out += ",";
    if (const std::optional<GpsFix>& f = s.gps.fix) {
      out += UtcText(*f) + Format(",%.7f,%.7f,", f->latitude, f->longitude);
      if (f->speedKnots) out += Format("%.2f", *f->speedKnots);
      out += ",";
      if (f->courseDeg) out += Format("%.2f", *f->courseDeg);
    } else {
      out += ",,,,";
    }
    out += Format(",%.3f,%d\n", double(s.volts), s.percent);
  }
  return out;
}

bool WriteTelemetryFiles(const Telemetry& t, const std::string& basePath, std::string& error) {
  const size_t slash = basePath.find_last_of('/');
  const std::string name = slash == std::string::npos ? basePath : basePath.substr(slash + 1);
  return WriteFile(basePath + ".gpx", GpxText(t, name), error) &&
         WriteFile(basePath + ".srt", SrtText(t), error) &&
         WriteFile(basePath + ".csv", CsvText(t), error);
}

}  // namespace records
