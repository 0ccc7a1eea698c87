// The built-in demonstration card: four recordings from two devices, three power-on periods,
// a gap of empty blocks and a ring that wraps past the end of an 8 MiB region (four partition
// files). Written in a few seconds; used by scripts/demo.sh and as a ready-made test card.
#pragma once

#include "cardsim/scenario.h"

namespace cardsim {

Scenario DemoScenario();

}  // namespace cardsim
