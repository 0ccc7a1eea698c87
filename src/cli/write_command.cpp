#include "cli/write_command.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <sys/stat.h>

#include "cli/open_medium.h"

namespace cli {

bool TakeYesFlag(Args& args) {
  const auto it = std::remove_if(args.begin(), args.end(),
                                 [](const std::string& a) { return a == "--yes" || a == "-y"; });
  const bool found = it != args.end();
  args.erase(it, args.end());
  return found;
}

bool ConfirmWrite(bool yes, const std::string& question) {
  if (yes) return true;
  if (!::isatty(STDIN_FILENO)) {
    std::fprintf(stderr, "korvan-cli: %s\nkorvan-cli: not a terminal; pass --yes to confirm\n",
                 question.c_str());
    return false;
  }
  std::fprintf(stderr, "%s [y/N] ", question.c_str());
  std::fflush(stderr);
  std::string answer;
  if (!std::getline(std::cin, answer)) return false;
  return answer == "y" || answer == "Y" || answer == "yes" || answer == "YES";
}

int OpenMediumForWriting(card::CardMedium& medium, const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
    return Fail(1, "'" + path + "' is a card image folder (a read-only copy of the card files); "
                   "writing needs the card itself or a volume image");
  card::OpenOptions options;
  options.writable = true;
  return OpenMediumForCommand(medium, path, options);
}

}  // namespace cli
