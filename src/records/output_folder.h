// The output folder rules shared by a conversion start and the battery log: a stored folder
// is offered only while it exists, and a chosen folder is used with a trailing separator so
// that file names can be appended to it. Pure functions apart from the existence check.
#pragma once

#include <string>

namespace records {

// `stored` when it names an existing folder, otherwise "".
std::string UsableStartFolder(const std::string& stored);

// `dir` with one trailing separator ("" stays ""; a root such as "/" gets no second one).
std::string WithTrailingSeparator(const std::string& dir);

}  // namespace records
