// The recorder's battery state from the `battery_adc` reading of an information sector: the
// voltage, the remaining charge by the cell's discharge curve, and the one-line text the
// preview and the subtitles show ("заряд: 3.85v (~78%)"). Pure functions, any thread.
#pragma once

#include <cstdint>
#include <string>

namespace records {

// Volts = reading x 5.5 / 4096, in single precision as the charge curve is evaluated.
float BatteryVolts(uint32_t batteryAdc);

// Remaining charge 0..1 for `volts`, interpolated linearly on the discharge table.
float BatteryCharge(float volts);

// Remaining charge in percent, truncated toward zero.
int BatteryPercent(uint32_t batteryAdc);

// "заряд: " + volts with 2 decimals + "v (~" + percent + "%)".
std::string BatteryLineText(uint32_t batteryAdc);

}  // namespace records
