// Lowers the calling thread to the system's idle priority, so background work (the record
// scan) never competes with the user interface. Call it from the thread to lower, first
// thing in its body. Returns false when the system refused; the thread then keeps running
// at its current priority.
#pragma once

namespace platform {

bool SetCurrentThreadIdlePriority();

}  // namespace platform
