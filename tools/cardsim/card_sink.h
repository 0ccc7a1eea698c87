// Where a simulated card goes: the sectors of the record region and the card service sector,
// addressed as the recorder addresses them. Implementations: an image folder of hc files
// (image_folder_sink.h) and the hc files inside a marked FAT32 volume image
// (volume_image_sink.h). One thread at a time; errors come back as false plus error().
#pragma once

#include <cstdint>
#include <string>

#include "base/sector.h"
#include "cardsim/scenario.h"

namespace cardsim {

class CardSink {
 public:
  virtual ~CardSink() = default;
  // Writes `count` sectors from region sector `first`; the run never crosses a partition file.
  virtual bool WriteRegion(uint32_t first, const uint8_t* data, uint32_t count) = 0;
  // The first sector of hc00info.hcf and of hc01info.hcf.
  virtual bool WriteServiceSector(const base::Sector& sector) = 0;
  // Deletes or truncates a partition file after the card is written.
  virtual bool ApplyFileDamage(const Damage& damage) = 0;
  // Flushes everything to the medium.
  virtual bool Finish() = 0;
  // Card sector of the region's first sector (rsr_sectnum), when the medium fixes it.
  virtual bool FixedRsrSectnum(uint32_t& rsr) const { (void)rsr; return false; }
  const std::string& error() const { return error_; }

 protected:
  bool Fail(std::string message) {
    error_ = std::move(message);
    return false;
  }
  std::string error_;
};

}  // namespace cardsim
