#include "convert/h264_parameter_sets.h"

#include <algorithm>

#include "convert/h264_access_units.h"
#include "convert/h264_sps.h"

namespace convert {

const std::vector<uint8_t>* ParameterSetStore::Find(int type, uint32_t id) const {
  const auto& ids = type == kNalSps ? sps_ids_ : pps_ids_;
  const auto& sets = type == kNalSps ? sps_ : pps_;
  const auto it = std::find(ids.begin(), ids.end(), id);
  return it == ids.end() ? nullptr : &sets[size_t(it - ids.begin())];
}

bool ParameterSetStore::Offer(std::span<const uint8_t> nal) {
  const int type = NalType(nal);
  if (type != kNalSps && type != kNalPps) return false;
  const auto id = ParameterSetId(nal);
  if (!id) return false;
  if (Find(type, *id) == nullptr) {
    auto& ids = type == kNalSps ? sps_ids_ : pps_ids_;
    auto& sets = type == kNalSps ? sps_ : pps_;
    // The first SPS must parse: it gives the picture size and timing.
    if (type == kNalSps && !ParseSps(nal)) return false;
    if (sets.size() >= (type == kNalSps ? kMaxSps : kMaxPps) || nal.size() > 0xFFFF) {
      return false;
    }
    ids.push_back(*id);
    sets.emplace_back(nal.begin(), nal.end());
    return true;
  }
  return IsStored(nal);
}

bool ParameterSetStore::IsStored(std::span<const uint8_t> nal) const {
  const int type = NalType(nal);
  if (type != kNalSps && type != kNalPps) return false;
  const auto id = ParameterSetId(nal);
  if (!id) return false;
  const std::vector<uint8_t>* stored = Find(type, *id);
  return stored != nullptr && std::equal(stored->begin(), stored->end(), nal.begin(), nal.end());
}

}  // namespace convert
