// Every named field of a service sector as JSON: numbers as unsigned integers, `magic` and
// `stream_config` as hex text, the timers decoded from BCD, `gps_rmc` as text. Any thread.
#pragma once

#include <nlohmann/json.hpp>

#include "card/servsectclass.h"

namespace cli {

nlohmann::ordered_json ServiceSectorJson(const card::ServiceSector& s);

}  // namespace cli
