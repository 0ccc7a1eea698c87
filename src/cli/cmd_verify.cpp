// korvan-cli verify FILE.mp4 [--json]: checks the integrity record of a converted file.
#include <cstdio>

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "convert/mp4_verify.h"

namespace cli {
namespace {

const char* StatusName(convert::VerifyStatus s) {
  switch (s) {
    case convert::VerifyStatus::intact: return "intact";
    case convert::VerifyStatus::notIntact: return "notIntact";
    case convert::VerifyStatus::unreadable: return "unreadable";
  }
  return "unreadable";
}

nlohmann::json ToJson(const std::string& file, const convert::VerifyResult& r) {
  nlohmann::json j = {{"file", file},
                      {"intact", r.status == convert::VerifyStatus::intact},
                      {"status", StatusName(r.status)},
                      {"field", r.field},
                      {"problem", r.problem},
                      {"sampleIndex", r.sampleIndex},
                      {"recordOffset", r.recordOffset},
                      {"textLength", r.textLength}};
  j["gaps"] = nlohmann::json::array();
  for (const auto& [from, to] : r.gaps) j["gaps"].push_back({{"fromSector", from}, {"toSector", to}});
  if (r.decoded) {
    const convert::IntegrityRecordFields& f = r.record;
    j["record"] = {{"path", f.path},           {"poweron_uid0", f.poweronUid0},
                   {"partStart", f.partStart}, {"endSector", f.endSector},
                   {"firstBlock", f.firstBlock}, {"lastBlock", f.lastBlock},
                   {"mp4Time", f.mp4Time},     {"blockTime", f.blockTime},
                   {"recordTime", f.recordTime}, {"videoSamples", f.videoSamples},
                   {"audioSamples", f.audioSamples}};
  } else {
    j["record"] = nullptr;
  }
  return j;
}

void PrintPlain(const convert::VerifyResult& r) {
  if (!r.decoded) return;
  const convert::IntegrityRecordFields& f = r.record;
  std::printf("path: %s\npoweron_uid0: %u\npartStart: %u\nendSector: %u\n", f.path.c_str(),
              f.poweronUid0, f.partStart, f.endSector);
  std::printf("firstBlock: %u\nlastBlock: %u\nmp4Time: %u\nblockTime: %u\nrecordTime: %u\n",
              unsigned(f.firstBlock), unsigned(f.lastBlock), f.mp4Time, f.blockTime,
              f.recordTime);
  std::printf("videoSamples: %u\naudioSamples: %u\n", f.videoSamples, f.audioSamples);
}

}  // namespace

int RunVerify(const Args& args) {
  std::string file;
  bool json = false;
  for (const std::string& a : args) {
    if (a == "--json")
      json = true;
    else if (!a.empty() && a[0] == '-')
      return Fail(2, "verify: unknown option " + a + "\nusage: korvan-cli verify FILE.mp4 [--json]");
    else if (file.empty())
      file = a;
    else
      return Fail(2, "usage: korvan-cli verify FILE.mp4 [--json]");
  }
  if (file.empty()) return Fail(2, "usage: korvan-cli verify FILE.mp4 [--json]");

  const convert::VerifyResult r = convert::VerifyMp4(file);
  if (json)
    // A path in another code page (the argument or the one stored in the record) is not
    // UTF-8: its invalid bytes are replaced rather than aborting the output.
    std::printf("%s\n",
                ToJson(file, r).dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
  else
    PrintPlain(r);
  if (r.status == convert::VerifyStatus::intact) {
    if (!json) std::printf("intact\n");
    return 0;
  }
  const char* what = r.status == convert::VerifyStatus::unreadable ? "unreadable" : "not intact";
  return Fail(1, file + ": " + what + ": " + r.problem);
}

}  // namespace cli
