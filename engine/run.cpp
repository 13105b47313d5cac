#include "run.hpp"

#include <algorithm>

#include "bytes.hpp"
#include "channels.hpp"
#include "container.hpp"
#include "dates.hpp"
#include "error.hpp"
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

ConversionRun makeRun(std::vector<LoggerFile> files, const Limits& limits) {
  if (files.empty()) throw ConversionError(ErrorKind::NoFiles, "", "no file to convert");
  if (files.size() > static_cast<std::size_t>(limits.maxFiles)) {
    throw ConversionError(ErrorKind::TooManyFiles, "",
                          std::to_string(files.size()) + " files given; one table takes at most " +
                              std::to_string(limits.maxFiles));
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
  run.columns.reserve(run.files.size());
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
    run.columns.push_back({{planFile(f, j, offset, run.interval)}});
  }
  return run;
}

}  // namespace kestrix
