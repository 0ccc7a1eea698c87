#include "prepare/service_sector_write.h"

namespace prepare {

WriteOutcome ApplyToCardServiceSector(card::CardMedium& medium,
                                      const std::function<bool(card::ServiceSector&)>& change) {
  if (!medium.marked || medium.imageMode || !medium.writable()) return WriteOutcome::refused;
  card::ServiceSector changed = medium.serviceSector;
  if (!change(changed)) return WriteOutcome::refused;
  const card::ServiceSector before = medium.serviceSector;
  medium.serviceSector = changed;
  if (!medium.WriteCardServiceSector()) {
    medium.serviceSector = before;
    medium.ComputeDerivedRingValues();
    return WriteOutcome::failed;
  }
  medium.ComputeDerivedRingValues();
  return WriteOutcome::written;
}

bool MakeMediumWritable(card::CardMedium& medium) {
  if (medium.imageMode || medium.mediumPath.empty()) return false;
  if (medium.writable()) return true;
  const std::string path = medium.mediumPath;
  const bool ok = medium.OpenMedium(path, card::OpenOptions{.writable = true}) && medium.writable();
  if (!ok) medium.OpenMedium(path);
  return ok;
}

std::string MediumLabel(const card::CardMedium& medium) {
  return medium.devicePath.empty() ? medium.mediumPath : medium.devicePath;
}

}  // namespace prepare
