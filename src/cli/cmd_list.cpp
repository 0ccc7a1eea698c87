#include "cli/commands.h"

namespace cli {

int RunList(const Args&) { return Fail(1, "not available yet"); }

}  // namespace cli
