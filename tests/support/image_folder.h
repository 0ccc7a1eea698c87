// Test helper: writes a card image folder (hc00info.hcf, hc01info.hcf, hcpt0000.hcf) holding
// a record region of `blocks` blocks whose information sectors carry the magic and label
// 1000 + block, and a card service sector made by InitServiceSector (then `edit`).
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "card/servsectclass.h"

namespace testsupport {

inline bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

inline bool WriteImageFolder(const std::string& dir, uint32_t blocks,
                             const std::function<void(card::ServiceSector&)>& edit = {}) {
  card::RegionGeometry g;
  g.N_rsf = 1;
  g.N_sectors_in_standard_rsf = g.N_sectors_in_the_last_rsf = g.N_sectors_in_rsr = blocks * 256;
  card::ServiceSector service;
  card::InitServiceSector(service, g);
  if (edit) edit(service);
  std::vector<uint8_t> info(service.bytes().begin(), service.bytes().end());
  info.resize(1 << 20);
  std::vector<uint8_t> region(size_t(blocks) * 256 * 512);
  for (uint32_t b = 0; b < blocks; ++b) {
    card::ServiceSector s;
    s.set_magic();
    s.set_serv_label_number(1000 + b);
    std::copy(s.bytes().begin(), s.bytes().end(), region.begin() + (size_t(b) * 256 + 255) * 512);
  }
  return WriteFile(dir + "/hc00info.hcf", info) && WriteFile(dir + "/hc01info.hcf", info) &&
         WriteFile(dir + "/hcpt0000.hcf", region);
}

}  // namespace testsupport
