// The card state as the user sees it, computed from an opened medium: the card class, the
// description text, the status icons, the audio label and the used/free bar. A pure model:
// the card operations window draws it, korvan-cli prints it. Any thread (no shared state).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "card/servsectclass.h"
#include "card/volume_kind.h"

namespace card {

class CardMedium;

// "1.5GB", "1.769GB" (fraction truncated to three digits, trailing zeros dropped), "512B".
std::string FormatBytes(uint64_t n);

enum class CardClass { unformatted, empty, marked };
const char* CardClassName(CardClass c);  // "unformatted" | "empty" | "marked"

// What the state is computed from; FromMedium fills it from an open medium.
struct CardStateInput {
  bool imageMode = false;
  bool emptyFat32 = false;
  bool marked = false;
  std::string mediumLabel;  // device path, with its mount point when mounted
  uint32_t volumeSectors = 0;
  uint64_t cardLength = 0;  // the size shown when the boot sector gives none (not a FAT volume)
  VolumeKind volumeKind = VolumeKind::unknown;  // named for a card that is not formatted
  bool serviceSectorLocated = true;  // false: the info files were not located, writes refused
  uint32_t N_sectors_in_rsr = 0;  // of the medium (the file check), not of the sector
  ServiceSector serviceSector;

  static CardStateInput FromMedium(const CardMedium& m);
};

CardClass ClassOf(const CardStateInput& in);

// Icon names: "EMPTY", "WARNING", "STAR", "OSD", "RING", "WALL", "MIC", "CLOCK".
struct CardStateView {
  CardClass cardClass = CardClass::unformatted;
  std::string description;  // lines separated by '\n'
  std::array<std::string, 4> img_q;  // three quality stars, then the overlay icon
  std::string img_f, img_a, img_t;
  std::string label_a;
};

CardStateView DescribeCardState(const CardStateInput& in);

struct UsageView {
  bool marked = false;
  std::string text;        // the centred bar text
  uint64_t usedSectors = 0;
  uint64_t totalSectors = 0;
  // Width in pixels of the used part inside a bar picture `width` pixels wide (1-pixel frame).
  int fillWidth(int width) const;
};

UsageView DescribeUsage(const CardStateInput& in, bool showFree);

// "/dev/sdb1" or "/dev/sdb1 (/media/card)"; the path for image files.
std::string MediumLabel(const CardMedium& m);

}  // namespace card
