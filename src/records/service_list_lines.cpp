#include "records/service_list_lines.h"

#include <cctype>
#include <charconv>
#include <cinttypes>
#include <cstdio>

#include "records/read_info_sector.h"

namespace records {

namespace {

constexpr uint32_t kDefaultCount = 128;

// A whole decimal integer with an optional sign, blanks allowed around it; nothing else.
bool ParseInteger(const std::string& text, int64_t& value) {
  size_t b = 0, e = text.size();
  while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
  if (b < e && text[b] == '+') ++b;
  if (b == e) return false;
  const char* first = text.data() + b;
  const char* last = text.data() + e;
  const auto [end, ec] = std::from_chars(first, last, value);
  return ec == std::errc() && end == last && value >= INT32_MIN && value <= INT32_MAX;
}

}  // namespace

std::string BlockLine(uint32_t block, bool hasMagic, const card::ServiceSector& s,
                      bool withImei) {
  char head[64];
  std::snprintf(head, sizeof head, "0x%08" PRIX32 " hdr=%d", block, hasMagic ? 1 : 0);
  std::string line = head;
  char piece[96];
  if (withImei) {
    std::snprintf(piece, sizeof piece, " imei_sn=0x%08" PRIX32, s.imei_sn());
    line += piece;
  }
  std::snprintf(piece, sizeof piece, " uid0=0x%08" PRIX32 " label=%" PRId32, s.poweron_uid0(),
                static_cast<int32_t>(s.serv_label_number()));
  line += piece;
  line += " recstate=" + card::RecstateText(s.recstate());
  std::snprintf(piece, sizeof piece, " cycles=0x%016" PRIX64, s.cycles());
  return line + piece;
}

std::string UnreadableBlockLine(uint32_t block) {
  char text[64];
  std::snprintf(text, sizeof text, "0x%08" PRIX32 " hdr=0 read failed", block);
  return text;
}

std::string ReadBlockLine(card::RegionReader& reader, uint32_t block, bool withImei) {
  const InfoSectorRead info = ReadInfoSector(reader, block);
  // Not ok without the magic means the read itself failed; a sector with the magic but an
  // unknown format version was read and is shown as it stands.
  if (!info.ok && !info.hasMagic) return UnreadableBlockLine(block);
  return BlockLine(block, info.hasMagic, info.sector, withImei);
}

std::vector<std::string> ListRingBlocks(card::RegionReader& reader, uint32_t nss, uint32_t first,
                                        uint32_t count) {
  std::vector<std::string> lines;
  if (nss == 0) return lines;
  lines.reserve(count);
  uint32_t block = first % nss;
  for (uint32_t i = 0; i < count; ++i) {
    lines.push_back(ReadBlockLine(reader, block, false));
    block = block + 1 == nss ? 0 : block + 1;
  }
  return lines;
}

std::vector<std::string> ListRecordBlocks(card::RegionReader& reader, uint32_t nss,
                                          const TRecord& r) {
  std::vector<std::string> lines;
  if (nss == 0 || r.bss_index < 0 || r.ess_index < 0) return lines;
  const auto bss = static_cast<uint32_t>(r.bss_index);
  const auto ess = static_cast<uint32_t>(r.ess_index);
  if (bss >= nss || ess >= nss) return lines;
  const uint32_t n = ess >= bss ? ess - bss : ess + nss - bss;
  uint32_t block = bss;
  for (uint32_t i = 0; i <= n; ++i) {
    lines.push_back(ReadBlockLine(reader, block, true));
    block = block + 1 == nss ? 0 : block + 1;
  }
  return lines;
}

uint32_t CorrectFirstBlock(const std::string& text, uint32_t nss) {
  if (nss == 0) return 0;
  int64_t first = 0;
  if (!ParseInteger(text, first)) first = 0;
  const auto n = static_cast<int64_t>(nss);
  first %= n;  // C++ keeps the sign of the dividend: one more turn for negative values
  if (first < 0) first += n;
  return static_cast<uint32_t>(first);
}

uint32_t CorrectBlockCount(const std::string& text, uint32_t nss) {
  int64_t count = kDefaultCount;
  if (!ParseInteger(text, count)) count = kDefaultCount;
  if (count < 0) count = kDefaultCount;
  if (count > static_cast<int64_t>(nss)) count = nss;
  return static_cast<uint32_t>(count);
}

std::string RingSummary(uint32_t nss, uint32_t bgn, uint32_t end) {
  char text[160];
  std::snprintf(text, sizeof text,
                "N_s_s = %" PRIu32 " = 0x%08" PRIX32 ", s_s_bgn = %" PRIu32 " = 0x%08" PRIX32
                ", s_s_end = %" PRIu32 " = 0x%08" PRIX32,
                nss, nss, bgn, bgn, end, end);
  return text;
}

}  // namespace records
