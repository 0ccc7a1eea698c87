#include "card/card_medium.h"

#include <sys/stat.h>

#include "card/card_files.h"
#include "card/fat32_reader.h"
#include "card/mbr.h"
#include "card/partition_file_reader.h"
#include "platform/block_device.h"
#include "platform/mounts.h"
#include "platform/raw_write_session.h"

namespace card {

namespace {
constexpr uint32_t kImageSector = 0xFFFFFFFF;
constexpr const char* kCannotOpen = "Невозможно открыть сменный носитель";

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
}  // namespace

CardMedium::CardMedium(platform::NoticeSink& notices) : notices_(notices) {}

CardMedium::~CardMedium() { CloseMedium(); }

void CardMedium::CloseMedium() {
  if (regionReader_) regionReader_->close();
  regionReader_.reset();
  files_.reset();
  volume_.reset();
  volumeOpen = false;
}

void CardMedium::reset() {
  CloseMedium();
  kind = MediumKind::none;
  devicePath.clear();
  diskPath.clear();
  mountPoint.clear();
  cardLength = 0;
  geometry = VolumeGeometry{};
  volumeKind = VolumeKind::unknown;
  emptyFat32 = marked = false;
  partitionStart = hc00infoSector = hc01infoSector = hcpt0000Sector = dirRegionSectors = 0;
  partFiles.clear();
  partFileBytes.clear();
  partNames_.clear();
  region = RegionGeometry{};
  N_s_s = s_s_bgn = s_s_end = 0;
}

bool CardMedium::OpenMedium(const std::string& path, const OpenOptions& options) {
  reset();
  imageMode = IsDirectory(path);
  mediumPath = imageMode ? WithTrailingSlash(path) : path;
  if (imageMode) {
    kind = MediumKind::imageFolder;
    hc00infoSector = hc01infoSector = hcpt0000Sector = kImageSector;
    files_ = std::make_shared<FolderFileSystem>(mediumPath);
  } else if (!openVolume(path, options)) {
    return false;
  }
  finishOpen();
  return true;
}

bool CardMedium::OpenMediumOn(std::shared_ptr<platform::RawVolume> volume,
                              const std::string& label, const OpenOptions& options) {
  reset();
  imageMode = false;
  mediumPath = label;
  if (!volume) {
    notices_.notice(platform::NoticeKind::error, kCannotOpen);
    return false;
  }
  volumeOpen = true;
  volume_ = std::move(volume);
  cardLength = volume_->length();
  openFileImage(options);
  recogniseVolume(label);
  finishOpen();
  return true;
}

void CardMedium::finishOpen() {
  checkFiles();
  InitServiceSector(serviceSector, region);
  if (marked) ReadCardServiceSector();
  if (imageMode && marked) geometry.volumeSectors = region.N_sectors_in_rsr;
  ComputeDerivedRingValues();
}

bool CardMedium::openVolume(const std::string& path, const OpenOptions& options) {
  int error = 0;
  std::shared_ptr<platform::RawVolume> raw = platform::OpenFileVolume(path, options.writable, &error);
  if (!raw) {
    notices_.notice(platform::NoticeKind::error, kCannotOpen);
    return false;
  }
  volumeOpen = true;
  volume_ = raw;
  cardLength = raw->length();
  if (platform::IsBlockDevice(path)) {
    kind = MediumKind::blockDevice;
    devicePath = path;
    if (const std::optional<std::string> node = partitionNodeOfWholeDisk(options))
      return openVolume(*node, options);
    if (partitionStart == 0) findPartitionStartOnDevice();  // not a window on the disk
  } else {
    openFileImage(options);
  }
  recogniseVolume(path);
  return true;
}

std::optional<std::string> CardMedium::partitionNodeOfWholeDisk(const OpenOptions& options) {
  const auto facts = platform::QueryBlockDevice(devicePath);
  if (!facts || facts->partition != 0) return std::nullopt;
  base::Sector first{};
  if (!platform::ReadSectorAt(*volume_, 0, first)) return std::nullopt;
  const int partition = ChosenPartition(first, options.partition);
  if (partition == 0) return std::nullopt;  // a volume without partition table, or no FAT one
  // The partition's own node, so that its mount and raw writes are handled as for any
  // partition; without one (partition scanning off) a window on the disk, as for an image.
  if (auto node = platform::PartitionNode(*facts, partition)) return node;
  diskPath = facts->diskPath;
  useWindowOnPartition(ReadPartitionTable(first)[size_t(partition - 1)]);
  return std::nullopt;
}

void CardMedium::recogniseVolume(const std::string& label) {
  geometry = RecogniseVolumeOn(*volume_);
  emptyFat32 = geometry.isFat32 && geometry.empty;
  if (geometry.recognised && geometry.isFat32) {
    const CardFileSectors found = LocateCardFiles(*volume_, geometry);
    hc00infoSector = found.hc00infoSector;
    hc01infoSector = found.hc01infoSector;
    hcpt0000Sector = found.hcpt0000Sector;
    dirRegionSectors = found.dirRegionSectors;
  }
  base::Sector boot{};
  volumeKind = IdentifyVolume(boot, platform::ReadSectorAt(*volume_, 0, boot));
  // The hc files: through the mount point of a mounted device, else through our FAT reader
  // (FAT12 and FAT16 too: only the raw walk is limited to FAT32, the file check decides).
  if (!mountPoint.empty()) {
    files_ = std::make_shared<FolderFileSystem>(mountPoint);
  } else if (geometry.recognised) {
    auto reader = std::make_shared<Fat32Reader>(volume_, geometry);
    if (reader->ok()) files_ = std::make_shared<FatFileSystem>(reader, label);
  }
}

void CardMedium::findPartitionStartOnDevice() {
  const auto facts = platform::QueryBlockDevice(devicePath);
  if (!facts) {
    notices_.notice(platform::NoticeKind::plain, "ERROR OPENING MEDIA: CANNOT GET DEVICE NUMBER");
    return;
  }
  diskPath = facts->diskPath;
  if (const auto m = platform::FindMount(facts->device)) mountPoint = m->mountPoint;
  int error = 0;
  const auto disk = platform::OpenFileVolume(diskPath, false, &error);
  if (!disk) {
    notices_.notice(platform::NoticeKind::plain,
                    "ERROR OPENING MEDIA: CANNOT OPEN PHYSICALDRIVE " + diskPath);
    return;
  }
  base::Sector mbr{};
  const bool readOk = platform::ReadSectorAt(*disk, 0, mbr);
  partitionStart = PartitionStartFromMbr(mbr, readOk, facts->partition, notices_);
}

void CardMedium::openFileImage(const OpenOptions& options) {
  // A file starting with a volume boot sector is a volume image; one with a partition table
  // is a whole-disk image whose chosen (or first FAT) partition is the volume.
  base::Sector first{};
  const bool readOk = platform::ReadSectorAt(*volume_, 0, first);
  kind = MediumKind::volumeImage;
  if (!readOk) return;
  const int partition = ChosenPartition(first, options.partition);
  if (partition == 0) return;
  kind = MediumKind::diskImage;
  useWindowOnPartition(ReadPartitionTable(first)[size_t(partition - 1)]);
}

void CardMedium::useWindowOnPartition(const MbrEntry& entry) {
  partitionStart = entry.firstSector;
  const uint64_t start = uint64_t(entry.firstSector) * base::kSectorSize;
  const uint64_t diskBytes = volume_->length();
  uint64_t bytes = uint64_t(entry.sectorCount) * base::kSectorSize;
  if (start >= diskBytes)
    bytes = 0;
  else if (bytes > diskBytes - start)
    bytes = diskBytes - start;
  volume_ = std::make_shared<platform::WindowVolume>(volume_, start, bytes);
  cardLength = bytes;
}

void CardMedium::checkFiles() {
  if (emptyFat32 || !files_) return;
  CardFiles found = CheckCardFiles(*files_);
  if (!found.marked) return;
  marked = true;
  partFiles = std::move(found.partFiles);
  partFileBytes = std::move(found.partFileBytes);
  partNames_ = std::move(found.names);
  region = found.region;
  regionReader_ = std::make_shared<PartitionFileReader>(files_, partNames_, region);
}

bool CardMedium::ReadCardServiceSector() {
  base::Sector s{};
  bool ok = false;
  if (!imageMode && volumeOpen && hc00infoSector != 0) {
    ok = platform::ReadSectorAt(*volume_, hc00infoSector, s);
  } else if (files_) {
    // Image folders, and volumes whose raw walk missed hc00info.hcf: the file's first sector
    // through the file system (never the boot sector in its place).
    if (auto f = files_->Open("hc00info.hcf")) ok = f->read(0, s) == base::kSectorSize;
  }
  if (ok) serviceSector = ServiceSector(s);
  return ok;
}

bool CardMedium::WithRawWrites(const std::function<bool(platform::RawVolume&)>& writes) {
  if (imageMode || !volumeOpen || !volume_->writable()) return false;
  // A mounted volume is unmounted around the writes; files held open on it would block that.
  if (regionReader_) regionReader_->close();
  platform::RawWriteSession session(devicePath, diskPath);
  if (!session.ready()) return false;
  const bool written = writes(*volume_);
  return volume_->flush() && written;
}

bool CardMedium::WriteVolumeSector(uint32_t volumeSector, const base::Sector& s) {
  return WithRawWrites(
      [&](platform::RawVolume& v) { return platform::WriteSectorAt(v, volumeSector, s); });
}

bool CardMedium::WriteCardServiceSector() {
  if (hc00infoSector == 0 || hc01infoSector == 0) return false;
  return WithRawWrites([&](platform::RawVolume& v) {
    // The second copy only after the first went through whole.
    return platform::WriteSectorAt(v, hc00infoSector, serviceSector.bytes()) &&
           platform::WriteSectorAt(v, hc01infoSector, serviceSector.bytes());
  });
}

RegionReadResult CardMedium::ReadRegionSector(uint32_t s, base::Sector& out) {
  if (!regionReader_) return RegionReadResult::no_file;
  return regionReader_->read_sector(s, out);
}

void CardMedium::ComputeDerivedRingValues() {
  const ServiceSector& ss = serviceSector;
  N_s_s = ss.N_sectors_in_rsr() >> 8;
  s_s_bgn = (ss.rec_bgn_sectnum() - ss.rsr_sectnum()) >> 8;
  s_s_end = (ss.rec_end_sectnum() - ss.rsr_sectnum()) >> 8;
}

}  // namespace card
