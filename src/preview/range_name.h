// The output name of a range conversion: "<stamp>_NNN" with the first three-digit number,
// from 001, whose .mp4 does not exist yet in the output folder. Any thread.
#pragma once

#include <string>

namespace preview {

// `dir` ends with '/' (or is empty for the working directory).
std::string FirstFreeRangeName(const std::string& dir, const std::string& stamp);

}  // namespace preview
