// What every writing command (mark, settings --set, clear, erase, recover, format) shares:
// the refusal of a card image folder, opening the medium for writing, and the confirmation
// asked on a terminal unless --yes was given.
#pragma once

#include <string>

#include "card/card_medium.h"
#include "cli/commands.h"

namespace cli {

// Removes "--yes" (or "-y") from `args`; true when it was there.
bool TakeYesFlag(Args& args);

// True when `yes` is set, or when stdin is a terminal and the user answers y/yes to
// `question` (printed on stderr). False on any other answer, end of input or no terminal.
bool ConfirmWrite(bool yes, const std::string& question);

// Opens `path` for writing. A card image folder is refused (it is a read-only copy of the
// card files). Returns 0 when open, else the exit status after printing the failure line.
int OpenMediumForWriting(card::CardMedium& medium, const std::string& path);

}  // namespace cli
