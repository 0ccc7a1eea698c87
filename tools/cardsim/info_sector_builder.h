// Builds the 512-byte sectors the simulated recorder writes: the information sector of each
// block and the card service sector. Both start from the initialiser's defaults (so reserved
// fields carry their usual values) and then take the recorder's settings from the scenario.
// Pure functions; any thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "card/region_geometry.h"
#include "card/servsectclass.h"
#include "cardsim/civil_time.h"
#include "cardsim/qbox_writer.h"
#include "cardsim/scenario.h"

namespace cardsim {

// What changes from block to block.
struct BlockStamp {
  uint32_t label = 0;
  uint8_t recstate = 0;  // bit 0 first block, bit 1 continuation, bit 2 last block
  uint64_t cycles = 0;
  uint64_t startrec_cycles = 0;
  uint32_t poweron_uid0 = 0;
  CivilTime date;
  double battery_v = 4.0;
  std::string gps_rmc;
  uint32_t rec_bgn_sectnum = card::kUnsetPointer;
  uint32_t rec_end_sectnum = card::kUnsetPointer;
};

card::ServiceSector BuildInfoSector(const Scenario& s, const DeviceSpec& device,
                                    const card::RegionGeometry& g, uint32_t rsr_sectnum,
                                    const std::array<uint8_t, kConfigPairSize>& config,
                                    const BlockStamp& stamp);

// The card service sector the recorder leaves behind: defaults, the recorder's settings,
// rsr_sectnum and the ring pointers.
card::ServiceSector BuildCardServiceSector(const Scenario& s, const card::RegionGeometry& g,
                                           uint32_t rsr_sectnum, uint32_t rec_bgn_sectnum,
                                           uint32_t rec_end_sectnum);

// battery_adc for a voltage: volts = value * 5.5 / 4096.
uint32_t BatteryAdc(double volts);

}  // namespace cardsim
