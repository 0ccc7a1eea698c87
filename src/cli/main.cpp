// korvan-cli: the card tool without a GUI. Dispatches to one function per command.
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/commands.h"

namespace cli {

int Fail(int status, const std::string& message) {
  std::fprintf(stderr, "korvan-cli: %s\n", message.c_str());
  return status;
}

}  // namespace cli

namespace {

struct Command {
  const char* name;
  int (*run)(const cli::Args&);
  const char* usage;
};

const Command kCommands[] = {
    {"info", cli::RunInfo, "info MEDIUM [--json]"},
    {"list", cli::RunList, "list MEDIUM [--json] [--thorough]"},
    {"convert", cli::RunConvert,
     "convert MEDIUM OUTDIR [--records 0,2,5 | --all] [--range FIRST LAST --record N]"
     " [--range-blocks FROM TILL --record N] [--thorough] [--telemetry]"},
    {"verify", cli::RunVerify, "verify FILE.mp4 [--json]"},
    {"blocks", cli::RunBlocks, "blocks MEDIUM [FIRST COUNT]"},
    {"battery-log", cli::RunBatteryLog, "battery-log MEDIUM RECORD OUTDIR"},
    {"telemetry", cli::RunTelemetry, "telemetry MEDIUM RECORD OUTDIR [--range FIRST LAST]"},
    {"frame", cli::RunFrame, "frame MEDIUM RECORD POSITION OUT.png [--map]"},
    {"settings", cli::RunSettings, "settings MEDIUM [--json] [--set KEY=VALUE... [--yes]]"},
    {"clear", cli::RunClear, "clear MEDIUM [--yes]"},
    {"erase", cli::RunErase, "erase MEDIUM [--yes]"},
    {"recover", cli::RunRecover, "recover MEDIUM [--yes]"},
    {"mark", cli::RunMark, "mark MEDIUM [--share PERCENT] [--dry-run] [--json] [--yes]"},
    {"format", cli::RunFormat, "format MEDIUM [--yes]"},
};

int Usage(FILE* out) {
  std::fprintf(out, "usage: korvan-cli COMMAND ...\n");
  for (const Command& c : kCommands) std::fprintf(out, "  korvan-cli %s\n", c.usage);
  return out == stdout ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage(stderr);
  const std::string name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") return Usage(stdout);
  for (const Command& c : kCommands)
    if (name == c.name) return c.run(cli::Args(argv + 2, argv + argc));
  std::fprintf(stderr, "korvan-cli: unknown command '%s'\n", name.c_str());
  return Usage(stderr);
}
