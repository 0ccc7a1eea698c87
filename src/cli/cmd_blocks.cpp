#include "cli/commands.h"

namespace cli {

int RunBlocks(const Args&) { return Fail(1, "not available yet"); }

}  // namespace cli
