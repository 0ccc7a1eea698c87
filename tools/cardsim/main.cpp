// korvan-cardsim: writes simulated recorder cards.
//
//   korvan-cardsim demo DIR [--json FILE]
//   korvan-cardsim mkvolume IMAGE [--volume-mib N] [--files N] [--file-mib N] [--last-file-mib N]
//     (an empty marked FAT32 volume image, to write cards into)
//   korvan-cardsim write DIR [--scenario FILE.json] [--json FILE] [--dump-es DIR] [options]
//     options (override the scenario): --seed N --files N --file-mib N --last-file-mib N
//       --ring-start B --recordings N --duration S --blocks N --size 720x576|352x288
//       --info-only
//
// DIR may also name a marked FAT32 volume (or whole-disk) image file: the card is then written
// into its hc files, and the partition file sizes are the card's.
// Prints what was written (recordings with their blocks, frame counts and elementary-stream
// sizes); --json FILE also writes it as JSON ("-" for stdout). Exit 0 on success, 1 on
// failure with one line on stderr, 2 on bad usage.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "cardsim/card_writer.h"
#include "cardsim/demo_scenario.h"
#include "cardsim/scenario_json.h"
#include "cardsim/volume_image_sink.h"
#include "cardsim/volume_maker.h"

namespace {

int Usage() {
  std::fputs(
      "usage: korvan-cardsim demo DIR [--json FILE]\n"
      "       (DIR: an image folder, or a marked FAT32 volume or disk image file)\n"
      "       korvan-cardsim mkvolume IMAGE [--volume-mib N] [--files N] [--file-mib N]\n"
      "              [--last-file-mib N]\n"
      "       korvan-cardsim write DIR [--scenario FILE.json] [--json FILE] [--dump-es DIR]\n"
      "              [--seed N] [--files N] [--file-mib N] [--last-file-mib N]\n"
      "              [--ring-start B] [--recordings N] [--duration S] [--blocks N]\n"
      "              [--size 720x576|352x288] [--info-only]\n",
      stderr);
  return 2;
}

bool ReadFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  out = ss.str();
  return true;
}

bool ParseUnsigned(const char* text, uint64_t& out) {
  char* end = nullptr;
  if (!text || !*text || *text == '-') return false;
  out = std::strtoull(text, &end, 10);
  return *end == 0;
}

struct Options {
  std::string json_path, dump_dir, scenario_path;
  bool have_files = false, have_recordings = false;
  uint64_t files = 1, file_mib = 8, last_file_mib = 0, recordings = 0, blocks = 0;
  double duration = 0;
};

// Applies command-line options on top of the scenario; returns false on bad usage.
bool ApplyOptions(int argc, char** argv, int first, Options& o, cardsim::Scenario& s,
                  bool& have_scenario_file) {
  for (int i = first; i < argc; ++i) {
    const std::string a = argv[i];
    const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
    uint64_t n = 0;
    auto number = [&](uint64_t& out) { return ParseUnsigned(v, out) && (++i, true); };
    if (a == "--json" && v) o.json_path = argv[++i];
    else if (a == "--dump-es" && v) o.dump_dir = argv[++i];
    else if (a == "--scenario" && v) { o.scenario_path = argv[++i]; have_scenario_file = true; }
    else if (a == "--seed" && number(n)) s.seed = uint32_t(n);
    else if (a == "--files" && number(o.files)) o.have_files = true;
    else if (a == "--file-mib" && number(o.file_mib)) o.have_files = true;
    else if (a == "--last-file-mib" && number(o.last_file_mib)) o.have_files = true;
    else if (a == "--ring-start" && number(n)) s.ring_start_block = uint32_t(n);
    else if (a == "--recordings" && number(o.recordings)) o.have_recordings = true;
    else if (a == "--blocks" && number(o.blocks)) o.have_recordings = true;
    else if (a == "--duration" && v) { o.duration = std::atof(argv[++i]); o.have_recordings = true; }
    else if (a == "--info-only") s.info_only = true;
    else if (a == "--size" && v) {
      const std::string size = argv[++i];
      if (size == "720x576") { s.width = 720; s.height = 576; }
      else if (size == "352x288") { s.width = 352; s.height = 288; }
      else return false;
    } else return false;
  }
  return true;
}

}  // namespace

int MakeVolume(int argc, char** argv) {
  cardsim::VolumeLayout layout;
  uint64_t files = 4, file_mib = 8, last_mib = 0, volume_mib = 0;
  for (int i = 3; i < argc; ++i) {
    const std::string a = argv[i];
    uint64_t* target = a == "--volume-mib" ? &volume_mib : a == "--files" ? &files
                     : a == "--file-mib" ? &file_mib : a == "--last-file-mib" ? &last_mib : nullptr;
    if (!target || i + 1 >= argc || !ParseUnsigned(argv[i + 1], *target)) return Usage();
    ++i;
  }
  if (files == 0 || files > 128 || file_mib == 0) return Usage();
  layout.partition_file_bytes.assign(files, file_mib << 20);
  if (last_mib) layout.partition_file_bytes.back() = last_mib << 20;
  uint64_t total = 0;
  for (uint64_t b : layout.partition_file_bytes) total += b;
  layout.volume_bytes = volume_mib ? volume_mib << 20 : std::max<uint64_t>(64u << 20, total + (16u << 20));
  std::string error;
  if (!cardsim::MakeMarkedVolume(argv[2], layout, error)) {
    std::fprintf(stderr, "korvan-cardsim: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string command = argv[1], out_dir = argv[2];
  if (command == "mkvolume") return MakeVolume(argc, argv);
  cardsim::Scenario scenario;
  Options o;
  if (command == "demo") {
    scenario = cardsim::DemoScenario();
    bool dummy = false;
    if (!ApplyOptions(argc, argv, 3, o, scenario, dummy) || !o.scenario_path.empty()) return Usage();
  } else if (command == "write") {
    bool have_file = false;
    cardsim::Scenario probe;
    if (!ApplyOptions(argc, argv, 3, o, probe, have_file)) return Usage();
    if (have_file) {
      std::string text, error;
      if (!ReadFile(o.scenario_path, text)) {
        std::fprintf(stderr, "korvan-cardsim: cannot read %s\n", o.scenario_path.c_str());
        return 1;
      }
      if (!cardsim::ParseScenarioJson(text, scenario, error)) {
        std::fprintf(stderr, "korvan-cardsim: %s\n", error.c_str());
        return 1;
      }
    }
    Options again;
    ApplyOptions(argc, argv, 3, again, scenario, have_file);  // options override the file
    if (o.have_files) {
      scenario.partition_file_bytes.assign(o.files ? o.files : 1, o.file_mib << 20);
      if (o.last_file_mib) scenario.partition_file_bytes.back() = o.last_file_mib << 20;
    }
    if (o.have_recordings) {
      scenario.recordings.clear();
      cardsim::RecordingSpec r;
      r.duration_s = o.blocks ? 0 : (o.duration > 0 ? o.duration : 5);
      r.blocks = uint32_t(o.blocks);
      for (uint64_t i = 0; i < (o.recordings ? o.recordings : 1); ++i)
        scenario.recordings.push_back(r);
    }
  } else {
    return Usage();
  }

  cardsim::WriteOptions write_options;
  write_options.es_dump_dir = o.dump_dir;
  std::error_code ec;
  const bool volume = std::filesystem::is_regular_file(out_dir, ec);
  const cardsim::CardResult result =
      volume ? cardsim::WriteCardToVolumeImage(scenario, out_dir, write_options)
             : cardsim::WriteCardToFolder(scenario, out_dir, write_options);
  if (!result.ok) {
    std::fprintf(stderr, "korvan-cardsim: %s\n", result.error.c_str());
    return 1;
  }
  std::fputs(cardsim::CardResultText(result).c_str(), o.json_path == "-" ? stderr : stdout);
  if (!o.json_path.empty()) {
    const std::string json = cardsim::CardResultJson(result);
    if (o.json_path == "-") {
      std::fputs(json.c_str(), stdout);
    } else {
      std::ofstream out(o.json_path, std::ios::binary);
      if (!(out << json)) {
        std::fprintf(stderr, "korvan-cardsim: cannot write %s\n", o.json_path.c_str());
        return 1;
      }
    }
  }
  return 0;
}
