#include "support/fat_image.h"

#include <fstream>
#include <regex>

#include "support/temp_dir.h"

namespace testsupport {

namespace {
const char* kMtools = "MTOOLS_SKIP_CHECK=1 MTOOLS_NO_VFAT=1 ";
}

bool HaveFatTools() {
  return HaveProgram("mkfs.fat") && HaveProgram("mcopy") && HaveProgram("sfdisk") &&
         HaveProgram("mshowfat");
}

bool MakeFatVolume(const std::string& image, uint64_t sizeKiB, int fatBits,
                   const std::string& extraOptions) {
  std::remove(image.c_str());
  return RunCommand("mkfs.fat -C -F " + std::to_string(fatBits) + " " + extraOptions + " '" +
                    image + "' " + std::to_string(sizeKiB))
             .status == 0;
}

bool CopyIntoVolume(const std::string& image, const std::string& source, const std::string& name) {
  return RunCommand(std::string(kMtools) + "mcopy -o -i '" + image + "' '" + source + "' ::" + name)
             .status == 0;
}

bool WriteFile(const std::string& path, uint64_t size, const std::vector<uint8_t>& bytes) {
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) return false;
  }
  // The rest stays a hole.
  return RunCommand("truncate -s " + std::to_string(size) + " '" + path + "'").status == 0;
}

bool MakeMarkedVolume(const std::string& image, const std::string& work, uint64_t volumeKiB,
                      const std::vector<uint64_t>& partBytes, uint64_t infoBytes,
                      const std::vector<uint8_t>& firstSector) {
  if (!MakeFatVolume(image, volumeKiB, 32)) return false;
  const std::string info = work + "/info.bin";
  if (!WriteFile(info, infoBytes, firstSector)) return false;
  if (!CopyIntoVolume(image, info, "hc00info.hcf") || !CopyIntoVolume(image, info, "hc01info.hcf"))
    return false;
  for (size_t i = 0; i < partBytes.size(); ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "hcpt%04zu.hcf", i);
    const std::string part = work + "/" + name;
    if (!WriteFile(part, partBytes[i])) return false;
    if (!CopyIntoVolume(image, part, name)) return false;
  }
  return true;
}

uint32_t FirstClusterByMtools(const std::string& image, const std::string& name) {
  const CommandResult r =
      RunCommand(std::string(kMtools) + "mshowfat -i '" + image + "' ::" + name);
  std::smatch m;
  // "::hcpt0000.hcf <123-456>" or "<123>"
  if (r.status != 0 || !std::regex_search(r.output, m, std::regex("<(\\d+)"))) return 0;
  return uint32_t(std::stoul(m[1]));
}

bool MakeDiskImage(const std::string& disk, uint64_t diskMiB, const std::string& sfdiskScript,
                   const std::string& volume, uint64_t volumeStart) {
  std::remove(disk.c_str());
  if (RunCommand("truncate -s " + std::to_string(diskMiB) + "M '" + disk + "'").status != 0)
    return false;
  if (RunCommand("printf 'label: dos\\n" + sfdiskScript + "\\n' | sfdisk -q '" + disk + "'")
          .status != 0)
    return false;
  return RunCommand("dd if='" + volume + "' of='" + disk + "' bs=512 seek=" +
                    std::to_string(volumeStart) + " conv=notrunc,sparse status=none")
             .status == 0;
}

}  // namespace testsupport
