// Unsigned decimal command-line values: digits only (no sign, no spaces), at most
// `maxDigits` of them so that the value fits the caller's type. Any thread.
#pragma once

#include <cstdint>
#include <string>

namespace cli {

bool ParseDecimal(const std::string& text, size_t maxDigits, int64_t& out);

}  // namespace cli
