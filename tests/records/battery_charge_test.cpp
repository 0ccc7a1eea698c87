#include "records/battery_charge.h"

#include <gtest/gtest.h>

namespace records {
namespace {

TEST(BatteryCharge, ReadingsGiveTheDischargeCurvePercentages) {
  EXPECT_EQ(BatteryPercent(3032), 100);  // 4.07 V: full
  EXPECT_EQ(BatteryPercent(3031), 99);   // just below full
  EXPECT_EQ(BatteryPercent(2867), 78);
  EXPECT_EQ(BatteryPercent(2600), 4);
  EXPECT_EQ(BatteryPercent(2301), 0);  // 3.09 V: empty
  EXPECT_EQ(BatteryPercent(0), 0);
  EXPECT_EQ(BatteryPercent(0xFFFFFFFFu), 100);
}

TEST(BatteryCharge, LineShowsVoltsWithTwoDecimalsAndPercent) {
  EXPECT_EQ(BatteryLineText(3032), "заряд: 4.07v (~100%)");
  EXPECT_EQ(BatteryLineText(2867), "заряд: 3.85v (~78%)");
  EXPECT_EQ(BatteryLineText(2600), "заряд: 3.49v (~4%)");
  EXPECT_EQ(BatteryLineText(2301), "заряд: 3.09v (~0%)");
}

}  // namespace
}  // namespace records
