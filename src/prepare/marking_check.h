// The check after marking: the volume is read back with our own FAT reader and the raw walk,
// independently of what marking meant to write. It passes when the root holds exactly the
// info files and the partition files of the layout, each partition file is one contiguous
// run of its layout size, the files follow one another from hcpt0000.hcf on, the raw walk
// sizes the region as the layout does, and every FAT copy holds the same entries over the
// clusters used. Any thread; reads only.
#pragma once

#include <memory>
#include <string>

#include "platform/raw_volume.h"
#include "prepare/marking_layout.h"

namespace prepare {

struct MarkingCheck {
  bool ok = false;
  std::string problem;  // English, empty when ok
};

MarkingCheck CheckMarkedVolume(const std::shared_ptr<platform::RawVolume>& v,
                               const MarkingLayout& layout);

}  // namespace prepare
