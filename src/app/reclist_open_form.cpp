// Opening the record list window on the card medium of the card operations window.
#include "app/reclist_form.h"

int TRecListForm::openFor(card::CardMedium& medium, bool thorough) {
  return openWith(records::RecListMediumOf(medium), thorough);
}
