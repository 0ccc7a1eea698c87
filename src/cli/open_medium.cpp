#include "cli/open_medium.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

#include "cli/commands.h"

namespace cli {

int OpenMediumForCommand(card::CardMedium& medium, const std::string& path,
                         const card::OpenOptions& options) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    return Fail(1, "cannot open medium '" + path + "': " + std::strerror(errno));
  // Opening a FIFO would wait for a writer; sockets and character devices hold no card.
  if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode) && !S_ISBLK(st.st_mode))
    return Fail(1, "cannot open medium '" + path +
                       "': not a card image folder, an image file or a block device");
  if (!medium.OpenMedium(path, options))
    return Fail(1, "cannot open medium '" + path + "' (permission denied or not a volume)");
  return 0;
}

}  // namespace cli
