#include "cardsim/volume_image_sink.h"

#include <sys/stat.h>

#include <exception>

#include "card/card_medium.h"
#include "card/fat32_reader.h"
#include "cardsim/image_folder_sink.h"
#include "platform/notice_sink.h"

namespace cardsim {
namespace {

// A file as byte runs on the volume.
struct MappedFile {
  std::vector<card::FileExtent> extents;
  uint64_t size = 0;
};

class VolumeImageSink final : public CardSink {
 public:
  bool Open(const std::string& path, std::vector<uint64_t>& sizes) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
      return Fail(path + " is not an image file");
    platform::NullNoticeSink notices;
    card::CardMedium medium(notices);
    card::OpenOptions options;
    options.writable = true;
    if (!medium.OpenMedium(path, options) || !medium.volume())
      return Fail("cannot open " + path + " as a volume image");
    if (!medium.marked || !medium.geometry.isFat32 || medium.hcpt0000Sector == 0 ||
        medium.hc00infoSector == 0 || medium.hc01infoSector == 0)
      return Fail(path + " is not a marked FAT32 card");
    volume_ = medium.volume();
    card::Fat32Reader fat(volume_, medium.geometry);
    if (!fat.ok()) return Fail(path + ": FAT32 file system not readable");
    for (const char* name : {"hc00info.hcf", "hc01info.hcf"})
      if (!Map(fat, name, info_.emplace_back())) return false;
    for (size_t k = 0; k < medium.partFileBytes.size(); ++k)
      if (!Map(fat, PartitionFileName(int(k)), parts_.emplace_back())) return false;
    // The recorder sees the region as one run of card sectors from hcpt0000.hcf on.
    uint64_t expected = uint64_t(medium.hcpt0000Sector) * 512;
    for (const MappedFile& f : parts_)
      for (const card::FileExtent& e : f.extents) {
        if (e.volumeOffset != expected)
          return Fail(path + ": the partition files do not lie contiguously in order");
        expected += e.length;
      }
    rsr_ = medium.partitionStart + medium.hcpt0000Sector;
    sizes = medium.partFileBytes;
    return true;
  }

  bool WriteRegion(uint32_t first, const uint8_t* data, uint32_t count) override {
    const uint64_t per_file = parts_[0].size / 512;
    const uint64_t k = first / per_file;
    if (k >= parts_.size()) return Fail("region sector outside the partition files");
    return WriteFile(parts_[k], (first % per_file) * 512, data, uint64_t(count) * 512);
  }

  bool WriteServiceSector(const base::Sector& sector) override {
    for (const MappedFile& f : info_)
      if (!WriteFile(f, 0, sector.data(), sector.size())) return false;
    return true;
  }

  bool ApplyFileDamage(const Damage&) override {
    return Fail("file damage needs an image folder; a volume's files stay as marked");
  }

  bool Finish() override { return volume_->flush() || Fail("cannot flush the volume image"); }

  bool FixedRsrSectnum(uint32_t& rsr) const override {
    rsr = rsr_;
    return true;
  }

 private:
  bool Map(card::Fat32Reader& fat, const std::string& name, MappedFile& out) {
    const auto entry = fat.FindInRoot(name);
    if (!entry) return Fail(name + " not found on the volume");
    auto extents = fat.Extents(entry->firstCluster, entry->size);
    if (!extents) return Fail(name + " has a broken cluster chain");
    out.extents = std::move(*extents);
    out.size = entry->size;
    return true;
  }

  bool WriteFile(const MappedFile& f, uint64_t offset, const uint8_t* data, uint64_t size) {
    if (offset + size > f.size) return Fail("write past the end of a card file");
    for (const card::FileExtent& e : f.extents) {
      if (size == 0) break;
      if (offset >= e.fileOffset + e.length || offset < e.fileOffset) continue;
      const uint64_t n = std::min(size, e.fileOffset + e.length - offset);
      const uint64_t at = e.volumeOffset + (offset - e.fileOffset);
      if (volume_->write_at(at, std::span<const uint8_t>(data, size_t(n))) != n)
        return Fail("cannot write the volume image");
      data += n;
      offset += n;
      size -= n;
    }
    return size == 0 || Fail("card file shorter than its directory entry");
  }

  std::shared_ptr<platform::RawVolume> volume_;
  std::vector<MappedFile> info_, parts_;
  uint32_t rsr_ = 0;
};

}  // namespace

std::unique_ptr<CardSink> OpenVolumeImage(const std::string& path,
                                          std::vector<uint64_t>& partition_file_bytes,
                                          std::string& error) {
  try {
    auto sink = std::make_unique<VolumeImageSink>();
    if (sink->Open(path, partition_file_bytes)) return sink;
    error = sink->error();
  } catch (const std::exception& e) {
    error = e.what();
  }
  return nullptr;
}

CardResult WriteCardToVolumeImage(Scenario scenario, const std::string& path,
                                  const WriteOptions& options) {
  CardResult result;
  auto sink = OpenVolumeImage(path, scenario.partition_file_bytes, result.error);
  if (!sink) return result;
  return WriteCard(scenario, *sink, options);
}

}  // namespace cardsim
