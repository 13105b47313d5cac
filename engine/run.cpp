#include "run.hpp"

#include <algorithm>
#include <numeric>

#include "bytes.hpp"
#include "channels.hpp"
#include "container.hpp"
#include "dates.hpp"
#include "error.hpp"
#include "joined_column.hpp"
#include "recording.hpp"
#include "rounding.hpp"

namespace kestrix {

namespace {

std::string dateText(const CivilTime& t) {
  return std::to_string(t.day) + "/" + std::to_string(t.month) + "/" + std::to_string(t.year) +
         " " + std::to_string(t.hour) + ":" + std::to_string(t.minute) + ":" +
         std::to_string(t.second);
}

// The container name as a column title: a TAB, CR or LF (or any other control
// byte) from a damaged name would shift the table's columns or split its
// header lines, so each becomes a blank.
std::string columnTitle(std::string name) {
  for (char& c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) c = ' ';
  }
  return name;
}

}  // namespace

LoggerFile readLoggerFile(std::string displayName, std::span<const std::uint8_t> bytes,
                          std::shared_ptr<const void> owner) {
  ByteCursor in(bytes);
  const Container container = readContainer(in, displayName);
  const RecordingHeader h = readRecordingHeader(in, container, displayName);

  const CivilTime start{2000 + h.startYear, h.startMonth,  h.startDay,
                        h.startHour,        h.startMinute, h.startSecond};
  if (!isValidCivilTime(start)) {
    throw ConversionError(ErrorKind::BadStartDate, displayName,
                          "the start date " + dateText(start) + " is not a valid date and time");
  }

  LoggerFile f;
  f.containerName = columnTitle(container.containerName);
  f.loggerId = h.loggerId;
  f.typeCode = h.typeCode;
  f.channelCount = channelCountOf(h.typeCode);
  f.offsetParam = h.offsetParam;
  f.factorParam = h.factorParam;
  f.sampleCount = h.sampleCount / f.channelCount;
  f.memorySize = memorySizeFor(h.memoryCode) / f.channelCount;
  f.startDate = toSeconds(start);
  f.interval = h.interval;
  f.samples = readSamples(in, container, h.sampleCount, f.memorySize, f.channelCount,
                          f.inconsistent, std::move(owner));
  f.displayName = std::move(displayName);
  return f;
}

LoggerFile readLoggerFile(std::string displayName, std::span<const std::uint8_t> bytes) {
  return readLoggerFile(std::move(displayName),
                        std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

LoggerFile readLoggerFile(std::string displayName, std::vector<std::uint8_t>&& bytes) {
  auto owned = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
  const std::span<const std::uint8_t> view(*owned);
  return readLoggerFile(std::move(displayName), view, std::move(owned));
}

bool startsLikeLoggerFile(std::span<const std::uint8_t> bytes) noexcept {
  try {
    ByteCursor in(bytes);
    const Container container = readContainer(in, {});
    const RecordingHeader h = readRecordingHeader(in, container, {});
    return isValidCivilTime(
        {2000 + h.startYear, h.startMonth, h.startDay, h.startHour, h.startMinute, h.startSecond});
  } catch (...) {
    return false;
  }
}

bool ConversionRun::intervalsDiffer() const noexcept {
  return std::any_of(files.begin(), files.end(),
                     [this](const LoggerFile& f) { return f.interval != files.front().interval; });
}

namespace {

// The file with the shortest interval, the first of them: the one that sets
// the step when a longer file needs too many rows.
const LoggerFile& shortestInterval(const std::vector<LoggerFile>& files) {
  return *std::min_element(
      files.begin(), files.end(),
      [](const LoggerFile& a, const LoggerFile& b) { return a.interval < b.interval; });
}

// The table row after which `f`'s first sample stands, on rows `step` apart from `earliest`.
std::int64_t rowOffset(const LoggerFile& f, std::int64_t earliest, int step) {
  return divideRoundHalfEven(f.startDate - earliest, step);
}

// The last table row of a file whose first sample stands on row offset + 1.
std::int64_t lastRowOf(const LoggerFile& f, std::int64_t offset, std::int64_t stride) {
  return f.sampleCount > 0 ? offset + 1 + (std::int64_t{f.sampleCount} - 1) * stride : offset;
}

// Sets the axis of `column`, whose files' first samples stand on the table
// rows after `offsets` (one for each of its files), and plans its files in
// its slots.
ColumnPlan columnOf(const std::vector<std::size_t>& members,
                    const std::vector<std::int64_t>& offsets, const ConversionRun& run,
                    bool joined) {
  const LoggerFile& first = run.files[members.front()];
  const std::int64_t stride = std::max(first.interval / std::max(run.step, 1), 1);
  const std::int64_t phase = offsets[members.front()] % stride;
  std::vector<FilePlan> plans;
  plans.reserve(members.size());
  for (const std::size_t j : members) {
    // The downloads of one logger lie whole intervals apart: on its slots.
    const std::int64_t offset =
        stride == 1
            ? offsets[j]
            : offsets[members.front()] + (run.files[j].startDate - first.startDate) / run.step;
    plans.push_back(planFile(run.files[j], j, (offset - phase) / stride));
  }
  ColumnPlan column =
      joined ? joinColumn(std::move(plans), run.files) : plainColumn(std::move(plans.front()));
  column.stride = stride;
  column.phase = phase;
  column.interval = first.interval;
  return column;
}

}  // namespace

ConversionRun makeRun(std::vector<LoggerFile> files, const Limits& limits, bool joinDownloads) {
  if (files.empty()) throw ConversionError(ErrorKind::NoFiles, "", "no file to convert");
  const int maxFiles = joinDownloads ? limits.maxJoinedFiles : limits.maxFiles;
  if (files.size() > static_cast<std::size_t>(maxFiles)) {
    throw ConversionError(ErrorKind::TooManyFiles, "",
                          std::to_string(files.size()) + " files given; one table takes at most " +
                              std::to_string(maxFiles) +
                              (joinDownloads ? " when joining downloads"
                                             : ", or " + std::to_string(limits.maxJoinedFiles) +
                                                   " when joining the downloads of each logger"));
  }
  DownloadGroups groups;
  if (joinDownloads) {
    groups = groupDownloads(files);
    if (groups.groups.size() > static_cast<std::size_t>(limits.maxJoinedColumns)) {
      throw ConversionError(ErrorKind::TooManyColumns, "",
                            "the files come from " + std::to_string(groups.groups.size()) +
                                " loggers or launches, each joined into one column; one table "
                                "takes at most " +
                                std::to_string(limits.maxJoinedColumns));
    }
  } else {
    for (std::size_t j = 0; j < files.size(); ++j) groups.groups.push_back({j});
  }

  ConversionRun run;
  run.files = std::move(files);
  for (const LoggerFile& f : run.files) {
    run.inconsistentFlag = run.inconsistentFlag || f.inconsistent;
    run.step = std::gcd(run.step, std::max(f.interval, 1));
  }

  run.earliestStart = run.files.front().startDate;
  for (const LoggerFile& f : run.files)
    run.earliestStart = std::min(run.earliestStart, f.startDate);

  run.totalRows = 0;
  std::vector<std::int64_t> offsets;
  offsets.reserve(run.files.size());
  for (const LoggerFile& f : run.files) {
    const std::int64_t offset = rowOffset(f, run.earliestStart, run.step);
    if (offset > limits.maxStepOffset) {
      throw ConversionError(ErrorKind::OffsetOutOfRange, f.displayName,
                            "starts " + std::to_string(offset) +
                                " sampling steps after the earliest file, beyond what a table "
                                "can hold");
    }
    const std::int64_t stride = std::max(f.interval / run.step, 1);
    const std::int64_t lastRow = lastRowOf(f, offset, stride);
    if (lastRow > limits.maxRows) {
      if (stride > 1) {
        const LoggerFile& shortest = shortestInterval(run.files);
        throw ConversionError(
            ErrorKind::TooManyRows, f.displayName,
            "sampling every " + std::to_string(f.interval) + " s beside " + shortest.displayName +
                " every " + std::to_string(shortest.interval) + " s, the table would need " +
                std::to_string(lastRow) + " rows, one every " + std::to_string(run.step) +
                " s, more than " + std::to_string(limits.maxRows) +
                "; convert files of different intervals in separate runs");
      }
      throw ConversionError(ErrorKind::TooManyRows, f.displayName,
                            "the table would have " + std::to_string(lastRow) +
                                " rows, more than " + std::to_string(limits.maxRows) +
                                ": its sample count " + std::to_string(f.sampleCount) +
                                " cannot be right");
    }
    run.totalRows = std::max(run.totalRows, lastRow);
    offsets.push_back(offset);
  }

  run.joined = joinDownloads;
  run.keptApart = std::move(groups.keptApart);
  run.columns.reserve(groups.groups.size());
  for (const std::vector<std::size_t>& group : groups.groups)
    run.columns.push_back(columnOf(group, offsets, run, joinDownloads));
  return run;
}

}  // namespace kestrix
