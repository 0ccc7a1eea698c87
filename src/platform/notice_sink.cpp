#include "platform/notice_sink.h"

#include <cerrno>
#include <cstring>

namespace platform {

std::string SystemReason(const std::string& path, int error) {
  std::string text = path + ": " + std::strerror(error);
  if (error == EACCES || error == EPERM) text += " (run as root or join the disk group)";
  return text;
}

}  // namespace platform
