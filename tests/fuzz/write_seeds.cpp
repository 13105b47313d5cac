// Writes the fuzz seed corpus, made with the tests' logger file builder:
//   kestrix_fuzz_seeds DIR
// One file per seed: well-formed files of every type code, the header lengths
// that cut the optional fields, odd record layouts, wrapped memories, and runs
// of two or three files joined by "KSTXNEXT" (see fuzz_target.cpp).
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "logger_file_builder.hpp"

namespace fs = std::filesystem;
using kestrix::testing::LoggerFileBuilder;
using kestrix::testing::ramp;
using Bytes = std::vector<std::uint8_t>;

namespace {

LoggerFileBuilder small(std::uint8_t type, int samples) {
  LoggerFileBuilder b;
  b.name("UC001").typeCode(type).samples(ramp(samples, 300, 7));
  return b;
}

Bytes join(const std::vector<Bytes>& files) {
  static const std::string separator = "KSTXNEXT";
  Bytes out;
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (i > 0) out.insert(out.end(), separator.begin(), separator.end());
    out.insert(out.end(), files[i].begin(), files[i].end());
  }
  return out;
}

class Corpus {
 public:
  explicit Corpus(fs::path dir) : dir_(std::move(dir)) {}

  void add(const std::string& name, const Bytes& bytes) {
    std::ofstream out(dir_ / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    ok_ = ok_ && static_cast<bool>(out);
    ++count_;
  }
  void add(const std::string& name, const LoggerFileBuilder& b) { add(name, b.build()); }

  bool ok() const { return ok_; }
  int count() const { return count_; }

 private:
  fs::path dir_;
  bool ok_ = true;
  int count_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: kestrix_fuzz_seeds DIR\n");
    return 2;
  }
  std::error_code ec;
  fs::create_directories(argv[1], ec);
  Corpus corpus(argv[1]);

  // Every type code with a rule, and one without, with a few samples.
  for (int type = 0; type <= 11; ++type) {
    corpus.add("type-" + std::to_string(type), small(static_cast<std::uint8_t>(type), 6));
  }
  // Parameters that the formulas of types 5 and 7 use, and the power types at
  // every interval.
  corpus.add("type5-offset", small(5, 4).offsetParam(-1200));
  corpus.add("type7-factor", small(7, 8).factorParam(2300));
  for (int code = 0; code <= 13; ++code) {
    corpus.add("interval-" + std::to_string(code),
               small(code % 2 == 0 ? 4 : 9, 5).intervalCode(static_cast<std::int16_t>(code)));
  }

  // Record 1 of every length around the optional groups.
  for (int length : {20, 21, 22, 23, 24, 25, 26, 30}) {
    corpus.add("header-" + std::to_string(length),
               small(1, 3).memoryCode(4).offsetParam(9).factorParam(11).headerLength(length));
  }

  // Several records, short and long ones, gaps, missing records, a file cut
  // short, a lying count.
  corpus.add("records-1500", small(1, 1500));
  corpus.add("records-short", small(1, 40).samplesPerRecord(16));
  corpus.add("records-uneven", small(3, 60).recordSampleCounts({10, 30}).padLastRecord());
  corpus.add("records-gaps",
             small(1, 30).samplesPerRecord(10).gapBetweenRecords(3).gapAfterIndex(2));
  corpus.add("records-missing", small(1, 1100).recordSampleCounts({1100}));
  corpus.add("records-out-of-order", small(1, 20).samplesPerRecord(10).recordOffset(2, 200));
  corpus.add("records-negative-offset", small(1, 4).recordOffset(1, -5));
  corpus.add("count-more-than-held", small(1, 10).sampleCount(30));
  corpus.add("count-odd", small(1, 10).byteCount(15));
  corpus.add("count-negative", small(1, 3).byteCount(-40));
  corpus.add("cut-short", small(6, 50).truncateTo(160));
  corpus.add("start-bad-bcd", small(1, 3).startBytes({0x1A, 0x12, 0x31, 0x23, 0x59, 0x59}));
  LoggerFileBuilder noName;
  noName.nameBytes({}).samples({1, 2});
  corpus.add("name-empty", noName);

  // Memory that went round: 65541 samples in 65536 slots, and a two-channel
  // logger with memory code 4 (65536 slots per channel).
  LoggerFileBuilder wrapped;
  wrapped.name("WRAP").wrappedMemory(65536, 65541, [](std::int64_t s) { return s % 2000; });
  corpus.add("wrapped-one-channel", wrapped);
  LoggerFileBuilder wrappedTwo;
  wrappedTwo.name("WRAP2").typeCode(3).memoryCode(4).wrappedMemory(
      131072, 131072 + 20, [](std::int64_t s) { return s % 2 == 0 ? 4000 : 2000; });
  corpus.add("wrapped-two-channel", wrappedTwo);

  // Runs of several files: the time axis combines them.
  LoggerFileBuilder late = small(1, 5);
  late.start(2014, 3, 5, 7, 33, 0);
  LoggerFileBuilder early = small(3, 8);
  early.start(2014, 3, 5, 7, 29, 30).intervalCode(6);
  corpus.add("run-two", join({small(1, 5).build(), late.build()}));
  corpus.add("run-three", join({late.build(), small(2, 3).build(), early.build()}));
  corpus.add("run-one-refused", join({small(1, 5).build(), small(1, 5).truncateTo(90).build()}));
  LoggerFileBuilder far = small(1, 2);
  far.start(2099, 12, 31, 23, 59, 59).intervalCode(0);
  corpus.add("run-far-apart", join({small(1, 2).build(), far.build()}));

  if (!corpus.ok()) {
    std::fprintf(stderr, "cannot write the seeds into %s\n", argv[1]);
    return 1;
  }
  std::printf("%d seeds written to %s\n", corpus.count(), argv[1]);
  return 0;
}
