// The card preparation steps behind the card operations window's mode button and hidden keys,
// and the store of the settings window: each asks where the user must confirm, rewrites the
// card service sector through prepare/, reports the outcome in a message box, and reopens the
// card (or, after a recovery, closes the card window so that the main window reopens it).
// UI thread only.
#pragma once

#include "card/servsectclass.h"

namespace app {

class TCardOpForm;
class TSettingsForm;

// Clearing (mode button on a marked card): begin = end.
void ClearCardAction(TCardOpForm& form);
// Erase (Ctrl+E): both ring pointers unset.
void EraseCardAction(TCardOpForm& form);
// Recovery (Ctrl+R, ring begin = end): the whole ring but one block declared recorded. True
// when the pointers were written.
bool RecoverRecordsAction(TCardOpForm& form);
// Shows the settings window for the open card; a save writes the edited sector.
void SettingsAction(TSettingsForm& settings, TCardOpForm& form);

}  // namespace app
