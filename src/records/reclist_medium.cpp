#include "records/reclist_medium.h"

#include "card/card_medium.h"
#include "records/scan_ring.h"

namespace records {

RecListMedium RecListMediumOf(card::CardMedium& medium) {
  RecListMedium m;
  m.reader = medium.regionReader();
  m.serviceSector = &medium.serviceSector;
  m.imageMode = medium.imageMode;
  m.N_s_s = medium.N_s_s;
  m.s_s_bgn = medium.s_s_bgn;
  m.s_s_end = medium.s_s_end;
  m.ringFull = RingIsFull(medium.serviceSector);
  m.writeServiceSector = [&medium] { return medium.WriteCardServiceSector(); };
  m.makeWritable = [&medium](RecListMedium& view) {
    if (medium.imageMode) return false;
    if (medium.writable()) return true;
    // Media are opened for reading; a write opens the same medium again for writing, and
    // falls back to reading when that is refused, so that the card stays open either way.
    const std::string path = medium.mediumPath;
    const bool ok =
        medium.OpenMedium(path, card::OpenOptions{.writable = true}) && medium.writable();
    if (!ok) medium.OpenMedium(path);
    view.reader = medium.regionReader();
    return ok;
  };
  return m;
}

}  // namespace records
