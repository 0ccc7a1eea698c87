// The lines of the service windows and of `korvan-cli blocks`: one line per block of the
// record ring, built from the block's information sector (block number, magic flag, optional
// device serial, power-on id, label, recstate text, tick counter), plus the corrections the
// service-sector list applies to its two input fields and its ring summary text.
//
// Pure text building over sectors read through a RegionReader; any thread that may use the
// reader (the reader serialises its callers).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "card/region_reader.h"
#include "card/servsectclass.h"
#include "records/trecord.h"

namespace records {

// "0x000001A4 hdr=1 uid0=0x0000002A label=420 recstate=(c) cycles=0x00000000075BCD15";
// `withImei` inserts " imei_sn=0x%08X" after the hdr piece (the block list window's form).
std::string BlockLine(uint32_t block, bool hasMagic, const card::ServiceSector& s, bool withImei);

// Line of a block whose information sector could not be read: "0x000001A4 hdr=0 read failed".
std::string UnreadableBlockLine(uint32_t block);

// Reads block `block`'s information sector (region sector block * 256 + 255) and builds its
// line, or the unreadable line when the read fails.
std::string ReadBlockLine(card::RegionReader& reader, uint32_t block, bool withImei);

// `count` block lines from `first` upwards, wrapping at nss blocks (service-sector list form).
std::vector<std::string> ListRingBlocks(card::RegionReader& reader, uint32_t nss, uint32_t first,
                                        uint32_t count);

// One line per block of recording `r`, from bss_index to ess_index with wrap at nss (block list
// form, with the serial). Empty when nss is 0 or the record's blocks lie outside the ring.
std::vector<std::string> ListRecordBlocks(card::RegionReader& reader, uint32_t nss,
                                          const TRecord& r);

// The first-block field: the text as a decimal integer (0 when it is not one), brought into
// 0 .. nss - 1 by whole turns of the ring (-1 gives nss - 1). nss must not be 0.
uint32_t CorrectFirstBlock(const std::string& text, uint32_t nss);

// The count field: the text as a decimal integer (128 when it is not one), 128 when negative,
// then lowered to nss when above it.
uint32_t CorrectBlockCount(const std::string& text, uint32_t nss);

// "N_s_s = 1000 = 0x000003E8, s_s_bgn = 5 = 0x00000005, s_s_end = 7 = 0x00000007".
std::string RingSummary(uint32_t nss, uint32_t bgn, uint32_t end);

}  // namespace records
