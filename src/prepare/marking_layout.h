// The marking layout: how many partition files, of which power-of-two sizes, share out a given
// number of bytes, and the marking window's slider rule that turns a share of the card into
// such a layout. Pure functions; any thread.
#pragma once

#include <cstdint>

namespace prepare {

inline constexpr uint64_t kMaxFileBytes = 0x40000000;  // 1 GiB: largest partition file
inline constexpr uint64_t kMinLastFileBytes = 0x100000;  // 1 MiB: smallest last file
inline constexpr int kMaxFileCount = 256;
inline constexpr int kStartFileCount = 8;

// Smallest 2^c with c >= 1 and 2^c >= x.
uint64_t CeilPow2(int64_t x);
// Largest 2^c (c >= 1) with 2^c <= x; 1 when x < 2.
uint64_t FloorPow2(int64_t x);

struct MarkingLayout {
  int fileCount = 0;               // N partition files (2..256 when valid)
  uint64_t standardFileBytes = 0;  // S: every file but the last
  uint64_t lastFileBytes = 0;      // L: the last file
  uint64_t regionBytes() const { return uint64_t(fileCount - 1) * standardFileBytes + lastFileBytes; }
  // Size of partition file i (0-based).
  uint64_t fileBytes(int i) const { return i + 1 < fileCount ? standardFileBytes : lastFileBytes; }
};

// Searches a layout for `totalBytes` starting from `fileCount` files: grows N while the last
// file would be larger than the others, then shrinks it until the last file is at least 1 MiB
// and not larger than the others. False (and N = 1, S = 0) when no layout exists.
bool ChooseLayout(uint64_t totalBytes, int fileCount, MarkingLayout& out);

struct ShareLayout {
  bool ok = false;  // false: not even 100 % gives a layout
  int share = 0;    // the slider position the layout was found at (moved up from the request)
  MarkingLayout layout;
};

// The slider rule: T = cardLength x share / 100, bounded by `freeBytes` (the data area that the
// partition files can really occupy), layout searched from 8 files; a share that gives no
// layout moves up one step at a time until one does. `share` is clamped to 1..100.
ShareLayout LayoutForShare(uint64_t cardLength, uint64_t freeBytes, int share);

}  // namespace prepare
