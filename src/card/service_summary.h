// The card service sector summary shown by the card operations window (Ctrl+I): the ring
// pointers, their block numbers, the region size, rsr_sectnum, the label and the recstate.
// Every number is printed as signed decimal; block numbers use unsigned 32-bit shifts.
// Pure; any thread.
#pragma once

#include <string>

#include "card/servsectclass.h"

namespace card {

std::string ServiceSectorSummary(const ServiceSector& s);

}  // namespace card
