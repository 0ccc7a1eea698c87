// korvan-cli clear|erase|recover MEDIUM [--yes]: the card operations window's clearing (the
// mode button), erase (Ctrl+E) and recovery (Ctrl+R). Each rewrites only the ring pointers of
// the card service sector of a marked card; recordings stay on the card.
#include <cstdio>

#include "cli/cli_notice_sink.h"
#include "cli/commands.h"
#include "cli/marked_card_write.h"
#include "cli/write_command.h"
#include "prepare/ring_pointers.h"
#include "prepare/service_sector_write.h"

namespace cli {

namespace {

// Parses "MEDIUM [--yes]"; returns the exit status of bad usage, else 0.
int ParseArgs(const Args& arguments, const char* name, std::string& path, bool& yes) {
  Args args = arguments;
  yes = TakeYesFlag(args);
  if (args.size() != 1 || args[0].empty() || args[0][0] == '-')
    return Fail(2, std::string("usage: korvan-cli ") + name + " MEDIUM [--yes]");
  path = args[0];
  return 0;
}

void PrintPointers(const card::ServiceSector& s) {
  std::printf("rec_bgn_sectnum: %u\nrec_end_sectnum: %u\n", s.rec_bgn_sectnum(),
              s.rec_end_sectnum());
}

}  // namespace

int RunClear(const Args& args) {
  std::string path;
  bool yes = false;
  if (const int status = ParseArgs(args, "clear", path, yes)) return status;
  CliNoticeSink notices;
  card::CardMedium medium(notices);
  if (const int status = OpenMarkedCardForWriting(medium, path)) return status;
  if (!ConfirmWrite(yes, "Delete all recordings on the card " + path + "?"))
    return Fail(1, "not confirmed; nothing written");
  const auto outcome = prepare::ApplyToCardServiceSector(medium, [](card::ServiceSector& s) {
    prepare::ClearCard(s);
    return true;
  });
  if (const int status = ReportSectorWrite(outcome, path)) return status;
  std::printf("card cleared\n");
  PrintPointers(medium.serviceSector);
  return 0;
}

int RunErase(const Args& args) {
  std::string path;
  bool yes = false;
  if (const int status = ParseArgs(args, "erase", path, yes)) return status;
  CliNoticeSink notices;
  card::CardMedium medium(notices);
  if (const int status = OpenMarkedCardForWriting(medium, path)) return status;
  if (!ConfirmWrite(yes, "Erase all recordings on the card " + path + " (both ring pointers unset)?"))
    return Fail(1, "not confirmed; nothing written");
  const auto outcome = prepare::ApplyToCardServiceSector(medium, [](card::ServiceSector& s) {
    prepare::EraseCard(s);
    return true;
  });
  if (const int status = ReportSectorWrite(outcome, path)) return status;
  std::printf("card erased\n");
  PrintPointers(medium.serviceSector);
  return 0;
}

int RunRecover(const Args& args) {
  std::string path;
  bool yes = false;
  if (const int status = ParseArgs(args, "recover", path, yes)) return status;
  CliNoticeSink notices;
  card::CardMedium medium(notices);
  if (const int status = OpenMarkedCardForWriting(medium, path)) return status;
  // Decide before asking: a refusal needs no confirmation and writes nothing.
  card::ServiceSector probe = medium.serviceSector;
  const prepare::RegionPlace place{medium.partitionStart, medium.hcpt0000Sector,
                                   medium.dirRegionSectors};
  switch (prepare::RecoverRecords(probe, place)) {
    case prepare::RecoverOutcome::ready:
      break;
    case prepare::RecoverOutcome::ringNotEmpty:
      return Fail(1, "the card holds recordings (ring begin != end); recovery is only for a "
                     "cleared or erased card; nothing written");
    case prepare::RecoverOutcome::regionUnknown:
      return Fail(1, "the record region's size could not be found in the root directory "
                     "(hcpt0000.hcf); recovery refused, nothing written");
    case prepare::RecoverOutcome::notOnBlock:
      return Fail(1, "the recovered ring end would not be a block boundary inside the record "
                     "region; recovery refused, nothing written");
  }
  if (!ConfirmWrite(yes, "Try to recover all recordings on the card " + path + "?"))
    return Fail(1, "not confirmed; nothing written");
  const auto outcome = prepare::ApplyToCardServiceSector(medium, [&](card::ServiceSector& s) {
    return prepare::RecoverRecords(s, place) == prepare::RecoverOutcome::ready;
  });
  if (const int status = ReportSectorWrite(outcome, path)) return status;
  std::printf("recovery attempted; run 'korvan-cli list' to see the recordings found\n");
  PrintPointers(medium.serviceSector);
  return 0;
}

}  // namespace cli
