// Test helper: a card image folder (hc00info.hcf, hc01info.hcf and sparse hcpt files) whose
// record region holds hand-made information sectors, for running korvan-cli on it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "card/servsectclass.h"
#include "records/ring_builder.h"

namespace testsupport {

class CardFolder {
 public:
  static constexpr uint32_t kRsrSectnum = 0x10000;  // absolute sector of the region's start

  // `files` partition files of `blocksPerFile` blocks each.
  CardFolder(std::filesystem::path dir, uint32_t files, uint32_t blocksPerFile)
      : dir_(std::move(dir)), blocksPerFile_(blocksPerFile) {
    std::filesystem::create_directories(dir_);
    g_.N_rsf = files;
    g_.N_sectors_in_standard_rsf = g_.N_sectors_in_the_last_rsf = blocksPerFile * 256;
    g_.N_sectors_in_rsr = files * blocksPerFile * 256;
    for (uint32_t k = 0; k < files; ++k) {
      char name[32];
      std::snprintf(name, sizeof name, "hcpt%04u.hcf", k);
      std::ofstream(dir_ / name, std::ios::binary).close();
      std::filesystem::resize_file(dir_ / name, uint64_t(blocksPerFile) * 256 * 512);
    }
    card::InitServiceSector(service_, g_);
    service_.set_rsr_sectnum(kRsrSectnum);
  }

  uint32_t blocks() const { return g_.N_sectors_in_rsr >> 8; }
  card::ServiceSector& service() { return service_; }
  // Ring pointers as block numbers.
  void set_ring(uint32_t bgnBlock, uint32_t endBlock) {
    service_.set_rec_bgn_sectnum(kRsrSectnum + bgnBlock * 256);
    service_.set_rec_end_sectnum(kRsrSectnum + endBlock * 256);
  }

  void write_info(uint32_t block, const card::ServiceSector& s) {
    char name[32];
    std::snprintf(name, sizeof name, "hcpt%04u.hcf", block / blocksPerFile_);
    std::fstream f(dir_ / name, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(std::streamoff((uint64_t(block % blocksPerFile_) * 256 + 255) * 512));
    f.write(reinterpret_cast<const char*>(s.data()), 512);
  }

  void write_recording(const RecordingSpec& desc) {
    MemoryRegionShape shape(g_);
    for (uint32_t i = 0; i < desc.blocks; ++i)
      write_info((desc.first + i) % blocks(), InfoSectorFor(shape, desc, i));
  }

  // Writes both info files; call after the last change to service().
  void finish() {
    for (const char* name : {"hc00info.hcf", "hc01info.hcf"}) {
      std::ofstream f(dir_ / name, std::ios::binary);
      f.write(reinterpret_cast<const char*>(service_.data()), 512);
      const std::vector<char> rest(512 * 7, 0);
      f.write(rest.data(), std::streamsize(rest.size()));
    }
  }

  std::string path() const { return dir_.string(); }

 private:
  // Only the geometry of a region, for InfoSectorFor.
  struct MemoryRegionShape final : card::RegionReader {
    explicit MemoryRegionShape(const card::RegionGeometry& g) : g(g) {}
    const card::RegionGeometry& geometry() const override { return g; }
    card::RegionReadResult read_sector(uint32_t, base::Sector&) override {
      return card::RegionReadResult::no_file;
    }
    void close() override {}
    uint64_t reads() const override { return 0; }
    void reset_reads() override {}
    card::RegionGeometry g;
  };

  std::filesystem::path dir_;
  uint32_t blocksPerFile_;
  card::RegionGeometry g_;
  card::ServiceSector service_;
};

}  // namespace testsupport
