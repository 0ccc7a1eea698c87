// The program version shown by the main and card operations windows, derived from the build
// date text "Mmm dd yyyy": major = the year's last digit, minor = month index * 32 + day,
// formatted "%d.%03d" ("Feb 15 2015" gives "5.047"). Pure; any thread.
#pragma once

#include <string>

namespace app {

std::string VersionFromBuildDate(const std::string& buildDate);

// "Версия: " followed by the version of this build (KORVAN_BUILD_DATE).
std::string VersionLabelText();

}  // namespace app
