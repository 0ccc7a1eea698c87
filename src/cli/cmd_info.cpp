#include "cli/commands.h"

namespace cli {

int RunInfo(const Args&) { return Fail(1, "not available yet"); }

}  // namespace cli
