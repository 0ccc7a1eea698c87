// The open card: the program's one door to a medium. Opening fills every value below from a
// card image folder, a volume image file, a whole-disk image (first FAT partition) or a block
// device; the hc files are reached through the mount point of a mounted device, or else
// through our own FAT32 reader, so nothing needs mounting. Only the boot sector, the FAT, the
// root directory and the card service sector are touched raw.
//
// Contract: OpenMedium always starts from closed and resets every value; it returns false only
// when the medium cannot be opened at all (the error notice has then been raised). Media are
// opened read-only unless OpenOptions::writable; a read-only or image medium refuses writes.
// UI thread only, except regionReader(), which any worker may use (it locks itself).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "card/card_file_system.h"
#include "card/fat_volume.h"
#include "card/mbr.h"
#include "card/region_reader.h"
#include "card/servsectclass.h"
#include "card/volume_kind.h"
#include "platform/notice_sink.h"
#include "platform/raw_volume.h"

namespace card {

enum class MediumKind { none, imageFolder, volumeImage, diskImage, blockDevice };

struct OpenOptions {
  bool writable = false;  // open the volume for writing (settings, marking, clearing)
  int partition = 0;      // whole-disk image: 1-based partition; 0 = first FAT partition
};

class CardMedium {
 public:
  explicit CardMedium(platform::NoticeSink& notices);
  ~CardMedium();
  CardMedium(const CardMedium&) = delete;
  CardMedium& operator=(const CardMedium&) = delete;

  bool OpenMedium(const std::string& path, const OpenOptions& options = {});
  // Opens an already open raw volume as an image file named `label` (tests, in-memory
  // volumes, fault-injecting wrappers).
  bool OpenMediumOn(std::shared_ptr<platform::RawVolume> volume, const std::string& label,
                    const OpenOptions& options = {});
  void CloseMedium();
  // Fills serviceSector from the card; false (and serviceSector unchanged) when the read fails.
  bool ReadCardServiceSector();
  // Writes serviceSector to both info files; false on any refusal or short write.
  bool WriteCardServiceSector();
  // Runs `writes` on the raw volume as one session: a mounted device is unmounted first (and
  // mounted again after), the whole disk is locked, and the volume is flushed at the end.
  // False when the medium is read-only, an image folder, cannot be unmounted, or when
  // `writes` or the flush fails. For the FAT and directory writes of marking.
  bool WithRawWrites(const std::function<bool(platform::RawVolume&)>& writes);
  // One volume sector, written as above.
  bool WriteVolumeSector(uint32_t volumeSector, const base::Sector& s);
  RegionReadResult ReadRegionSector(uint32_t s, base::Sector& out);
  // Recomputes N_s_s, s_s_bgn and s_s_end from serviceSector (after editing pointers).
  void ComputeDerivedRingValues();

  // The shared partition-file reader; null unless the card is marked.
  std::shared_ptr<RegionReader> regionReader() const { return regionReader_; }
  // The raw volume (volume mode); null for an image folder or when closed.
  std::shared_ptr<platform::RawVolume> volume() const { return volume_; }
  bool writable() const { return volume_ && volume_->writable(); }

  // Inputs and kind of the open.
  std::string mediumPath;  // image folder (with trailing '/'), image file or device node
  bool imageMode = false;  // card image folder
  MediumKind kind = MediumKind::none;
  std::string devicePath;  // the device node for block devices, else empty
  std::string diskPath;    // the whole-disk node holding it
  std::string mountPoint;  // where the device is mounted, else empty

  // Volume values.
  bool volumeOpen = false;
  uint64_t cardLength = 0;   // bytes of the volume as reported (0 if unknown)
  VolumeGeometry geometry;   // boot sector values of the volume
  VolumeKind volumeKind = VolumeKind::unknown;  // what sector 0 shows (image folder: unknown)
  bool emptyFat32 = false;
  bool marked = false;
  uint32_t partitionStart = 0;
  uint32_t hc00infoSector = 0, hc01infoSector = 0, hcpt0000Sector = 0;
  uint32_t dirRegionSectors = 0;

  // Partition file table and region geometry (N_rsf, N_sectors_in_*).
  std::vector<std::string> partFiles;
  std::vector<uint64_t> partFileBytes;
  RegionGeometry region;

  ServiceSector serviceSector;
  uint32_t N_s_s = 0, s_s_bgn = 0, s_s_end = 0;

  // volumeSectors of the geometry, or N_sectors_in_rsr for a marked image folder.
  uint32_t volumeSectors() const { return geometry.volumeSectors; }
  // Both info files were located raw, so the card service sector can be written (an image
  // folder is read-only anyway and counts as located).
  bool serviceSectorLocated() const {
    return imageMode || (hc00infoSector != 0 && hc01infoSector != 0);
  }

 private:
  bool openVolume(const std::string& path, const OpenOptions& options);
  void recogniseVolume(const std::string& label);
  void finishOpen();
  void findPartitionStartOnDevice();
  // A whole-disk device with a partition table: the node of its chosen (or first FAT)
  // partition to open instead, or nullopt after making a window on the disk for it (no node),
  // or nullopt with nothing changed (no table, not a whole disk).
  std::optional<std::string> partitionNodeOfWholeDisk(const OpenOptions& options);
  void openFileImage(const OpenOptions& options);
  void useWindowOnPartition(const MbrEntry& entry);
  void checkFiles();
  void reset();

  platform::NoticeSink& notices_;
  std::shared_ptr<platform::RawVolume> volume_;
  std::shared_ptr<CardFileSystem> files_;
  std::vector<std::string> partNames_;
  std::shared_ptr<RegionReader> regionReader_;
};

}  // namespace card
