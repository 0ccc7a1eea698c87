#include "app/version_text.h"

#include <cctype>
#include <cstdio>

#ifndef KORVAN_BUILD_DATE
#define KORVAN_BUILD_DATE __DATE__
#endif

namespace app {

std::string VersionFromBuildDate(const std::string& buildDate) {
  static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  int major = 0;
  if (!buildDate.empty() && std::isdigit(static_cast<unsigned char>(buildDate.back())))
    major = buildDate.back() - '0';
  // The day is in columns 5 and 6 ("Feb 15 2015", "Feb  5 2015" or "Feb 05 2015").
  int day = 0;
  for (size_t i = 4; i < 6 && i < buildDate.size(); ++i)
    if (std::isdigit(static_cast<unsigned char>(buildDate[i]))) day = day * 10 + buildDate[i] - '0';
  int month = 12;
  for (int m = 0; m < 12; ++m)
    if (buildDate.find(kMonths[m]) != std::string::npos) month = m;
  char text[32];
  std::snprintf(text, sizeof text, "%d.%03d", major, month * 32 + day);
  return text;
}

std::string VersionLabelText() { return "Версия: " + VersionFromBuildDate(KORVAN_BUILD_DATE); }

}  // namespace app
