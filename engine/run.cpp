#include "run.hpp"

#include <algorithm>

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
                     [this](const LoggerFile& f) { return f.interval != interval; });
}

ConversionRun makeRun(std::vector<LoggerFile> files, const Limits& limits, bool joinDownloads) {
  if (files.empty()) throw ConversionError(ErrorKind::NoFiles, "", "no file to convert");
  const int maxFiles = joinDownloads ? limits.maxJoinedFiles : limits.maxFiles;
  if (files.size() > static_cast<std::size_t>(maxFiles)) {
    throw ConversionError(ErrorKind::TooManyFiles, "",
                          std::to_string(files.size()) + " files given; one table takes at most " +
                              std::to_string(maxFiles) +
                              (joinDownloads ? " when joining downloads" : ""));
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
  }

  ConversionRun run;
  run.files = std::move(files);
  run.interval = run.files.back().interval;
  for (const LoggerFile& f : run.files)
    run.inconsistentFlag = run.inconsistentFlag || f.inconsistent;

  run.earliestStart = run.files.front().startDate;
  for (const LoggerFile& f : run.files)
    run.earliestStart = std::min(run.earliestStart, f.startDate);

  run.totalRows = run.files.front().sampleCount;
  std::vector<FilePlan> plans;
  plans.reserve(run.files.size());
  for (std::size_t j = 0; j < run.files.size(); ++j) {
    const LoggerFile& f = run.files[j];
    const std::int64_t offset = divideRoundHalfEven(f.startDate - run.earliestStart, run.interval);
    if (offset > limits.maxStepOffset) {
      throw ConversionError(ErrorKind::OffsetOutOfRange, f.displayName,
                            "starts " + std::to_string(offset) +
                                " sampling steps after the earliest file, beyond what a table "
                                "can hold");
    }
    const std::int64_t lastRow = offset + f.sampleCount;
    if (lastRow > limits.maxRows) {
      throw ConversionError(ErrorKind::TooManyRows, f.displayName,
                            "the table would have " + std::to_string(lastRow) +
                                " rows, more than " + std::to_string(limits.maxRows) +
                                ": its sample count " + std::to_string(f.sampleCount) +
                                " cannot be right");
    }
    run.totalRows = std::max(run.totalRows, lastRow);
    plans.push_back(planFile(f, j, offset, run.interval));
  }

  if (!joinDownloads) {
    run.columns.reserve(plans.size());
    for (FilePlan& plan : plans) run.columns.push_back(plainColumn(std::move(plan)));
    return run;
  }
  run.joined = true;
  run.keptApart = std::move(groups.keptApart);
  run.columns.reserve(groups.groups.size());
  for (const std::vector<std::size_t>& group : groups.groups) {
    std::vector<FilePlan> joined;
    joined.reserve(group.size());
    for (const std::size_t j : group) joined.push_back(std::move(plans[j]));
    run.columns.push_back(joinColumn(std::move(joined), run.files));
  }
  return run;
}

}  // namespace kestrix
