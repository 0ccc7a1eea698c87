#include "records/output_folder.h"

#include <filesystem>
#include <system_error>

namespace records {

std::string UsableStartFolder(const std::string& stored) {
  if (stored.empty()) return {};
  std::error_code ec;
  return std::filesystem::is_directory(stored, ec) ? stored : std::string();
}

std::string WithTrailingSeparator(const std::string& dir) {
  if (dir.empty()) return dir;
  const char last = dir.back();
  if (last == '/' || last == '\\') return dir;
  return dir + std::string(1, char(std::filesystem::path::preferred_separator));
}

}  // namespace records
