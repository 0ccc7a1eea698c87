#include "card/drive_line.h"

#include "card/card_state.h"
#include "platform/raw_volume.h"

namespace card {

std::string DriveLine(const DriveCandidate& drive, uint64_t lengthBytes, const VolumeGeometry& g) {
  std::string line = drive.devicePath;
  if (!drive.mountPoint.empty()) line += " (" + drive.mountPoint + ")";
  line += ", " + FormatBytes(lengthBytes) + ", ";
  line += g.isFat32 ? " FAT32" : g.isFat12 ? " FAT12" : " FAT16";
  if (g.empty) line += ", formatted";
  return line;
}

bool IsFat32DriveLine(const std::string& line) {
  return line.find(kFat32Piece) != std::string::npos;
}

std::vector<DriveListing> ListDrives(const std::vector<DriveCandidate>& candidates,
                                     platform::NoticeSink& notices) {
  std::vector<DriveListing> listings;
  for (const DriveCandidate& drive : candidates) {
    int error = 0;
    const std::unique_ptr<platform::RawVolume> volume =
        platform::OpenFileVolume(drive.devicePath, false, &error);
    if (!volume) {
      notices.notice(platform::NoticeKind::plain, "can't open " + drive.devicePath,
                     platform::SystemReason(drive.devicePath, error));
      continue;
    }
    const VolumeGeometry g = RecogniseVolumeOn(*volume);
    if (!g.recognised) continue;
    listings.push_back({DriveLine(drive, volume->length(), g), drive.devicePath});
  }
  return listings;
}

}  // namespace card
