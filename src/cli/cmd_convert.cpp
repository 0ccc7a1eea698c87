#include "cli/commands.h"

namespace cli {

int RunConvert(const Args&) { return Fail(1, "not available yet"); }

}  // namespace cli
