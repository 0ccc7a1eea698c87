#include "card/card_state.h"

#include "card/card_medium.h"

namespace card {

std::string FormatBytes(uint64_t n) {
  int shift = 0;
  const char* letter = "";
  if (n >= (uint64_t(1) << 30)) {
    shift = 30;
    letter = "G";
  } else if (n >= (uint64_t(1) << 20)) {
    shift = 20;
    letter = "M";
  } else if (n >= (uint64_t(1) << 10)) {
    shift = 10;
    letter = "k";
  }
  const uint64_t whole = n >> shift;
  std::string digits;
  if (shift > 0) {
    // Thousandths of the remainder, truncated; exact in integers.
    const uint64_t rest = n - (whole << shift);
    digits = std::to_string((rest * 1000) >> shift);
    while (digits.size() < 3) digits.insert(digits.begin(), '0');
    while (!digits.empty() && digits.back() == '0') digits.pop_back();
  }
  std::string text = std::to_string(whole);
  if (!digits.empty()) text += "." + digits;
  return text + letter + "B";
}

const char* CardClassName(CardClass c) {
  switch (c) {
    case CardClass::empty: return "empty";
    case CardClass::marked: return "marked";
    case CardClass::unformatted: break;
  }
  return "unformatted";
}

std::string MediumLabel(const CardMedium& m) {
  std::string label = m.devicePath.empty() ? m.mediumPath : m.devicePath;
  if (!m.mountPoint.empty()) label += " (" + m.mountPoint + ")";
  return label;
}

CardStateInput CardStateInput::FromMedium(const CardMedium& m) {
  CardStateInput in;
  in.imageMode = m.imageMode;
  in.emptyFat32 = m.emptyFat32;
  in.marked = m.marked;
  in.mediumLabel = MediumLabel(m);
  in.volumeSectors = m.volumeSectors();
  in.cardLength = m.cardLength;
  in.volumeKind = m.volumeKind;
  in.serviceSectorLocated = m.serviceSectorLocated();
  in.N_sectors_in_rsr = m.region.N_sectors_in_rsr;
  in.serviceSector = m.serviceSector;
  return in;
}

CardClass ClassOf(const CardStateInput& in) {
  if (in.marked) return CardClass::marked;
  if (in.emptyFat32) return CardClass::empty;
  return CardClass::unformatted;
}

namespace {

// What an unformatted volume holds, when that tells the user something: a file system the
// recorder cannot use (the exFAT of a new card over 32 GB, NTFS, FAT12/16), or none at all.
std::string FoundFileSystemLine(VolumeKind kind) {
  switch (kind) {
    case VolumeKind::exfat:
    case VolumeKind::ntfs:
    case VolumeKind::fat12:
    case VolumeKind::fat16:
      return std::string("\nНайдена файловая система ") + VolumeKindName(kind) + ", нужна FAT32.";
    case VolumeKind::none:
      return "\nФайловая система не найдена.";
    case VolumeKind::fat32:
    case VolumeKind::unknown:
      break;
  }
  return "";
}

}  // namespace

CardStateView DescribeCardState(const CardStateInput& in) {
  CardStateView v;
  v.cardClass = ClassOf(in);
  v.img_q.fill("EMPTY");
  v.img_f = v.img_a = v.img_t = "EMPTY";
  std::string& text = v.description;
  text = in.imageMode ? "Образ карты памяти" : "Сменный носитель " + in.mediumLabel;
  // A volume whose boot sector gives no size (not FAT at all) shows the device's own length.
  const uint64_t volumeBytes =
      in.volumeSectors != 0 ? uint64_t(in.volumeSectors) * 512 : in.cardLength;
  switch (v.cardClass) {
    case CardClass::unformatted:
      v.img_t = "WARNING";
      text += " не форматирован!\nОбъём " + FormatBytes(volumeBytes);
      text += FoundFileSystemLine(in.volumeKind);
      break;
    case CardClass::empty:
      v.img_t = "WARNING";
      text += " не размечен!\nОбъём " + FormatBytes(volumeBytes);
      break;
    case CardClass::marked: {
      text += " размечен.\nПод записи отведено " +
              FormatBytes(uint64_t(in.N_sectors_in_rsr) * 512) + " из " +
              FormatBytes(volumeBytes);
      if (!in.serviceSectorLocated)
        text += "\nСлужебный сектор не найден на томе: запись на карту невозможна.";
      const ServiceSector& s = in.serviceSector;
      const uint8_t q = s.av_quality_level();
      v.img_q[0] = "STAR";
      v.img_q[1] = q == 2 ? "EMPTY" : "STAR";
      v.img_q[2] = q == 1 || q == 2 ? "EMPTY" : "STAR";
      v.img_q[3] = s.osd_flags() != 0 ? "OSD" : "EMPTY";
      v.img_f = (s.rec_mode_flags() & 1) ? "RING" : "WALL";
      v.img_a = "MIC";
      const int input = s.audio_input_conf() & 3;
      v.label_a = input == 1 ? "AGC" : input == 2 ? "LINE" : "MIC";
      if (const int vox = s.audio_vox_level() & 15) v.label_a += ", Vox " + std::to_string(vox);
      v.img_t = s.any_timer_set() ? "CLOCK" : "EMPTY";
      break;
    }
  }
  return v;
}

int UsageView::fillWidth(int width) const {
  if (!marked || totalSectors == 0 || width <= 2) return 0;
  return int(uint64_t(width - 2) * usedSectors / totalSectors);
}

UsageView DescribeUsage(const CardStateInput& in, bool showFree) {
  UsageView u;
  if (!in.marked) {
    u.text = std::string(36, '=');
    return u;
  }
  u.marked = true;
  const ServiceSector& s = in.serviceSector;
  int64_t used = int32_t(s.rec_end_sectnum() - s.rec_bgn_sectnum());
  if (used < 0) used += in.N_sectors_in_rsr;
  // A damaged sector may point outside the ring: keep the figures within it.
  if (used < 0) used = 0;
  if (used > int64_t(in.N_sectors_in_rsr)) used = in.N_sectors_in_rsr;
  u.usedSectors = uint64_t(used);
  u.totalSectors = in.N_sectors_in_rsr;
  const std::string total = FormatBytes(u.totalSectors * 512);
  if (showFree)
    u.text = " Своб.: " + FormatBytes((u.totalSectors - u.usedSectors) * 512) + " из " + total;
  else
    u.text = " Заполн.: " + FormatBytes(u.usedSectors * 512) + " из " + total;
  return u;
}

}  // namespace card
