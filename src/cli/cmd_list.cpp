// korvan-cli list MEDIUM [--json] [--thorough]: the recordings of a card, found by the same
// probing scan as the record list window, or with --thorough by reading every block's
// information sector. Plain output: "index<TAB>list line" per recording. A scan that stops on
// an unreadable or malformed block still prints what it found, then fails.
#include <cstdio>

#include <nlohmann/json.hpp>

#include "card/card_medium.h"
#include "cli/cli_notice_sink.h"
#include "cli/commands.h"
#include "cli/open_medium.h"
#include "records/scan_whole_ring.h"
#include "records/record_line.h"

namespace cli {

namespace {

constexpr const char* kUsage = "usage: korvan-cli list MEDIUM [--json] [--thorough]";

struct ScanOutcome {
  std::vector<records::TRecord> records;
  bool failed = false;
  uint64_t reads = 0;
};

// Whether the card's ring pointers say anything is recorded (the list window's test).
bool HasRecordings(const card::ServiceSector& s) {
  return s.rec_end_sectnum() != card::kUnsetPointer && s.rec_end_sectnum() != s.rec_bgn_sectnum();
}

ScanOutcome ScanMedium(const card::CardMedium& medium, records::ScanMode mode) {
  ScanOutcome out;
  card::RegionReader& reader = *medium.regionReader();
  reader.reset_reads();
  records::WholeRingScan scan = records::ScanWholeRing(reader, records::ScanRingOf(medium), mode);
  out.records = std::move(scan.records);
  out.failed = scan.failed;
  out.reads = reader.reads();
  return out;
}

nlohmann::ordered_json ListJson(const ScanOutcome& scan) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (size_t i = 0; i < scan.records.size(); ++i) {
    const records::TRecord& r = scan.records[i];
    list.push_back({{"index", i},
                    {"bss_index", r.bss_index},
                    {"ess_index", r.ess_index},
                    {"blocks", records::RecordBlocks(r)},
                    {"duration", records::RecordDuration(r)},
                    {"stamp", card::FormatStamp(r.bss)},
                    {"line", records::RecordLine(r)},
                    {"imei_sn", r.bss.imei_sn()},
                    {"poweron_uid0", r.bss.poweron_uid0()},
                    {"startrec_cycles", r.bss.startrec_cycles()}});
  }
  nlohmann::ordered_json j;
  j["records"] = std::move(list);
  j["scanFailed"] = scan.failed;
  j["reads"] = scan.reads;
  return j;
}

}  // namespace

int RunList(const Args& args) {
  std::string path;
  bool json = false;
  records::ScanMode mode = records::ScanMode::probing;
  for (const std::string& a : args) {
    if (a == "--json")
      json = true;
    else if (a == "--thorough")
      mode = records::ScanMode::thorough;
    else if (path.empty() && !a.empty() && a[0] != '-')
      path = a;
    else
      return Fail(2, kUsage);
  }
  if (path.empty()) return Fail(2, kUsage);

  CliNoticeSink notices;
  card::CardMedium medium(notices);
  if (const int status = OpenMediumForCommand(medium, path)) return status;
  if (!medium.marked || !medium.regionReader())
    return Fail(1, "'" + path + "' is not a marked card (no hc files)");

  ScanOutcome scan;
  if (HasRecordings(medium.serviceSector)) scan = ScanMedium(medium, mode);
  if (json) {
    std::printf("%s\n", ListJson(scan)
                            .dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
                            .c_str());
  } else {
    for (size_t i = 0; i < scan.records.size(); ++i)
      std::printf("%zu\t%s\n", i, records::RecordLine(scan.records[i]).c_str());
  }
  std::fflush(stdout);
  if (scan.failed)
    return Fail(1, "scan stopped at a block that could not be read or was malformed; " +
                       std::to_string(scan.records.size()) + " recording(s) listed before it");
  return 0;
}

}  // namespace cli
