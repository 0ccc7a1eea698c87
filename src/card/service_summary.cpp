#include "card/service_summary.h"

#include <cstdint>

namespace card {

namespace {

std::string Signed(uint32_t v) { return std::to_string(static_cast<int32_t>(v)); }

}  // namespace

std::string ServiceSectorSummary(const ServiceSector& s) {
  const uint32_t bgn = s.rec_bgn_sectnum(), end = s.rec_end_sectnum(), rsr = s.rsr_sectnum();
  const uint32_t n = s.N_sectors_in_rsr();
  return "rec_bgn/end_sectnum: [" + Signed(bgn) + " : " + Signed(end) + "]" +
         "\n == [" + Signed((bgn - rsr) >> 8) + "ss : " + Signed((end - rsr) >> 8) + "ss]" +
         "\n N_sectors_in_rsr = " + Signed(n) + " = " + Signed(n >> 8) + "ss" +
         "\n rsr_sectnum = " + Signed(rsr) +
         "\n serv_label_number = " + Signed(s.serv_label_number()) +
         "\n recstate = " + RecstateText(s.recstate());
}

}  // namespace card
