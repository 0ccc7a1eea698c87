// The card operations window's formatting of an unformatted card: asks, closes the medium,
// runs mkfs.fat on it (FAT32), reports a failure with mkfs.fat's own words, and reopens the
// medium so that a freshly formatted card shows as empty and offers marking. UI thread only.
#pragma once

namespace app {

class TCardOpForm;

void FormatCardAction(TCardOpForm& form);

}  // namespace app
