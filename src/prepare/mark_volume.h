// The raw writes of marking on an unmounted volume, in two steps. Creating: the root
// directory grown to the clusters the plan gives it, the info files and the partition files
// each created as 1024 zero bytes with their own allocation, their 8.3 entries, FSInfo. Then
// chaining: the partition files rewritten into one contiguous run from the first cluster of
// hcpt0000.hcf (every FAT copy), their entries given their real sizes, FSInfo again. FSInfo's
// free count and next-free hint follow the FAT at every step. Caller: one thread, on a volume
// nobody else writes (the marking worker, the CLI).
#pragma once

#include <atomic>
#include <functional>

#include "platform/raw_volume.h"
#include "prepare/hc_dir_entry.h"
#include "prepare/marking_plan.h"

namespace prepare {

enum class MarkStatus { ok, readFailed, writeFailed, stopped };
const char* MarkStatusText(MarkStatus s);

// Percent 0..99 while chaining.
using MarkProgress = std::function<void(int percent)>;

MarkStatus CreateCardFiles(platform::RawVolume& v, const MarkingPlan& plan, const FatTimestamp& t);

MarkStatus ChainPartitionFiles(platform::RawVolume& v, const MarkingPlan& plan,
                               const MarkProgress& progress = {},
                               const std::atomic<bool>* stop = nullptr);

// Both steps, then a flush of the volume.
MarkStatus MarkVolume(platform::RawVolume& v, const MarkingPlan& plan, const FatTimestamp& t,
                      const MarkProgress& progress = {}, const std::atomic<bool>* stop = nullptr);

}  // namespace prepare
