#include "cli/decimal_arg.h"

#include <cstdlib>

namespace cli {

bool ParseDecimal(const std::string& text, size_t maxDigits, int64_t& out) {
  if (text.empty() || text.size() > maxDigits || maxDigits > 18) return false;
  if (text.find_first_not_of("0123456789") != std::string::npos) return false;
  out = std::strtoll(text.c_str(), nullptr, 10);
  return true;
}

}  // namespace cli
