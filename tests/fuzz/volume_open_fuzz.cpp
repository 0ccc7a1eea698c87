// Fuzz target: opening a medium. A real card volume (mkfs.fat, marked and written by the
// simulator), an empty FAT16 and FAT12 volume, or the card volume behind an MBR, with fuzzed
// bytes laid over it, goes through the whole open: partition table, FAT recognition, the raw
// root-directory walk, our FAT reader, the file check and the service sector read. Input:
// one byte choosing the base image, then patches (u32 offset, u8 length, bytes).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/endian.h"
#include "card/card_medium.h"
#include "card/card_state.h"
#include "cardsim/scenario.h"
#include "cardsim/volume_image_sink.h"
#include "cardsim/volume_maker.h"
#include "fuzz_support.h"
#include "platform/notice_sink.h"

namespace {

using Image = std::shared_ptr<const std::vector<uint8_t>>;

Image MakeFatImage(const std::string& name, const std::string& options, int kib) {
  const std::string path = fuzzsupport::ScratchDir() + name;
  const std::string command = "mkfs.fat -C -i 12345678 " + options + " " + path + " " +
                              std::to_string(kib) + " >/dev/null 2>&1";
  std::remove(path.c_str());
  KORVAN_FUZZ_CHECK(std::system(command.c_str()) == 0, command.c_str());
  auto bytes = std::make_shared<std::vector<uint8_t>>(fuzzsupport::ReadWhole(path));
  std::remove(path.c_str());
  return bytes;
}

Image MakeCardImage() {
  const std::string path = fuzzsupport::ScratchDir() + "card.img";
  cardsim::VolumeLayout layout;
  layout.volume_bytes = 36ull << 20;
  layout.partition_file_bytes = {2u << 20, 2u << 20};
  std::string error;
  KORVAN_FUZZ_CHECK(cardsim::MakeMarkedVolume(path, layout, error), error.c_str());
  cardsim::Scenario s;
  s.info_only = true;
  s.width = 352;
  s.height = 288;
  s.recordings.resize(2);
  for (auto& r : s.recordings) r.blocks = 3;
  const cardsim::CardResult written = cardsim::WriteCardToVolumeImage(s, path);
  KORVAN_FUZZ_CHECK(written.ok, written.error.c_str());
  auto bytes = std::make_shared<std::vector<uint8_t>>(fuzzsupport::ReadWhole(path));
  std::remove(path.c_str());
  return bytes;
}

// The card volume as the first partition of a disk, 1 MiB in.
Image InDisk(const std::vector<uint8_t>& volume) {
  constexpr size_t kStart = size_t(1) << 20;
  auto disk = std::make_shared<std::vector<uint8_t>>(kStart + volume.size());
  uint8_t* entry = disk->data() + 446;
  entry[4] = 0x0C;  // FAT32 with LBA
  base::store_le32(entry + 8, 2048);
  base::store_le32(entry + 12, uint32_t(volume.size() / 512));
  (*disk)[510] = 0x55;
  (*disk)[511] = 0xAA;
  std::copy(volume.begin(), volume.end(), disk->begin() + kStart);
  return disk;
}

const std::vector<Image>& BaseImages() {
  static const std::vector<Image> images = [] {
    const Image card = MakeCardImage();
    return std::vector<Image>{card, MakeFatImage("fat16.img", "-F 16 -s 1", 8192),
                              MakeFatImage("fat12.img", "-F 12 -s 1", 1024), InDisk(*card)};
  }();
  return images;
}

}  // namespace

// Builds the base images before the first input, outside the per-input time limit.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  BaseImages();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzsupport::Cursor in({data, size});
  const auto& images = BaseImages();
  auto volume = std::make_shared<fuzzsupport::OverlayVolume>(images[in.u8() % images.size()]);
  while (in.left() >= 5) {
    const uint64_t offset = in.u32() % volume->length();
    const size_t length = in.u8();
    volume->patch(offset, in.take(length));
  }
  platform::NullNoticeSink notices;
  card::CardMedium medium(notices);
  medium.OpenMediumOn(volume, "fuzz");
  const card::CardStateInput state = card::CardStateInput::FromMedium(medium);
  (void)card::DescribeCardState(state);
  (void)card::DescribeUsage(state, true);
  if (medium.marked) {
    base::Sector sector{};
    const uint32_t n = medium.region.N_sectors_in_rsr;
    for (uint32_t s : {0u, n / 2, n ? n - 1 : 0u, n}) (void)medium.ReadRegionSector(s, sector);
  }
  return 0;
}

bool KorvanFuzzWriteSeeds(const std::string& dir) {
  for (uint8_t base = 0; base < 4; ++base) {
    const uint8_t seed[] = {base};
    if (!fuzzsupport::WriteWhole(dir + "/volume-" + std::to_string(base), seed)) return false;
  }
  return true;
}
