// The parts of an open card that the record list works on: the shared region reader, the
// card service sector copy with its ring values, and the write that stores that copy.
//
// Built from the card medium when the window opens (tests build one over an in-memory
// region). The referenced service sector and the reader must outlive the window's use.
// UI thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "card/region_reader.h"
#include "card/servsectclass.h"

namespace card {
class CardMedium;
}

namespace records {

struct RecListMedium {
  std::shared_ptr<card::RegionReader> reader;  // null when the card holds no record region
  card::ServiceSector* serviceSector = nullptr;  // the medium's working copy
  bool imageMode = false;                        // a card image folder: never written
  uint32_t N_s_s = 0, s_s_bgn = 0, s_s_end = 0;
  bool ringFull = false;  // the ring is full and has wrapped (see records::RingIsFull)
  // Stores *serviceSector on the card; false when refused (read-only) or failed.
  std::function<bool()> writeServiceSector;
  // Makes the medium accept writes: a medium opened for reading is opened again for writing,
  // which reads *serviceSector afresh and replaces `reader` in the view passed. False when the
  // medium cannot be written.
  std::function<bool(RecListMedium& view)> makeWritable;
};

// The view of an open card medium; `medium` must outlive it.
RecListMedium RecListMediumOf(card::CardMedium& medium);

}  // namespace records
