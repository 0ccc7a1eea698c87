// Storing a changed card service sector: the one path by which settings, clearing, erase and
// recovery reach the card. The change is made on a copy; the medium's sector takes it only
// when both info-file copies were written, so after a failed write the medium still holds
// what the card holds and nothing claims success.
// UI thread (the thread that owns the medium).
#pragma once

#include <functional>

#include "card/card_medium.h"
#include "card/servsectclass.h"

namespace prepare {

enum class WriteOutcome {
  written,   // the sector is on the card
  refused,   // not a marked, writable volume, or `change` declined; nothing written
  failed,    // the write failed; the medium's sector is unchanged
};

// Applies `change` (false = decline) to a copy of the medium's service sector and writes it.
WriteOutcome ApplyToCardServiceSector(card::CardMedium& medium,
                                      const std::function<bool(card::ServiceSector&)>& change);

// Opens the same medium again for writing when it was opened for reading (which reads the
// service sector afresh). On refusal the medium is opened for reading again, so that it stays
// open either way. False for an image folder or when writing is refused.
bool MakeMediumWritable(card::CardMedium& medium);

// The medium as the messages name it: the device node, else the image file path.
std::string MediumLabel(const card::CardMedium& medium);

}  // namespace prepare
