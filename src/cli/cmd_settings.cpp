// korvan-cli settings MEDIUM [--json]
// korvan-cli settings MEDIUM --set KEY=VALUE... [--yes] [--json]
// Shows the recording settings of a marked card, or changes them and writes the card service
// sector as the settings window's save does. Values are checked before anything is opened.
#include <cstdio>

#include "cli/cli_notice_sink.h"
#include "cli/commands.h"
#include "cli/marked_card_write.h"
#include "cli/open_medium.h"
#include "cli/settings_values.h"
#include "cli/write_command.h"
#include "prepare/recording_settings.h"
#include "prepare/service_sector_write.h"

namespace cli {

namespace {

constexpr const char* kUsage = "usage: korvan-cli settings MEDIUM [--json] [--set KEY=VALUE... [--yes]]";

void Print(const prepare::RecordingSettings& s, bool json) {
  if (json)
    std::printf("%s\n", SettingsJson(s).dump(2).c_str());
  else
    std::fputs(SettingsText(s).c_str(), stdout);
}

}  // namespace

int RunSettings(const Args& arguments) {
  Args args = arguments;
  const bool yes = TakeYesFlag(args);
  std::string path;
  bool json = false;
  std::vector<std::string> sets;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--json") {
      json = true;
    } else if (a == "--set") {
      // Every following argument up to the next option is one KEY=VALUE.
      while (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) sets.push_back(args[++i]);
      if (sets.empty()) return Fail(2, kUsage);
    } else if (path.empty() && !a.empty() && a[0] != '-') {
      path = a;
    } else {
      return Fail(2, kUsage);
    }
  }
  if (path.empty()) return Fail(2, kUsage);

  // Check every value before the card is touched.
  prepare::RecordingSettings probe;
  for (const std::string& set : sets) {
    std::string error;
    if (!ApplySettingAssignment(probe, set, error)) return Fail(2, error);
  }

  CliNoticeSink notices;
  card::CardMedium medium(notices);
  const prepare::CivilDate today = prepare::LocalNowFromClock().date;
  if (sets.empty()) {
    if (const int status = OpenMediumForCommand(medium, path)) return status;
    if (!medium.marked) return Fail(1, "'" + path + "' is not a marked card; it holds no settings");
    Print(prepare::LoadSettings(medium.serviceSector, today), json);
    return 0;
  }

  if (const int status = OpenMarkedCardForWriting(medium, path)) return status;
  prepare::RecordingSettings settings = prepare::LoadSettings(medium.serviceSector, today);
  for (const std::string& set : sets) {
    std::string error;
    ApplySettingAssignment(settings, set, error);
  }
  if (!ConfirmWrite(yes, "Write the recording settings to " + path + "?"))
    return Fail(1, "not confirmed; nothing written");
  const prepare::WriteOutcome outcome =
      prepare::ApplyToCardServiceSector(medium, [&](card::ServiceSector& s) {
        prepare::StoreSettings(settings, s);
        return true;
      });
  if (const int status = ReportSectorWrite(outcome, path)) return status;
  Print(prepare::LoadSettings(medium.serviceSector, today), json);
  return 0;
}

}  // namespace cli
