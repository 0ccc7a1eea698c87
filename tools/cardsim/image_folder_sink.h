// Writes a card image folder: hc00info.hcf and hc01info.hcf (1024 bytes each, as marking
// creates them) and hcpt0000.hcf … at their full sizes as sparse files, so unwritten blocks
// cost no disk space. Partition files left from an earlier, larger image are removed so that
// the folder describes exactly this card. One thread at a time.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cardsim/card_sink.h"

namespace cardsim {

// Creates (or empties) the folder's card files; null with `error` set on failure.
std::unique_ptr<CardSink> OpenImageFolder(const std::string& folder,
                                          const std::vector<uint64_t>& partition_file_bytes,
                                          std::string& error);

// "hcpt0003.hcf" for k = 3.
std::string PartitionFileName(int k);

}  // namespace cardsim
