// Opening the MEDIUM argument of a command: an image folder, an image file or a device.
// Returns 0 when open, else the exit status after printing the one English failure line.
#pragma once

#include <string>

#include "card/card_medium.h"

namespace cli {

int OpenMediumForCommand(card::CardMedium& medium, const std::string& path,
                         const card::OpenOptions& options = {});

}  // namespace cli
