// The SPS and PPS units of a stream, first occurrence per id, for the avcC box.
//
// A parameter set that is byte-identical to the stored one of its id leaves the samples
// (the sample entry carries it); one that differs stays in the samples so that a decoder
// still sees the change. Learning (Offer) happens in the scan pass; the copy pass asks
// IsStored and gets the same answer for every unit, since stored sets never change.
// Not thread-safe; read-only use from several threads is fine.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace convert {

class ParameterSetStore {
 public:
  static constexpr size_t kMaxSps = 31;   // avcC counts SPS in 5 bits
  static constexpr size_t kMaxPps = 255;  // and PPS in 8

  // Stores the unit if its id is new; true when the unit now equals the stored set.
  bool Offer(std::span<const uint8_t> nal);
  bool IsStored(std::span<const uint8_t> nal) const;

  // In order of first appearance.
  const std::vector<std::vector<uint8_t>>& sps() const { return sps_; }
  const std::vector<std::vector<uint8_t>>& pps() const { return pps_; }

 private:
  const std::vector<uint8_t>* Find(int type, uint32_t id) const;

  std::vector<std::vector<uint8_t>> sps_;
  std::vector<std::vector<uint8_t>> pps_;
  std::vector<uint32_t> sps_ids_;
  std::vector<uint32_t> pps_ids_;
};

}  // namespace convert
