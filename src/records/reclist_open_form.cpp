// Opening the record list window on the card medium of the card operations window.
#include "records/reclist_form.h"

int TRecListForm::openFor(card::CardMedium& medium) {
  return openWith(records::RecListMediumOf(medium));
}
