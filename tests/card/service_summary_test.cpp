#include "card/service_summary.h"

#include <gtest/gtest.h>

namespace {

TEST(ServiceSectorSummary, FreshlyMarkedCardShowsUnsetPointers) {
  card::RegionGeometry g;
  g.N_rsf = 2;
  g.N_sectors_in_standard_rsf = 4096;
  g.N_sectors_in_the_last_rsf = 2048;
  g.N_sectors_in_rsr = 6144;
  card::ServiceSector s;
  card::InitServiceSector(s, g);
  EXPECT_EQ(card::ServiceSectorSummary(s),
            "rec_bgn/end_sectnum: [-1 : -1]\n == [0ss : 0ss]\n N_sectors_in_rsr = 6144 = 24ss"
            "\n rsr_sectnum = -1\n serv_label_number = -1\n recstate = ()");
}

TEST(ServiceSectorSummary, BlockNumbersCountFromTheRegionStart) {
  card::ServiceSector s;
  s.set_rsr_sectnum(10000);
  s.set_rec_bgn_sectnum(10000 + 3 * 256);
  s.set_rec_end_sectnum(10000 + 7 * 256 + 17);
  s.set_N_sectors_in_rsr(0x80000000u);  // beyond the signed range: printed as negative
  s.set_serv_label_number(42);
  s.set_recstate(3);
  EXPECT_EQ(card::ServiceSectorSummary(s),
            "rec_bgn/end_sectnum: [10768 : 11809]\n == [3ss : 7ss]\n N_sectors_in_rsr = "
            "-2147483648 = 8388608ss\n rsr_sectnum = 10000\n serv_label_number = 42\n"
            " recstate = (bc)");
}

}  // namespace
