// Opening the record list window on the card medium of the card operations window.
#include "card/card_medium.h"
#include "records/reclist_form.h"

records::RecListMedium TRecListForm::MediumView(card::CardMedium& medium) {
  records::RecListMedium m;
  m.reader = medium.regionReader();
  m.serviceSector = &medium.serviceSector;
  m.imageMode = medium.imageMode;
  m.N_s_s = medium.N_s_s;
  m.s_s_bgn = medium.s_s_bgn;
  m.s_s_end = medium.s_s_end;
  m.writable = !medium.imageMode && medium.writable();
  m.writeServiceSector = [&medium] { return medium.WriteCardServiceSector(); };
  return m;
}

int TRecListForm::openFor(card::CardMedium& medium) { return openWith(MediumView(medium)); }
