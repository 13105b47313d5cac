#include "fuzz_input.hpp"

#include <algorithm>
#include <utility>

#include "fuzz_check.hpp"
#include "limit_rules.hpp"
#include "recording.hpp"

namespace kestrix::fuzz {

namespace {

constexpr std::string_view kNextFile = "KSTXNEXT";

std::vector<std::string_view> splitFiles(std::string_view input) {
  std::vector<std::string_view> parts;
  while (parts.size() + 1 < static_cast<std::size_t>(kMaxFiles)) {
    const std::size_t at = input.find(kNextFile);
    if (at == std::string_view::npos) break;
    parts.push_back(input.substr(0, at));
    input.remove_prefix(at + kNextFile.size());
  }
  parts.push_back(input);
  return parts;
}

void checkFile(const LoggerFile& f) {
  check(f.channelCount == 1 || f.channelCount == 2, "channel count");
  check(f.memorySize * f.channelCount == 65536 || f.memorySize * f.channelCount == 131072,
        "memory size");
  check(std::find(intervalTable.begin(), intervalTable.end(), f.interval) != intervalTable.end(),
        "interval");
  // The loader keeps at most one logger memory, whatever the header claims.
  check(f.samples.size() <= 131072, "sample column larger than a logger memory");
  check(f.samples.size() >= 0, "negative column size");
  check(f.samples.base() >= 0, "negative column base");
  // Nothing outside the stored positions, and the block reader agrees with
  // the one-position reader.
  check(!f.samples.at(f.samples.base()) && !f.samples.at(f.samples.base() + f.samples.size() + 1),
        "a sample outside the stored positions");
  if (f.samples.size() > 0) {
    std::vector<std::int16_t> block(static_cast<std::size_t>(f.samples.size()));
    const bool all = f.samples.decode(0, f.samples.size(), block.data());
    bool every = true;
    for (std::int64_t i = 0; i < f.samples.size(); ++i) {
      const auto s = f.samples.at(f.samples.base() + 1 + i);
      every = every && s.has_value();
      check(s.value_or(0) == block[static_cast<std::size_t>(i)], "decode differs from at");
    }
    check(all == every, "decode misreports missing samples");
  }
}

void checkRun(const ConversionRun& run) {
  check(run.totalRows <= kLimits.maxRows, "table longer than the row limit");
  check(run.columns.size() == run.files.size(), "one column per file");
  for (std::size_t j = 0; j < run.columns.size(); ++j) {
    const FilePlan& plan = run.columns[j].file();
    check(plan.file == j && plan.offset >= 0, "column plan");
  }
}

}  // namespace

void checkMessage(const ConversionError& e, const std::string& file) {
  const std::string message = e.what();
  check(e.file() == file, "error names another file:", message);
  check(!e.detail().empty() && message == (file.empty() ? "" : file + ": ") + e.detail(),
        "malformed message:", message);
  check(message.find('\n') == std::string::npos && message.find('\r') == std::string::npos,
        "message spans lines:", message);
}

std::optional<ConversionRun> readRun(std::string_view input) {
  std::vector<LoggerFile> files;
  int fileNumber = 0;
  for (std::string_view part : splitFiles(input)) {
    const std::string name = "UC00" + std::to_string(++fileNumber) + ".PDB";
    const auto* data = reinterpret_cast<const std::uint8_t*>(part.data());
    try {
      files.push_back(readLoggerFile(name, {data, part.size()}));
      checkFile(files.back());
    } catch (const ConversionError& e) {
      checkMessage(e, name);
    }
  }
  if (files.empty()) return std::nullopt;
  try {
    ConversionRun run = makeRun(std::move(files), kLimits);
    checkRun(run);
    return run;
  } catch (const ConversionError& e) {
    checkMessage(e, e.file());
    return std::nullopt;
  }
}

int channelCount(const ConversionRun& run) {
  int channels = 0;
  for (const LoggerFile& file : run.files) channels += file.channelCount;
  return channels;
}

std::optional<JoinedCopy> joinCopy(const LoggerFile& file, std::string_view input) {
  LoggerFile copy = file;
  copy.displayName = "UC00S.PDB";
  JoinedCopy out;
  out.steps =
      std::int64_t{file.sampleCount} * (static_cast<std::int64_t>(input.size() % 5) - 2) / 4;
  copy.startDate += out.steps * file.interval;
  std::vector<LoggerFile> pair{file, copy};
  try {
    out.joined = makeRun(pair, kLimits, true);
    out.apart = makeRun(std::move(pair), kLimits);
  } catch (const ConversionError& e) {
    checkMessage(e, e.file());
    return std::nullopt;
  }
  return out;
}

std::optional<ConversionRun> runOfOutputs(std::string_view input) {
  std::optional<ConversionRun> run = readRun(input);
  if (!run || input.size() / 5 % 3 != 0) return run;
  std::optional<JoinedCopy> copy = joinCopy(run->files.front(), input);
  if (!copy) return run;
  return std::move(copy->joined);
}

std::uint64_t inputHash(std::string_view input, std::uint64_t basis) {
  std::uint64_t hash = basis;
  for (const char c : input) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211u;
  return hash;
}

std::vector<LimitRule> limitsFrom(std::string_view input, int interval) {
  std::uint64_t hash = inputHash(input, 1469598103934665603u);
  const auto bits = [&hash](int n) {
    const auto value = static_cast<std::int64_t>(hash & ((std::uint64_t{1} << n) - 1));
    hash >>= n;
    return value;
  };
  std::int64_t a = bits(12) - 1000, b = bits(12) - 1000;
  if (a > b) std::swap(a, b);
  const double half = bits(1) != 0 ? 0.05 : 0.0;
  LimitRule rule;
  if (bits(3) != 0) rule.low = static_cast<double>(a) / 10.0 + half;
  if (bits(3) != 0 || !rule.low) rule.high = static_cast<double>(b) / 10.0 + half;
  rule.delaySeconds = bits(2) * interval;
  if (bits(1) != 0) rule.totalSeconds = bits(3) * interval;
  std::vector<LimitRule> rules;
  for (const std::string_view unit : tableUnits()) {
    rule.unit = std::string(unit);
    rules.push_back(rule);
  }
  return rules;
}

std::size_t count(std::string_view text, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string_view::npos;
       at = text.find(what, at + what.size())) {
    ++n;
  }
  return n;
}

}  // namespace kestrix::fuzz
