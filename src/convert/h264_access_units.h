// Groups H.264 NAL units into access units (pictures), the samples of the video track.
//
// A new access unit begins at an access unit delimiter, SPS, PPS, SEI or a type 14-18
// unit that follows a picture's slices, or at a slice whose first_mb_in_slice is 0 when
// the current unit already holds a slice. Units in front of a picture's first slice belong
// to that picture. Because a unit only closes once it holds a slice, every closed access
// unit holds a picture; units after the last slice of the stream belong to none.
// One instance per pass; not thread-safe.
#pragma once

#include <cstdint>
#include <span>

namespace convert {

enum H264NalType : int {
  kNalSlice = 1,
  kNalIdrSlice = 5,
  kNalSei = 6,
  kNalSps = 7,
  kNalPps = 8,
  kNalAccessUnitDelimiter = 9,
};

inline int NalType(std::span<const uint8_t> nal) { return nal.empty() ? 0 : nal[0] & 0x1F; }
inline bool IsSliceNal(int type) { return type >= kNalSlice && type <= kNalIdrSlice; }

// first_mb_in_slice is the first ue(v) after the header byte: it is 0 exactly when that
// byte's top bit is set (a one-bit code). The byte cannot be an emulation-prevention byte.
inline bool SliceStartsPicture(std::span<const uint8_t> nal) {
  return nal.size() >= 2 && (nal[1] & 0x80) != 0;
}

class AccessUnitSplitter {
 public:
  // Feeds the next unit; true when it closes the current access unit and opens a new one.
  bool Feed(std::span<const uint8_t> nal);
  bool current_has_picture() const { return has_slice_; }

 private:
  bool has_slice_ = false;
};

}  // namespace convert
