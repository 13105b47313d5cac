// The table writer's shared cell texts and row blocks against TableText's
// rows built one cell at a time.
#include <gtest/gtest.h>

#include <conversion.hpp>
#include <logger_file_builder.hpp>

#include "cell_texts.hpp"
#include "channels.hpp"
#include "csv_table.hpp"
#include "error.hpp"
#include "row_writer.hpp"
#include "run.hpp"
#include "sink.hpp"
#include "table.hpp"
#include "text.hpp"

namespace kestrix {
namespace {

using testing::convertToText;
using testing::LoggerFileBuilder;
using testing::runOf;

TEST(ReduceFormula, KeepsEveryCellText) {
  const std::int16_t offsets[] = {0, -300, 77, 32767};
  const std::int16_t factors[] = {0, 2300, -123};
  for (int type = 0; type <= 11; ++type) {
    for (const int interval : {1, 60, 3600}) {
      for (const std::int16_t offset : offsets) {
        for (const std::int16_t factor : factors) {
          const CellParams params{static_cast<std::uint8_t>(type), offset, factor, interval};
          const ReducedFormula reduced = reduceFormula(params);
          for (int raw = -32768; raw <= 32767; raw += 251) {
            const auto s1 = static_cast<std::int16_t>(raw);
            const auto s2 = static_cast<std::int16_t>(raw * 7 + 3);
            std::string expected;
            std::string got;
            appendCellText(params, s1, s2, false, ",", expected);
            appendCellText(reduced.params, static_cast<std::int16_t>(s1 + reduced.rawOffset),
                           static_cast<std::int16_t>(s2 + reduced.rawOffset), false, ",", got);
            ASSERT_EQ(got, expected) << "type " << type << " raw " << raw;
          }
        }
      }
    }
  }
}

// Slowly varying samples with jumps, so that texts are both met again and new.
std::vector<std::int16_t> wave(int n, int from, int scale) {
  std::vector<std::int16_t> out;
  for (int i = 0; i < n; ++i) {
    out.push_back(
        static_cast<std::int16_t>(from + (i * 37 % 101) * scale + (i % 50 == 0 ? 9000 : 0)));
  }
  return out;
}

LoggerFileBuilder file(std::uint8_t type, int minute, std::vector<std::int16_t> slots) {
  LoggerFileBuilder b;
  b.typeCode(type).start(2014, 12, 31, 23, minute, 0).samples(std::move(slots));
  return b;
}

// The header, then TableText's rows.
std::string straightforward(const ConversionRun& run, const TableOptions& options) {
  const TableText text(run, options.regional);
  std::string table = text.headerLines();
  if (options.encoding == Encoding::Utf8) table = windows1252ToUtf8(table);
  for (std::int64_t r = 1; r <= run.totalRows; ++r) {
    text.appendRow(r, table);
    table += "\r\n";
  }
  return table;
}

// Line by line, so that a failure names the first line that differs.
void expectSameTable(const std::string& got, const std::string& expected) {
  std::size_t from = 0;
  for (int line = 1; from < expected.size(); ++line) {
    const std::size_t end = expected.find('\n', from);
    const std::size_t size = end == std::string::npos ? std::string::npos : end + 1 - from;
    ASSERT_EQ(got.substr(from, size), expected.substr(from, size)) << "line " << line;
    from += size;
  }
  EXPECT_EQ(got.size(), expected.size());
}

std::vector<LoggerFileBuilder> mixedFiles() {
  std::vector<LoggerFileBuilder> files;
  files.push_back(file(1, 0, wave(300, -2000, 40)));
  files.push_back(file(2, 1, wave(250, 0, 3)));
  files.push_back(file(4, 0, wave(290, -10, 700)));
  files.push_back(file(5, 2, wave(280, 5000, 11)));
  files.back().offsetParam(-300);
  files.push_back(file(5, 0, wave(200, 5000, 11)));  // shares the texts of the one before
  files.back().offsetParam(77);
  files.push_back(file(42, 3, wave(100, -32768, 600)));
  // Two channels; the memory wrapped, so the first rows read overflow.
  LoggerFileBuilder humid = file(3, 0, {});
  humid.memoryCode(0).wrappedMemory(65536, 2 * 32900, [](std::int64_t serial) {
    return static_cast<std::int16_t>(serial % 2 ? 1200 + serial % 300 : 4000 + serial % 900);
  });
  files.push_back(humid);
  files.push_back(file(7, 4, wave(2 * 150, 100, 90)));
  files.back().factorParam(2300);
  files.push_back(file(10, 0, wave(2 * 300, 0, 200)));
  // Cut short: the samples of the missing records are blank.
  files.push_back(file(6, 0, wave(2 * 1500, 800, 5)));
  files.back().sampleCount(2 * 1600).sampleRecordCount(2);
  files.push_back(file(1, 5, wave(1500, 320, 1)));
  files.back().sampleCount(1700);
  return files;
}

TEST(TableWriter, RowsMatchTableTextCellByCell) {
  const ConversionRun run = runOf(mixedFiles());
  ASSERT_GT(run.totalRows, 1000);

  Regional comma;
  comma.decimalMark = ",";
  comma.dateSeparator = ".";
  comma.timeSeparator = "h";
  Regional longMark;  // every field too long for the shared texts
  longMark.decimalMark = "<decimal mark>";
  Regional tabMark;  // two-field texts cannot be split at the TAB
  tabMark.decimalMark = "\t";
  // Formatted on two threads (the rows make many segments) and on one.
  for (const bool oneThread : {false, true}) {
    for (const Regional& regional : {Regional{}, comma, longMark, tabMark}) {
      TableOptions options;
      options.regional = regional;
      options.oneThread = oneThread;
      const testing::WrittenTable table = convertToText(run, options);
      SCOPED_TRACE("mark " + regional.decimalMark + (oneThread ? ", one thread" : ""));
      expectSameTable(table.text, straightforward(run, options));
      if (HasFatalFailure()) return;
      // More rows than percent: every percentage once, in order.
      ASSERT_EQ(table.progress.size(), 100u);
      for (int p = 1; p <= 100; ++p) ASSERT_EQ(table.progress[p - 1], p);
    }
  }

  TableOptions utf8;
  utf8.encoding = Encoding::Utf8;
  utf8.regional.decimalMark = "\xC2\xB7";  // a middle dot: two bytes in UTF-8
  expectSameTable(convertToText(run, utf8).text, straightforward(run, utf8));
}

// ISO dates (with an offset) and the CSV's rows: the fast writer against
// TableText in the same form, on both paths.
TEST(TableWriter, IsoAndCsvRowsMatchTableTextCellByCell) {
  const ConversionRun run = runOf(mixedFiles());
  RowForm iso = regionalRows(Regional{});
  iso.dates.style = DateStyle::Iso;
  iso.dates.utcOffsetMinutes = -180;
  for (const RowForm& form : {iso, csvTableForm(330), csvTableForm(std::nullopt)}) {
    std::string expected;
    const TableText text(run, form);
    for (std::int64_t r = 1; r <= run.totalRows; ++r) {
      text.appendRow(r, expected);
      expected += "\r\n";
    }
    for (const bool oneThread : {false, true}) {
      SCOPED_TRACE(std::string(1, form.separator) + (oneThread ? ", one thread" : ""));
      TableOptions options;
      options.oneThread = oneThread;
      StringSink sink;
      writeTableRows(run, form, options, sink);
      expectSameTable(sink.data, expected);
      if (HasFatalFailure()) return;
    }
  }
}

TEST(TableWriter, FormulasBeyondTheSharedTextsAreWrittenCellByCell) {
  // 40 wattmeters with their own voltage factors: more formulas than tables.
  std::vector<LoggerFileBuilder> files;
  for (int i = 0; i < 40; ++i) {
    files.push_back(file(7, i % 7, wave(2 * 90, 10 * i, 13)));
    files.back().factorParam(static_cast<std::int16_t>(2000 + 17 * i));
  }
  const ConversionRun run = runOf(files);
  TableOptions options;
  expectSameTable(convertToText(run, options).text, straightforward(run, options));
}

// Fails on its n-th write.
class FailingSink final : public Sink {
 public:
  explicit FailingSink(int failAt) : failAt_(failAt) {}
  void write(std::string_view bytes) override {
    if (++writes_ == failAt_) throw ConversionError(ErrorKind::CannotWrite, "table", "disk full");
    data.append(bytes);
  }
  std::string data;
  int writes() const noexcept { return writes_; }

 private:
  int failAt_;
  int writes_ = 0;
};

TEST(TableWriter, ChunksReachTheSinkInOrderAndWriteErrorsTheCaller) {
  std::vector<LoggerFileBuilder> files;
  for (int copy = 0; copy < 3; ++copy) {
    for (auto& f : mixedFiles()) files.push_back(std::move(f));
  }
  const ConversionRun run = runOf(files);
  for (const bool oneThread : {false, true}) {
    SCOPED_TRACE(oneThread ? "one thread" : "two threads");
    TableOptions options;
    options.oneThread = oneThread;
    FailingSink sink(0);
    writeTable(run, sink, options);
    ASSERT_GT(sink.data.size(), std::size_t{2} << 20) << "too short for many segments";
    expectSameTable(sink.data, straightforward(run, options));

    // The header, then row 1 and segments of rows, up to the last
    // write.
    for (const int failAt : {1, 2, 3, 4, sink.writes()}) {
      FailingSink failing(failAt);
      TableOptions plain;
      plain.oneThread = oneThread;
      try {
        writeTable(run, failing, plain);
        ADD_FAILURE() << "no error at write " << failAt;
      } catch (const ConversionError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::CannotWrite);
      }
    }
  }
}

// The window stops a run from its progress callback (EXIT pressed meanwhile):
// the exception reaches the caller on both paths, no thread is left behind.
TEST(TableWriter, ProgressCallbackMayStopTheRun) {
  struct Stop {};
  const ConversionRun run = runOf(mixedFiles());
  for (const bool oneThread : {false, true}) {
    for (const int at : {1, 50, 100}) {
      TableOptions options;
      options.oneThread = oneThread;
      options.progress = [at](int percent) {
        if (percent == at) throw Stop{};
      };
      StringSink sink;
      EXPECT_THROW(writeTable(run, sink, options), Stop) << oneThread << " at " << at;
    }
  }
}

}  // namespace
}  // namespace kestrix
