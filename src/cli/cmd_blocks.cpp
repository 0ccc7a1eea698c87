// korvan-cli blocks MEDIUM [FIRST COUNT]: the service-sector list of a marked card, one line
// per block from FIRST (default 0) for COUNT blocks (default 128), with the same corrections
// as the service-sector list window: FIRST is brought into the ring, COUNT limited to it.
#include <cstdio>
#include <string>

#include "card/card_medium.h"
#include "cli/cli_notice_sink.h"
#include "cli/commands.h"
#include "cli/open_medium.h"
#include "records/service_list_lines.h"

namespace cli {

namespace {

bool IsInteger(const std::string& text) {
  size_t i = text.size() > 1 && (text[0] == '-' || text[0] == '+') ? 1 : 0;
  if (i == text.size() || text.size() - i > 10) return false;
  for (; i < text.size(); ++i)
    if (text[i] < '0' || text[i] > '9') return false;
  const long long v = std::stoll(text);
  return v >= INT32_MIN && v <= INT32_MAX;
}

}  // namespace

int RunBlocks(const Args& args) {
  if (args.size() != 1 && args.size() != 3) return Fail(2, "usage: blocks MEDIUM [FIRST COUNT]");
  std::string first = "0", count = "128";
  if (args.size() == 3) {
    first = args[1];
    count = args[2];
    if (!IsInteger(first) || !IsInteger(count))
      return Fail(2, "FIRST and COUNT must be whole numbers");
  }
  CliNoticeSink notices;
  card::CardMedium medium(notices);
  if (int status = OpenMediumForCommand(medium, args[0])) return status;
  if (!medium.marked || !medium.regionReader()) return Fail(1, "the card is not marked");
  const uint32_t nss = medium.N_s_s;
  if (nss == 0) return 0;
  const auto lines = records::ListRingBlocks(*medium.regionReader(), nss,
                                             records::CorrectFirstBlock(first, nss),
                                             records::CorrectBlockCount(count, nss));
  for (const std::string& line : lines) std::printf("%s\n", line.c_str());
  return 0;
}

}  // namespace cli
