// korvan-cli info MEDIUM [--json]: the card state of a medium.
#include <cstdio>

#include <nlohmann/json.hpp>

#include "card/card_medium.h"
#include "card/card_state.h"
#include "cli/cli_notice_sink.h"
#include "cli/commands.h"
#include "cli/open_medium.h"
#include "cli/service_sector_json.h"

namespace cli {

namespace {

nlohmann::ordered_json InfoJson(const card::CardMedium& m, const card::CardStateView& view,
                        const card::UsageView& usage) {
  nlohmann::ordered_json j;
  j["class"] = card::CardClassName(view.cardClass);
  j["imageMode"] = m.imageMode;
  j["cardLength"] = m.cardLength;
  j["volumeSectors"] = m.volumeSectors();
  j["isFat32"] = m.geometry.recognised && m.geometry.isFat32;
  j["emptyFat32"] = m.emptyFat32;
  j["marked"] = m.marked;
  j["partitionStart"] = m.partitionStart;
  j["hc00infoSector"] = m.hc00infoSector;
  j["hc01infoSector"] = m.hc01infoSector;
  j["hcpt0000Sector"] = m.hcpt0000Sector;
  j["dirRegionSectors"] = m.dirRegionSectors;
  // What sector 0 of the volume shows ("FAT32", "exFAT", "NTFS", "none" for a blank one,
  // "unknown"), and whether the info files were located so that writes can reach them.
  const char* fileSystem = card::VolumeKindName(m.volumeKind);
  j["fileSystem"] = *fileSystem                              ? fileSystem
                    : m.volumeKind == card::VolumeKind::none ? "none"
                                                             : "unknown";
  j["serviceSectorLocated"] = m.serviceSectorLocated();
  j["N_rsf"] = m.region.N_rsf;
  j["N_sectors_in_standard_rsf"] = m.region.N_sectors_in_standard_rsf;
  j["N_sectors_in_the_last_rsf"] = m.region.N_sectors_in_the_last_rsf;
  j["N_sectors_in_rsr"] = m.region.N_sectors_in_rsr;
  j["N_s_s"] = m.N_s_s;
  j["s_s_bgn"] = m.s_s_bgn;
  j["s_s_end"] = m.s_s_end;
  j["description"] = view.description;
  j["usage"] = usage.text;
  j["icons"] = {{"img_q", view.img_q},
                {"img_f", view.img_f},
                {"img_a", view.img_a},
                {"label_a", view.label_a},
                {"img_t", view.img_t}};
  j["serviceSector"] = ServiceSectorJson(m.serviceSector);
  return j;
}

void PrintPlain(const card::CardMedium& m, const card::CardStateView& view,
                const card::UsageView& usage) {
  std::printf("%s\n%s\n", view.description.c_str(), usage.text.c_str());
  std::printf("class: %s\n", card::CardClassName(view.cardClass));
  std::printf("partitionStart: %u\n", m.partitionStart);
  if (!m.marked) return;
  std::printf("partition files: %u (%u sectors each, last %u, region %u)\n", m.region.N_rsf,
              m.region.N_sectors_in_standard_rsf, m.region.N_sectors_in_the_last_rsf,
              m.region.N_sectors_in_rsr);
  std::printf("blocks: %u, recorded from block %u to block %u\n", m.N_s_s, m.s_s_bgn, m.s_s_end);
  std::printf("icons: %s %s %s %s | %s | %s %s | %s\n", view.img_q[0].c_str(),
              view.img_q[1].c_str(), view.img_q[2].c_str(), view.img_q[3].c_str(),
              view.img_f.c_str(), view.img_a.c_str(), view.label_a.c_str(), view.img_t.c_str());
}

}  // namespace

int RunInfo(const Args& args) {
  std::string path;
  bool json = false;
  for (const std::string& a : args) {
    if (a == "--json")
      json = true;
    else if (path.empty() && (a.empty() || a[0] != '-'))
      path = a;
    else
      return Fail(2, "usage: korvan-cli info MEDIUM [--json]");
  }
  if (path.empty()) return Fail(2, "usage: korvan-cli info MEDIUM [--json]");

  CliNoticeSink notices;
  card::CardMedium medium(notices);
  if (const int status = OpenMediumForCommand(medium, path)) return status;
  const card::CardStateInput input = card::CardStateInput::FromMedium(medium);
  const card::CardStateView view = card::DescribeCardState(input);
  const card::UsageView usage = card::DescribeUsage(input, false);
  if (json)
    std::printf("%s\n", InfoJson(medium, view, usage)
                            .dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
                            .c_str());
  else
    PrintPlain(medium, view, usage);
  return 0;
}

}  // namespace cli
