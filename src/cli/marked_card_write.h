// The common start of the commands that rewrite the card service sector (settings --set,
// clear, erase, recover): open the medium for writing (a card image folder is refused) and
// refuse a card that is not marked, since it has no service sector to change.
#pragma once

#include <string>

#include "card/card_medium.h"
#include "prepare/service_sector_write.h"

namespace cli {

// 0 when `medium` is open for writing on a marked card; else the exit status, after printing
// the failure line.
int OpenMarkedCardForWriting(card::CardMedium& medium, const std::string& path);

// The exit status of a service-sector write, printing a line for each failure.
int ReportSectorWrite(prepare::WriteOutcome outcome, const std::string& path);

}  // namespace cli
