#include "cli/convert_options.h"

#include <cstdlib>

#include "cli/decimal_arg.h"

namespace cli {

namespace {

bool ParseNumber(const std::string& text, int64_t& out) { return ParseDecimal(text, 18, out); }

bool ParseList(const std::string& text, std::vector<size_t>& out) {
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = text.find(',', start);
    const std::string item = text.substr(start, comma == std::string::npos ? comma : comma - start);
    int64_t n = 0;
    if (!ParseNumber(item, n)) return false;
    out.push_back(size_t(n));
    if (comma == std::string::npos) return true;
    start = comma + 1;
  }
  return false;
}

}  // namespace

std::optional<ConvertOptions> ParseConvertOptions(const Args& args, std::string& error) {
  const auto bad = [&error](const std::string& why) -> std::optional<ConvertOptions> {
    error = why;
    return std::nullopt;
  };
  ConvertOptions o;
  std::vector<std::string> positional;
  bool haveRecord = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const auto value = [&](size_t k) -> const std::string* {
      return i + k < args.size() ? &args[i + k] : nullptr;
    };
    if (a == "--all") {
      o.all = true;
    } else if (a == "--thorough") {
      o.thorough = true;
    } else if (a == "--telemetry") {
      o.telemetry = true;
    } else if (a == "--skip-existing") {
      o.skipExisting = true;
    } else if (a == "--records") {
      if (!value(1) || !ParseList(*value(1), o.records)) return bad("--records needs a list such as 0,2,5");
      ++i;
    } else if (a == "--range") {
      if (!value(2) || !ParseNumber(*value(1), o.rangeFirst) || !ParseNumber(*value(2), o.rangeLast))
        return bad("--range needs FIRST_SECTOR LAST_SECTOR");
      o.range = true;
      i += 2;
    } else if (a == "--range-blocks") {
      if (!value(2) || !ParseNumber(*value(1), o.rangeFirst) || !ParseNumber(*value(2), o.rangeLast))
        return bad("--range-blocks needs FROM TILL");
      o.range = o.rangeInBlocks = true;
      i += 2;
    } else if (a == "--record") {
      int64_t n = 0;
      if (!value(1) || !ParseNumber(*value(1), n)) return bad("--record needs a number");
      o.rangeRecord = size_t(n);
      haveRecord = true;
      ++i;
    } else if (a.size() > 1 && a[0] == '-') {
      return bad("unknown option '" + a + "'");
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 2) return bad("convert needs MEDIUM and OUTDIR");
  if (o.range != haveRecord) return bad("--range and --record go together");
  if (o.range && (o.all || !o.records.empty()))
    return bad("--range cannot be combined with --records or --all");
  if (o.all && !o.records.empty()) return bad("--records and --all exclude each other");
  if (!o.range && o.records.empty()) o.all = true;
  o.medium = positional[0];
  o.outputDir = positional[1];
  if (o.outputDir.back() != '/') o.outputDir += '/';
  return o;
}

}  // namespace cli
