#include "cardsim/demo_scenario.h"

namespace cardsim {

Scenario DemoScenario() {
  Scenario s;
  s.seed = 2014;
  s.partition_file_bytes.assign(4, 2u << 20);
  s.ring_start_block = 50;  // the recordings run from block 51 past block 63 to the start
  s.quality = 1;
  // The recorder's clock runs 3 hours ahead of UTC; the track moves, stops and loses its fix.
  s.gps.utc_offset_h = 3;
  s.gps.speed_knots = 20;
  s.gps.move_s = 6, s.gps.stop_s = 3, s.gps.lost_s = 2;
  s.devices = {DeviceSpec{12345, 0x00C0FFEE, 0x0203, 5000},
               DeviceSpec{0x00ABCDEF, 0x00BADA55, 0x0204, 77000}};
  RecordingSpec r;
  r.device = 0;
  r.power_on = 0;
  r.start = CivilTime{2014, 3, 5, 14, 7, 9};
  r.duration_s = 4;
  s.recordings.push_back(r);
  r.start.reset();
  r.pause_s = 95;
  r.duration_s = 6;
  s.recordings.push_back(r);
  r.device = 1;
  r.start = CivilTime{2014, 3, 6, 9, 30, 0};
  r.duration_s = 5;
  r.gap_blocks = 2;
  s.recordings.push_back(r);
  r.device = 0;
  r.power_on = 1;
  r.start = CivilTime{2014, 3, 8, 2, 59, 55};  // 23:59:55 UTC: the fixes cross midnight
  r.duration_s = 12;
  r.gap_blocks = 0;
  s.recordings.push_back(r);
  return s;
}

}  // namespace cardsim
