// One conversion from files on disk, as the programs make it: what the run
// reports, the clipboard copy, and targets that must stay as they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include <CStringBuilder.hpp>
#include <logger_file_builder.hpp>
#include <temp_folder.hpp>

#include "convert_files.hpp"
#include "error.hpp"
#include "mapped_file.hpp"
#include "platform/mapped_file.hpp"
#include "sink.hpp"

namespace fs = std::filesystem;
using kestrix::ConversionError;
using kestrix::ConversionRequest;
using kestrix::convertFiles;
using kestrix::testing::LoggerFileBuilder;
using kestrix::testing::readFile;
using kestrix::testing::TempFolder;
using kestrix::testing::writeFile;

namespace {

LoggerFileBuilder withSamples(int count) {
  LoggerFileBuilder b;
  b.start(2014, 3, 5, 7, 30, 0).intervalCode(7);
  std::vector<std::int16_t> samples;
  for (int i = 0; i < count; ++i) samples.push_back(static_cast<std::int16_t>(400 + i % 50));
  b.samples(samples);
  return b;
}

ConversionRequest requestFor(const TempFolder& folder, const std::vector<std::string>& names) {
  ConversionRequest request;
  for (const std::string& name : names) {
    request.paths.push_back(folder / name);
    request.displayNames.push_back(name);
  }
  request.target = folder / "table.txt";
  return request;
}

TEST(ConvertFiles, ReportsEachFilesIntervalAndConsistency) {
  TempFolder folder;
  LoggerFileBuilder cut = withSamples(10);
  cut.sampleCount(12);
  ASSERT_TRUE(cut.writeTo((folder / "UC001.PDB").string()));
  LoggerFileBuilder fast = withSamples(3);
  fast.intervalCode(3);
  ASSERT_TRUE(fast.writeTo((folder / "UC002.PDB").string()));

  const kestrix::ConversionResult result =
      convertFiles(requestFor(folder, {"UC001.PDB", "UC002.PDB"}));
  EXPECT_EQ(result.status, "Done... inconsistent file(s)");
  const kestrix::ConversionRun& run = *result.run;
  ASSERT_EQ(run.files.size(), 2u);
  EXPECT_EQ(run.files[0].displayName, "UC001.PDB");
  EXPECT_TRUE(run.files[0].inconsistent);
  EXPECT_FALSE(run.files[1].inconsistent);
  EXPECT_EQ(run.step, run.files[1].interval);  // 10 s beside 60 s
  EXPECT_NE(run.files[0].interval, run.step);
  EXPECT_TRUE(run.intervalsDiffer());
  EXPECT_TRUE(readFile(folder / "table.txt").starts_with("Fichier\t"));

  const kestrix::ConversionResult one = convertFiles(requestFor(folder, {"UC002.PDB"}));
  EXPECT_EQ(one.status, "Done...");
  EXPECT_FALSE(one.run->intervalsDiffer());
}

TEST(ConvertFiles, ClipboardGetsTheTableFileByteForByte) {
  TempFolder folder;
  // Rows enough for many pieces written on two threads.
  ASSERT_TRUE(withSamples(5000).writeTo((folder / "UC001.PDB").string()));
  for (const bool oneThread : {false, true}) {
    ConversionRequest request = requestFor(folder, {"UC001.PDB"});
    request.options.oneThread = oneThread;
    CStringBuilder clipboard;
    request.clipboardText = &clipboard;
    convertFiles(request);
    const std::string table = readFile(request.target);
    EXPECT_GT(table.size(), 100'000u);
    EXPECT_EQ(clipboard.ToString(), table) << oneThread;

    // To an open sink instead, no file is made.
    fs::remove(request.target);
    kestrix::StringSink output;
    request.output = &output;
    request.clipboardText = nullptr;
    convertFiles(request);
    EXPECT_EQ(output.data, table);
    EXPECT_FALSE(fs::exists(request.target));
  }
}

TEST(ConvertFiles, RefusedRunsLeaveTheTargetAsItWas) {
  TempFolder folder;
  ASSERT_TRUE(withSamples(100).writeTo((folder / "UC001.PDB").string()));
  writeFile(folder / "UC002.PDB", "not a logger file");
  writeFile(folder / "table.txt", "earlier table");
  auto messageOf = [](const ConversionRequest& request) -> std::string {
    try {
      convertFiles(request);
    } catch (const ConversionError& e) {
      return e.what();
    }
    return "no error";
  };

  // A file that cannot be converted: the earlier table stays, nothing else is left.
  EXPECT_NE(messageOf(requestFor(folder, {"UC001.PDB", "UC002.PDB"})).find("UC002.PDB"),
            std::string::npos);
  EXPECT_EQ(readFile(folder / "table.txt"), "earlier table");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 3);

  // A logger file as the target, also through a link to it, is not overwritten.
  const std::string before = readFile(folder / "UC001.PDB");
#ifdef _WIN32
  fs::create_hard_link(folder / "UC001.PDB", folder / "link.txt");  // links need rights there
#else
  fs::create_symlink(folder / "UC001.PDB", folder / "link.txt");
#endif
  for (const char* target : {"UC001.PDB", "link.txt"}) {
    ConversionRequest request = requestFor(folder, {"UC001.PDB"});
    request.target = folder / target;
    EXPECT_EQ(messageOf(request), (folder / target).string() +
                                      ": is one of the logger files given; it is not overwritten");
    EXPECT_EQ(readFile(folder / "UC001.PDB"), before);
  }
}

TEST(ConvertFiles, TheClipboardCopyIsMadeOnlyWhenTheTableFitsIt) {
  TempFolder folder;
  ASSERT_TRUE(withSamples(100).writeTo((folder / "UC001.PDB").string()));
  ConversionRequest request = requestFor(folder, {"UC001.PDB"});
  for (const std::size_t limit : {104u, 103u}) {  // four header lines and 100 rows
    CStringBuilder clipboard;
    request.clipboardText = &clipboard;
    request.clipboardMaxLines = limit;
    const kestrix::ConversionResult result = convertFiles(request);
    const std::string table = readFile(request.target);
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 104);
    EXPECT_EQ(result.clipboardTooLarge, limit < 104) << limit;
    EXPECT_EQ(clipboard.ToString(), limit < 104 ? "" : table) << limit;
  }
}

TEST(ConvertFiles, TheReaderChosenGetsTheFilesBytes) {
  TempFolder folder;
  ASSERT_TRUE(withSamples(3000).writeTo((folder / "UC001.PDB").string()));
  writeFile(folder / "table.txt", "earlier table");
  ConversionRequest request = requestFor(folder, {"UC001.PDB"});
  request.reader = [](const fs::path&, std::string_view name,
                      const kestrix::Limits&) -> kestrix::InputBytes {
    throw ConversionError(kestrix::ErrorKind::CannotRead, std::string(name), "cut short");
  };
  auto failure = [](const ConversionRequest& r) -> std::string {
    try {
      convertFiles(r);
    } catch (const ConversionError& e) {
      return e.what();
    }
    return "no error";
  };
  EXPECT_EQ(failure(request), "UC001.PDB: cut short");
  EXPECT_EQ(readFile(folder / "table.txt"), "earlier table");
  // The request's limits reach the reader, mapped or in memory.
  ConversionRequest small = requestFor(folder, {"UC001.PDB"});
  small.limits.maxFileBytes = 1000;
  EXPECT_EQ(failure(small),
            "UC001.PDB: not a logger file (larger than 1000 bytes, more than any logger holds)");
  small.reader = kestrix::readIntoMemory;
  EXPECT_EQ(failure(small),
            "UC001.PDB: not a logger file (larger than 1000 bytes, more than any logger holds)");
  EXPECT_EQ(readFile(folder / "table.txt"), "earlier table");

  // Read into memory, the table is the one the mapped file gives.
  convertFiles(requestFor(folder, {"UC001.PDB"}));
  const std::string mapped = readFile(request.target);
  request.reader = kestrix::readIntoMemory;
  convertFiles(request);
  EXPECT_EQ(readFile(request.target), mapped);
}

}  // namespace

// The guard on mapped files names a file cut short whichever of a joined
// run's thousands it is, not only one of the first hundred.
TEST(MappedFilesDeathTest, AFaultNamesTheFileBeyondTheFirstHundred) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows refuses to cut short a mapped file";
#endif
  TempFolder folder;
  const std::string bytes(80 * 1024, 'x');  // large enough to be mapped
  std::vector<kestrix::InputBytes> mapped;
  for (int i = 1; i <= 150; ++i) {
    const fs::path path = folder / ("UC" + std::to_string(i) + ".PDB");
    writeFile(path, bytes);
    mapped.push_back(kestrix::mapInputFile(path, path.filename().string()));
  }
  EXPECT_EXIT(
      {
        kestrix::platform::guardMappedFiles("kestrix-test");
        fs::resize_file(folder / "UC150.PDB", 0);
        const volatile std::uint8_t* last = mapped.back().bytes.data() + 70000;
        std::printf("%d\n", *last);
      },
      ::testing::ExitedWithCode(1),
      "kestrix-test: UC150.PDB: the file was cut short by another program during the "
      "conversion; the conversion stopped");
}

TEST(ConvertFiles, AWorkbookIsWrittenByTheWriterHandedIn) {
  TempFolder folder;
  ASSERT_TRUE(withSamples(20).writeTo((folder / "UC001.PDB").string()));
  writeFile(folder / "book.xlsx", "earlier");
  ConversionRequest request = requestFor(folder, {"UC001.PDB"});
  request.target = folder / "book.xlsx";
  request.format = kestrix::OutputFormat::Workbook;
  // None handed in: refused, the earlier file kept and no temporary file left.
  try {
    convertFiles(request);
    FAIL() << "no error";
  } catch (const ConversionError& e) {
    EXPECT_EQ(e.what(), (folder / "book.xlsx").string() +
                            ": this build of the conversion writes no workbook");
  }
  EXPECT_EQ(readFile(folder / "book.xlsx"), "earlier");

  // The writer gets a temporary file beside the target and the request's
  // options; what it writes there replaces the target.
  request.options.includeOverflowed = true;
  request.periods = kestrix::PeriodKind::Week;
  fs::path written;
  request.writeWorkbook = [&](const kestrix::ConversionRun& run, const fs::path& file,
                              const kestrix::WorkbookOptions& options) {
    EXPECT_EQ(run.files.size(), 1u);
    EXPECT_TRUE(options.includeOverflowed);
    EXPECT_EQ(options.periods, kestrix::PeriodKind::Week);
    EXPECT_FALSE(options.rows);
    written = file;
    writeFile(file, "workbook");
    return std::string("Done by the writer");
  };
  EXPECT_EQ(convertFiles(request).status, "Done by the writer");
  EXPECT_EQ(written.parent_path(), folder.path());
  EXPECT_NE(written.filename(), "book.xlsx");
  EXPECT_EQ(readFile(folder / "book.xlsx"), "workbook");
  EXPECT_FALSE(fs::exists(written));
}
