// The card operations that other windows provide to the card operations window: the record
// list, the recording settings, and the card preparation steps (clearing, marking, formatting,
// erasing, recovery). Each is optional: while one is missing, the button or key that would
// start it is disabled rather than pretending to work. UI thread only.
#pragma once

#include <functional>

namespace app {

class TCardOpForm;

struct CardActions {
  using Action = std::function<void(TCardOpForm&)>;
  Action records;   // shows the record list modally for the open card
  Action settings;  // shows the recording settings modally; writes the service sector itself
  Action clear;     // clears a marked card (asks first), then reopens
  // Shows the marking window modally; true only when the card was marked and checked, so
  // that the card window writes the default service sector after a successful marking only.
  std::function<bool(TCardOpForm&)> mark;
  Action format;    // formats an unformatted card (asks first)
  Action erase;     // erases all records of a marked card (asks first), then reopens
  Action recover;   // tries to recover records when the ring pointers are equal
};

}  // namespace app
