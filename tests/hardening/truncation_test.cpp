// Every prefix of a valid logger file either converts, with blank cells where
// samples were cut off and the inconsistent flag, or is refused with a message
// that says which part of the file ends too early. A cut never changes a value.
#include <gtest/gtest.h>

#include <algorithm>
#include <conversion.hpp>
#include <logger_file_builder.hpp>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "error.hpp"
#include "run.hpp"
#include "sink.hpp"
#include "table.hpp"

using kestrix::ConversionError;
using kestrix::ErrorKind;
using kestrix::testing::crlfLines;
using kestrix::testing::LoggerFileBuilder;
using kestrix::testing::ramp;
using kestrix::testing::split;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr const char* kName = "UC001.PDB";

kestrix::testing::WrittenTable tableOf(kestrix::LoggerFile file) {
  return kestrix::testing::convertToText(kestrix::testing::runOf(std::move(file)));
}

// One kind of valid file and where its parts end.
struct Kind {
  std::string label;
  LoggerFileBuilder builder;
  int headerLength;  // bytes of record 1
  int channels;
};

// Record 1 is read up to the end of the optional group that its last byte
// belongs to: a group that starts inside record 1 is read whole.
std::int64_t headerBytesRead(int headerLength) {
  if (headerLength <= 20) return 20;
  return std::min(26, headerLength + headerLength % 2);
}

class Truncation : public ::testing::TestWithParam<int> {};

// The expected refusal of a prefix of n bytes, or nothing when it must convert.
std::optional<std::pair<ErrorKind, std::string>> refusalOf(std::int64_t n, const Kind& kind,
                                                           const std::vector<std::int64_t>& at) {
  const auto records = static_cast<std::int64_t>(at.size());
  if (n < 78) {
    return std::make_pair(
        ErrorKind::TruncatedContainerHeader,
        std::string(kName) +
            (n == 0 ? std::string(": empty file")
                    : ": not a logger file (" + std::to_string(n) + " bytes, too short for one)"));
  }
  if (n < 78 + 8 * records) {
    return std::make_pair(ErrorKind::TruncatedRecordIndex,
                          std::string(kName) +
                              ": not a logger file, or one cut short: it ends within its list of " +
                              std::to_string(records) + " records");
  }
  if (n < at[0] + headerBytesRead(kind.headerLength)) {
    return std::make_pair(ErrorKind::TruncatedRecordingHeader,
                          std::string(kName) +
                              ": not a logger file, or one cut short: it ends within the "
                              "recording's settings");
  }
  return std::nullopt;
}

// Checks the prefix of n bytes against the whole file's reading and table.
void checkPrefix(const Bytes& whole, std::int64_t n, const Kind& kind,
                 const std::vector<std::int64_t>& at, const kestrix::LoggerFile& full,
                 const std::vector<std::string>* fullLines) {
  SCOPED_TRACE(kind.label + ", prefix of " + std::to_string(n) + " bytes");
  const Bytes prefix(whole.begin(), whole.begin() + n);
  const auto refusal = refusalOf(n, kind, at);
  kestrix::LoggerFile got;
  try {
    got = kestrix::readLoggerFile(kName, prefix);
  } catch (const ConversionError& e) {
    ASSERT_TRUE(refusal) << "refused: " << e.what();
    EXPECT_EQ(e.kind(), refusal->first);
    EXPECT_EQ(e.what(), refusal->second);
    return;
  }
  ASSERT_FALSE(refusal) << "converted, but should be refused: " << refusal->second;

  // The header is whole, so the table keeps its length; samples are only lost.
  EXPECT_EQ(got.sampleCount, full.sampleCount);
  EXPECT_EQ(got.inconsistent, n < static_cast<std::int64_t>(whole.size()));
  std::int64_t present = 0;
  for (std::int64_t p = 1; p <= std::int64_t{full.sampleCount} * kind.channels; ++p) {
    const auto value = got.samples.at(p);
    if (!value) continue;
    ++present;
    ASSERT_EQ(value, full.samples.at(p)) << "position " << p << " changed by the cut";
  }
  // Whole samples in the cut-off file: the prefix holds at most that many.
  EXPECT_LE(present, std::max<std::int64_t>(0, (n - at[1] + 1) / 2));

  if (!fullLines) return;
  const auto table = tableOf(std::move(got));
  EXPECT_EQ(table.status, n < static_cast<std::int64_t>(whole.size())
                              ? "Done... inconsistent file(s)"
                              : "Done...");
  const auto lines = crlfLines(table.text);
  ASSERT_EQ(lines.size(), fullLines->size());
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(lines[i], (*fullLines)[i]);
  for (std::size_t i = 4; i < lines.size(); ++i) {
    if (lines[i] == (*fullLines)[i]) continue;
    const auto cells = split(lines[i], "\t");
    const auto want = split((*fullLines)[i], "\t");
    ASSERT_EQ(cells.size(), want.size()) << lines[i];
    EXPECT_EQ(cells[0], want[0]);
    // A cut sample leaves its whole cell blank: both fields of a two-channel file.
    for (std::size_t c = 1; c < cells.size(); ++c) {
      ASSERT_EQ(cells[c], "") << "row " << i - 3 << ": " << lines[i] << " for " << (*fullLines)[i];
    }
  }
}

Kind kindNumber(int number) {
  LoggerFileBuilder b;
  b.name("Cut");
  switch (number) {
    case 0:  // one channel over two sample records, all optional fields
      b.typeCode(5).offsetParam(-40).samples(ramp(1030, 100, 3));
      return {"one channel", b, 26, 1};
    case 1:  // two channels, memory code 4
      b.typeCode(3).memoryCode(4).samples(ramp(1030, 3000, 5));
      return {"two channels", b, 26, 2};
    case 2:  // only the memory code among the optional fields
      b.typeCode(1).memoryCode(4).headerLength(22).samples(ramp(300, -50, 1));
      return {"memory code only", b, 22, 1};
    case 3:  // offset parameter, no factor
      b.typeCode(5).offsetParam(300).headerLength(24).samples(ramp(300, 7, 11));
      return {"offset parameter", b, 24, 1};
    case 4:  // a record 1 longer than its fields
      b.typeCode(7).factorParam(2300).headerLength(31).samples(ramp(300, 7, 11));
      return {"long header", b, 31, 2};
    case 5:  // no optional field at all
      b.typeCode(2).memoryCode(std::nullopt).samples(ramp(300, 7, 11));
      return {"fixed header only", b, 20, 1};
    default:  // a memory that went round: 65541 samples in 65536 slots
      b.typeCode(1).wrappedMemory(65536, 65541, [](std::int64_t s) { return s % 4000; });
      return {"wrapped memory", b, 26, 1};
  }
}

}  // namespace

TEST_P(Truncation, EveryPrefixConvertsWithBlanksOrIsRefusedClearly) {
  const Kind kind = kindNumber(GetParam());
  const Bytes whole = kind.builder.build();
  const std::vector<std::int64_t> at = kind.builder.offsets();
  const kestrix::LoggerFile full = kestrix::readLoggerFile(kName, whole);
  ASSERT_FALSE(full.inconsistent);
  const auto size = static_cast<std::int64_t>(whole.size());

  // Every prefix is read and its samples compared; its table is compared
  // through the headers and the first samples, around every record boundary
  // and at a stride over the rest. The wrapped memory (128 KiB) is read at
  // every prefix through the first samples, around every record boundary and
  // at a stride over the rest.
  const bool wrapped = size > 100000;
  std::set<std::int64_t> boundaries{size};
  for (std::int64_t record : at) boundaries.insert(record);
  auto nearBoundary = [&](std::int64_t n) {
    const auto next = boundaries.lower_bound(n - 2);
    return next != boundaries.end() && *next <= n + 2;
  };
  const auto fullLines = crlfLines(tableOf(full).text);
  for (std::int64_t n = 0; n <= size; ++n) {
    const bool early = n <= at[1] + 64;
    if (wrapped && !early && !nearBoundary(n) && n % 4099 != 0) continue;
    const bool table =
        wrapped ? n == at[1] + 1 || n == size - 1 : early || nearBoundary(n) || n % 29 == 0;
    checkPrefix(whole, n, kind, at, full, table ? &fullLines : nullptr);
    if (HasFatalFailure()) return;
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, Truncation, ::testing::Range(0, 7));
