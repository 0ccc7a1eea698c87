#include "support/card_image_reader.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "base/endian.h"

namespace testsupport {

CardImage::CardImage(std::string folder) : folder_(std::move(folder)) {
  const card::ServiceSector s = ServiceSector();
  per_file_ = s.N_sectors_in_standard_rsf();
  n_s_s_ = s.N_sectors_in_rsr() >> 8;
  if (per_file_ == 0 || n_s_s_ == 0) throw std::runtime_error("card image without geometry");
}

card::ServiceSector CardImage::ServiceSector(const char* info_file) const {
  base::Sector s{};
  std::ifstream in(folder_ + "/" + info_file, std::ios::binary);
  in.read(reinterpret_cast<char*>(s.data()), s.size());
  if (in.gcount() != std::streamsize(s.size())) throw std::runtime_error("short info file");
  return card::ServiceSector(s);
}

base::Sector CardImage::RegionSector(uint32_t s) const {
  char name[32];
  std::snprintf(name, sizeof name, "/hcpt%04u.hcf", s / per_file_);
  std::ifstream in(folder_ + name, std::ios::binary);
  in.seekg(std::streamoff(s % per_file_) * 512);
  base::Sector out{};
  in.read(reinterpret_cast<char*>(out.data()), out.size());
  if (in.gcount() != std::streamsize(out.size())) throw std::runtime_error("short region read");
  return out;
}

std::vector<uint8_t> CardImage::Stream(uint32_t first_block, uint32_t last_block) const {
  std::vector<uint8_t> out;
  for (uint32_t b = first_block;; b = (b + 1) % n_s_s_) {
    for (uint32_t i = 0; i < 255; ++i) {
      const base::Sector s = RegionSector(b * 256 + i);
      out.insert(out.end(), s.begin(), s.end());
    }
    if (b == last_block) break;
  }
  return out;
}

std::vector<ParsedBox> ParseBoxes(const std::vector<uint8_t>& stream, bool& ok) {
  std::vector<ParsedBox> boxes;
  ok = false;
  size_t at = 0;
  while (stream.size() - at >= 24) {
    const uint8_t* p = &stream[at];
    ParsedBox box;
    box.size = base::load_be32(p);
    if (box.size < 24 || box.size > 1048576 || std::string(p + 4, p + 8) != "qbox") return boxes;
    if (stream.size() - at < box.size) return boxes;
    box.long_header = (base::load_be24(p + 9) & 1) == 0;
    box.stream_type = base::load_be16(p + 12);
    box.sample_flags = base::load_be32(p + 16);
    const size_t header = box.long_header ? 32 : 24;
    size_t payload = box.size - 24;
    if (box.long_header) {
      payload = base::load_be32(p + 28);
      if (header + payload != box.size) return boxes;
    }
    const uint8_t* q = p + header;
    if (box.sample_flags & 0x40) {
      if (payload < 16) return boxes;
      box.prefix.assign(q, q + 16);
      q += 16;
      payload -= 16;
    }
    box.payload.assign(q, q + payload);
    const size_t rounded = (box.size + 3) & ~size_t(3);
    boxes.push_back(std::move(box));
    if (rounded == 24) {
      ok = true;
      return boxes;
    }
    at += rounded;
  }
  return boxes;
}

}  // namespace testsupport
