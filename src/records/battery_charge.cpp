#include "records/battery_charge.h"

#include <cstdio>

namespace records {

namespace {

// Cell voltage falling and the fraction of the charge consumed at that voltage.
constexpr float kVolts[8] = {4.07f, 3.78f, 3.68f, 3.61f, 3.59f, 3.51f, 3.26f, 3.09f};
constexpr float kConsumed[8] = {0.0f,       0.2804878f, 0.4471545f, 0.7032520f,
                                0.7886179f, 0.9512195f, 0.9878049f, 1.0f};

}  // namespace

float BatteryVolts(uint32_t batteryAdc) { return float(batteryAdc * 5.5 / 4096); }

float BatteryCharge(float v) {
  if (v >= kVolts[0]) return 1.0f;
  if (v <= kVolts[7]) return 0.0f;
  for (int i = 1; i < 8; ++i) {
    if (kVolts[i] <= v && v < kVolts[i - 1]) {
      const float slope = (kConsumed[i] - kConsumed[i - 1]) / (kVolts[i] - kVolts[i - 1]);
      return 1.0f - (kConsumed[i - 1] + slope * (v - kVolts[i - 1]));
    }
  }
  return 0.0f;
}

int BatteryPercent(uint32_t batteryAdc) {
  return int(BatteryCharge(BatteryVolts(batteryAdc)) * 100.0f);
}

std::string BatteryLineText(uint32_t batteryAdc) {
  char text[64];
  std::snprintf(text, sizeof text, "заряд: %.2fv (~%d%%)", double(BatteryVolts(batteryAdc)),
                BatteryPercent(batteryAdc));
  return text;
}

}  // namespace records
