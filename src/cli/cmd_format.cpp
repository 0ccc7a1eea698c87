// korvan-cli format MEDIUM [--yes]: formats the card's volume as FAT32 with mkfs.fat, then
// reads it back and prints its class (an empty FAT32 volume is ready to be marked).
#include <cstdio>

#include "card/card_medium.h"
#include "card/card_state.h"
#include "cli/cli_notice_sink.h"
#include "cli/commands.h"
#include "cli/open_medium.h"
#include "cli/write_command.h"
#include "prepare/format_card.h"

namespace cli {

namespace {

std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  return text;
}

}  // namespace

int RunFormat(const Args& args) {
  Args rest = args;
  const bool yes = TakeYesFlag(rest);
  if (rest.size() != 1 || rest[0].empty() || rest[0][0] == '-')
    return Fail(2, "usage: korvan-cli format MEDIUM [--yes]");
  const std::string& path = rest[0];
  CliNoticeSink notices;
  card::CardMedium m(notices);
  if (const int status = OpenMediumForWriting(m, path)) return status;
  if (!ConfirmWrite(yes, "Format '" + path + "' as FAT32? Everything on it is lost."))
    return Fail(1, "not formatted: not confirmed");
  const prepare::FormatResult r = prepare::FormatCard(m);
  if (!r.ok) return Fail(1, "formatting '" + path + "' failed: " + OneLine(r.errorText));
  if (const int status = OpenMediumForCommand(m, path)) return status;
  std::printf("formatted: class %s\n",
              card::CardClassName(card::ClassOf(card::CardStateInput::FromMedium(m))));
  return 0;
}

}  // namespace cli
