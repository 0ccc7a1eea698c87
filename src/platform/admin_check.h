// Whether this process may open card devices raw: effective uid 0, or membership of the
// `disk` group (effective or supplementary). Any thread.
#pragma once

namespace platform {

bool IsAdministrator();

}  // namespace platform
