// Writes a simulated card the way the recorder leaves it, and reports what it wrote.
//
// Recordings are laid into the ring in scenario order from the block after the ring start
// block (wrapping past the region's end), each block carrying 255 data sectors of the
// recording's qbox stream and an information sector; gaps stay unwritten. The card service
// sector then gets rsr_sectnum and the ring pointers: rec_bgn = rsr + 256 × ring start block,
// rec_end = rsr + 256 × ring end block (the last block of the last recording). Damage is
// applied while writing (information sectors) or afterwards (partition files).
// No exception leaves these functions; failures come back in CardResult. One thread per call;
// calls on different sinks may run in parallel.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "card/region_geometry.h"
#include "card/servsectclass.h"
#include "cardsim/card_sink.h"
#include "cardsim/recording_stream.h"
#include "cardsim/scenario.h"

namespace cardsim {

struct RecordingResult {
  int index = 0;
  int device = 0;
  uint32_t imei_sn = 0;
  uint32_t poweron_uid0 = 0;
  uint64_t startrec_cycles = 0;
  uint32_t first_block = 0;  // block numbers in the ring (0 … N_s_s − 1)
  uint32_t last_block = 0;
  uint32_t blocks = 0;
  std::string stamp;         // FormatStamp of the first block's information sector
  double media_seconds = 0;  // pictures recorded / fps (lost blocks included)
  bool finished = true;
  // What converting the whole recording yields. With lost blocks: from the audio box before
  // the first key frame whose box starts on the card.
  StreamStats stats;
  // Per block, from the first: the media time in seconds of the last box begun before it
  // (the clock and GPS fix of the block are stamped at this time).
  std::vector<double> block_media_s;
  card::ServiceSector bss, ess;  // first and last information sector (before format_version
                                 // and zeroing damage)
};

struct CardResult {
  bool ok = false;
  std::string error;
  card::RegionGeometry geometry;
  uint32_t N_s_s = 0;
  uint32_t rsr_sectnum = 0;
  uint32_t ring_start_block = 0, ring_end_block = 0;
  uint32_t rec_bgn_sectnum = 0, rec_end_sectnum = 0;
  std::vector<RecordingResult> recordings;
};

struct WriteOptions {
  // When set, the expected elementary streams of recording i go to rec<i>.264 and rec<i>.aac
  // in this folder: what converting the whole recording should give.
  std::string es_dump_dir;
};

CardResult WriteCard(const Scenario& scenario, CardSink& sink, const WriteOptions& options = {});
CardResult WriteCardToFolder(const Scenario& scenario, const std::string& folder,
                             const WriteOptions& options = {});

// Region geometry of the scenario's partition files.
card::RegionGeometry ScenarioGeometry(const Scenario& s);

inline constexpr uint32_t kDataSectorsPerBlock = 255;
inline constexpr uint32_t kStreamBytesPerBlock = kDataSectorsPerBlock * 512;

}  // namespace cardsim
