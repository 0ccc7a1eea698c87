#include "cli/marked_card_write.h"

#include "cli/commands.h"
#include "cli/write_command.h"

namespace cli {

int OpenMarkedCardForWriting(card::CardMedium& medium, const std::string& path) {
  if (const int status = OpenMediumForWriting(medium, path)) return status;
  if (!medium.marked)
    return Fail(1, "'" + path + "' is not a marked card (no hc files); nothing written");
  if (!medium.writable())
    return Fail(1, "'" + path + "' cannot be opened for writing; nothing written");
  return 0;
}

int ReportSectorWrite(prepare::WriteOutcome outcome, const std::string& path) {
  switch (outcome) {
    case prepare::WriteOutcome::written:
      return 0;
    case prepare::WriteOutcome::refused:
      return Fail(1, "'" + path + "' refused the write; nothing written");
    case prepare::WriteOutcome::failed:
      break;
  }
  return Fail(1, "writing the card service sector of '" + path +
                     "' failed; the card may hold the old or the new sector");
}

}  // namespace cli
