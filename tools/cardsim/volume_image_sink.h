// Writes a simulated card into the hc files of a marked FAT32 volume image (or the first FAT
// partition of a whole-disk image), as the recorder does on a real card: raw sectors at the
// files' places on the volume, nothing else of the file system touched.
//
// The image is opened through the card layer (boot sector, root directory walk, partition
// file table); the region must lie contiguously from hcpt0000.hcf on, since the recorder
// addresses it as rsr_sectnum + sector index, with rsr_sectnum = partitionStart +
// hcpt0000Sector. Only regular files are accepted: the simulator never writes to a device.
// One thread at a time.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cardsim/card_sink.h"
#include "cardsim/card_writer.h"

namespace cardsim {

// Opens the image; `partition_file_bytes` receives the card's partition file sizes. Null with
// `error` set when the image is not a marked, contiguous FAT32 card.
std::unique_ptr<CardSink> OpenVolumeImage(const std::string& path,
                                          std::vector<uint64_t>& partition_file_bytes,
                                          std::string& error);

// WriteCard into a volume image; the scenario's partition files are replaced by the card's.
CardResult WriteCardToVolumeImage(Scenario scenario, const std::string& path,
                                  const WriteOptions& options = {});

}  // namespace cardsim
