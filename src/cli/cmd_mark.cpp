// korvan-cli mark MEDIUM [--share PERCENT] [--dry-run] [--json] [--yes]: marks an empty FAT32
// volume (the partition files of the layout for the share, contiguous), checks the result by
// reading it back, and writes the default service sector so that the card is ready for the
// recorder. A failed marking writes no service sector and leaves the card as it is.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>

#include <nlohmann/json.hpp>

#include "card/card_medium.h"
#include "card/card_state.h"
#include "cli/cli_notice_sink.h"
#include "cli/commands.h"
#include "cli/open_medium.h"
#include "cli/progress_line.h"
#include "cli/write_command.h"
#include "prepare/mark_volume.h"
#include "prepare/marking_check.h"
#include "prepare/marking_layout.h"
#include "prepare/marking_plan.h"

namespace cli {

namespace {

constexpr const char* kUsage = "usage: korvan-cli mark MEDIUM [--share PERCENT] [--dry-run] [--json] [--yes]";

struct MarkOptions {
  std::string path;
  int share = 100;
  bool dryRun = false, json = false, yes = false;
};

bool ParseShare(const std::string& text, int& share) {
  if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  share = std::stoi(text);
  return share >= 1 && share <= 100;
}

bool Parse(Args args, MarkOptions& o) {
  o.yes = TakeYesFlag(args);
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--dry-run") o.dryRun = true;
    else if (a == "--json") o.json = true;
    else if (a == "--share" && i + 1 < args.size()) {
      if (!ParseShare(args[++i], o.share)) return false;
    } else if (o.path.empty() && !a.empty() && a[0] != '-') o.path = a;
    else return false;
  }
  return !o.path.empty();
}

nlohmann::ordered_json LayoutJson(const prepare::ShareLayout& s) {
  nlohmann::ordered_json j;
  j["share"] = s.share;
  j["fileCount"] = s.layout.fileCount;
  j["standardFileBytes"] = s.layout.standardFileBytes;
  j["lastFileBytes"] = s.layout.lastFileBytes;
  j["regionBytes"] = s.layout.regionBytes();
  return j;
}

void PrintLayout(const prepare::ShareLayout& s) {
  const prepare::MarkingLayout& l = s.layout;
  std::printf("share: %d%% = %s\n", s.share, card::FormatBytes(l.regionBytes()).c_str());
  std::printf("layout: N=%d S=%llu L=%llu\n", l.fileCount, (unsigned long long)l.standardFileBytes,
              (unsigned long long)l.lastFileBytes);
  std::printf("region: %llu bytes\n", (unsigned long long)l.regionBytes());
}

// The raw writes with a progress line on a terminal; the marking's status.
prepare::MarkStatus Mark(card::CardMedium& m, const prepare::MarkingPlan& plan) {
  const bool terminal = ::isatty(STDERR_FILENO);
  const auto started = std::chrono::steady_clock::now();
  const uint64_t region = plan.layout.regionBytes();
  auto progress = [&](int percent) {
    if (!terminal) return;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::fprintf(stderr, "\r%s\x1b[K",
                 ProgressLine("marking", percent / 100.0, region / 100 * uint64_t(percent), seconds)
                     .c_str());
  };
  prepare::MarkStatus status = prepare::MarkStatus::writeFailed;
  const prepare::FatTimestamp now = prepare::FatTimestampOf(std::time(nullptr));
  const bool written = m.WithRawWrites([&](platform::RawVolume& v) {
    status = prepare::MarkVolume(v, plan, now, progress);
    return status == prepare::MarkStatus::ok;
  });
  if (terminal) std::fprintf(stderr, "\r\x1b[K");
  return written ? status
                 : (status == prepare::MarkStatus::ok ? prepare::MarkStatus::writeFailed : status);
}

int RefuseImageFolder(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
    return Fail(1, "'" + path + "' is a card image folder (a read-only copy of the card files); "
                   "it cannot be marked");
  return 0;
}

}  // namespace

int RunMark(const Args& args) {
  MarkOptions o;
  if (!Parse(args, o)) return Fail(2, kUsage);
  CliNoticeSink notices;
  card::CardMedium m(notices);
  // A dry run only reads; it still refuses what marking would refuse.
  if (const int status = o.dryRun ? RefuseImageFolder(o.path) : OpenMediumForWriting(m, o.path))
    return status;
  if (o.dryRun)
    if (const int status = OpenMediumForCommand(m, o.path)) return status;
  const card::CardClass cls = card::ClassOf(card::CardStateInput::FromMedium(m));
  if (cls != card::CardClass::empty || !m.volume())
    return Fail(1, "'" + o.path + "' is not an empty FAT32 volume (class " +
                       card::CardClassName(cls) + "); format it first");
  const uint64_t markable = prepare::MarkableBytes(*m.volume(), m.geometry);
  const prepare::ShareLayout chosen = prepare::LayoutForShare(m.cardLength, markable, o.share);
  if (!chosen.ok) return Fail(1, "'" + o.path + "' is too small for any layout of partition files");
  const prepare::PlanResult planned = prepare::PlanMarking(*m.volume(), m.geometry, chosen.layout);
  if (!planned.ok())
    return Fail(1, "cannot mark '" + o.path + "': " + prepare::PlanErrorText(planned.error));
  nlohmann::ordered_json j = LayoutJson(chosen);
  if (o.dryRun) {
    if (o.json) std::printf("%s\n", j.dump(2).c_str());
    else PrintLayout(chosen);
    return 0;
  }
  if (!ConfirmWrite(o.yes, "Mark '" + o.path + "' with " + std::to_string(chosen.layout.fileCount) +
                               " partition files (" +
                               card::FormatBytes(chosen.layout.regionBytes()) + ")?"))
    return Fail(1, "not marked: not confirmed");
  const prepare::MarkStatus status = Mark(m, planned.plan);
  if (status != prepare::MarkStatus::ok)
    return Fail(1, std::string("marking failed (") + prepare::MarkStatusText(status) +
                       "); the files made so far stay on the card: format it and mark it again");
  const prepare::MarkingCheck check = prepare::CheckMarkedVolume(m.volume(), chosen.layout);
  if (!check.ok) return Fail(1, "the check after marking failed: " + check.problem);
  // The card receives the default service sector for the partition files just made.
  card::OpenOptions writable;
  writable.writable = true;
  if (const int s = OpenMediumForCommand(m, o.path, writable)) return s;
  if (!m.marked) return Fail(1, "the marked card is not recognised as marked when read back");
  card::InitServiceSector(m.serviceSector, m.region);
  if (!m.WriteCardServiceSector())
    return Fail(1, "marked, but the default service sector could not be written");
  if (o.json) {
    j["checked"] = true;
    std::printf("%s\n", j.dump(2).c_str());
  } else {
    PrintLayout(chosen);
    std::printf("checked: ok\n");
  }
  return 0;
}

}  // namespace cli
