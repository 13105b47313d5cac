// Writes demo logger data files.
//
//   kestrix-examples DIR           four realistic files UC001.PDB to UC004.PDB
//   kestrix-examples --large DIR   the benchmark workload: 101 full 131072-slot memories
//   kestrix-examples --large-noisy DIR
//                                  the same, each sample off by -1, 0 or +1 raw step: values
//                                  that dither around any limit, for the excursion benchmark
//   kestrix-examples --downloads DIR
//                                  a year of weekly downloads of three loggers, for joining
//   kestrix-examples --downloads-bench DIR
//                                  the joining benchmark's workload: 100 loggers, 52 weekly
//                                  downloads each of the last 14 days at 10 minutes
//
// Every value is computed from the time of day and a fixed pseudo-random
// sequence, so the files are the same byte for byte on every run.
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "logger_file_builder.hpp"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono;
using kestrix::testing::LoggerFileBuilder;

constexpr double kPi = 3.14159265358979323846;
constexpr std::int16_t kCode10Minutes = 8;  // 600 s
constexpr std::int16_t kCode1Minute = 7;    // 60 s

// A small linear congruential generator: same sequence on every machine.
class Noise {
 public:
  explicit Noise(std::uint32_t seed) : state_(seed) {}
  // Uniform in [-0.5, 0.5).
  double next() {
    state_ = state_ * 1664525u + 1013904223u;
    return static_cast<double>((state_ >> 8) & 0xFFFFu) / 65536.0 - 0.5;
  }

 private:
  std::uint32_t state_;
};

std::int16_t clamp16(double v) {
  const double r = std::round(v);
  if (r < -32768.0) return -32768;
  if (r > 32767.0) return 32767;
  return static_cast<std::int16_t>(r);
}

// Raw slot of a power channel holding `watts` at `interval` seconds: the
// logger stores tenths of its internal unit, rescaled by 2^k / interval.
std::int16_t rawWatts(double watts, double scaleNumerator, double interval) {
  const double u = std::round(watts * 10.0 * interval / scaleNumerator);
  const double clamped = std::fmin(std::fmax(u, 0.0), 65534.0);
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(clamped));
}

// Raw humidity count for a relative humidity, inverting
// rh = -4 + 0.0405 s - 0.0000028 s^2 on its rising branch.
std::int16_t rawHumidity(double rh) {
  const double a = 0.0000028, b = -0.0405, c = rh + 4.0;
  return clamp16((-b - std::sqrt(b * b - 4.0 * a * c)) / (2.0 * a));
}

double hourOfDay(sys_seconds t) {
  const auto sinceMidnight = t - floor<days>(t);
  return static_cast<double>(sinceMidnight.count()) / 3600.0;
}

bool isWorkday(sys_seconds t) {
  const weekday wd{floor<days>(t)};
  return wd != Saturday && wd != Sunday;
}

// Daily wave peaking at `peakHour`, in [-1, 1].
double daily(sys_seconds t, double peakHour) {
  return std::cos(2.0 * kPi * (hourOfDay(t) - peakHour) / 24.0);
}

LoggerFileBuilder& startAt(LoggerFileBuilder& b, sys_seconds t) {
  const year_month_day ymd{floor<days>(t)};
  const hh_mm_ss hms{t - floor<days>(t)};
  return b.start(static_cast<int>(ymd.year()), static_cast<int>(unsigned{ymd.month()}),
                 static_cast<int>(unsigned{ymd.day()}), static_cast<int>(hms.hours().count()),
                 static_cast<int>(hms.minutes().count()), static_cast<int>(hms.seconds().count()));
}

bool write(const LoggerFileBuilder& b, const fs::path& path) {
  if (!b.writeTo(path.string())) {
    std::fprintf(stderr, "kestrix-examples: cannot write %s\n", path.string().c_str());
    return false;
  }
  std::printf("%s\n", path.string().c_str());
  return true;
}

constexpr sys_seconds at(int y, unsigned mo, unsigned d, int h, int mi) {
  return sys_days{year{y} / month{mo} / day{d}} + hours{h} + minutes{mi};
}

// ---- The four demo files ----

constexpr int kWeek10Min = 7 * 24 * 6;  // samples of a week at 10 minutes
constexpr seconds kStep10Min{600};

// Office with heating by day: around 21 degrees, cooler at night and on the weekend.
LoggerFileBuilder officeNorth(sys_seconds start) {
  Noise noise(11);
  std::vector<std::int16_t> s;
  for (int i = 0; i < kWeek10Min; ++i) {
    const sys_seconds t = start + i * kStep10Min;
    const double heated = isWorkday(t) ? 1.0 : 0.4;
    const double celsius = 19.6 + 1.7 * heated * (daily(t, 15.0) + 1.0) / 2.0 +
                           0.5 * daily(t, 14.0) + 0.15 * noise.next();
    s.push_back(clamp16(celsius * 16.0));
  }
  LoggerFileBuilder b;
  b.name("Office north").loggerId(0x00A41C07).intervalCode(kCode10Minutes).typeCode(1);
  startAt(b, start).samples(std::move(s));
  return b;
}

// Cold room: the compressor cycles every 80 minutes; the door is opened by day.
LoggerFileBuilder coldRoom(sys_seconds start) {
  Noise noise(23);
  std::vector<std::int16_t> s;
  for (int i = 0; i < kWeek10Min; ++i) {
    const sys_seconds t = start + i * kStep10Min;
    const double minutes = static_cast<double>((t - start).count()) / 60.0;
    const double h = hourOfDay(t);
    const double door = isWorkday(t) && h > 7.0 && h < 18.0 ? 0.8 : 0.0;
    const double celsius =
        3.8 + 0.6 * std::sin(2.0 * kPi * minutes / 80.0) + door + 0.1 * noise.next();
    const double rh =
        82.0 - 4.0 * std::sin(2.0 * kPi * minutes / 80.0) + 3.0 * door + 0.8 * noise.next();
    s.push_back(clamp16(celsius * 100.0 + 3960.0));  // channel 1: temperature
    s.push_back(rawHumidity(rh));                    // channel 2: humidity
  }
  LoggerFileBuilder b;
  b.name("K\xFChlraum").loggerId(0x00A41C3E).intervalCode(kCode10Minutes).typeCode(3);
  startAt(b, start).samples(std::move(s));
  return b;
}

// Workshop supply, watts and volts, logging since spring: its 65536-slot
// memory (32768 instants of two channels) wrapped long ago.
LoggerFileBuilder workshopSupply(sys_seconds start, int instants) {
  const auto value = [start](std::int64_t serial) -> std::int16_t {
    const std::int64_t instant = serial / 2;
    const sys_seconds t = start + instant * kStep10Min;
    // Per-instant noise, independent of the order the slots are generated in.
    Noise noise(static_cast<std::uint32_t>(instant) * 2654435761u);
    const double h = hourOfDay(t);
    if (serial % 2 == 0) {
      const bool working = isWorkday(t) && h >= 7.0 && h < 17.0;
      const double watts =
          180.0 + (working ? 1150.0 + 300.0 * daily(t, 11.0) : 0.0) + 40.0 * noise.next();
      return rawWatts(watts, 512.0, 600.0);
    }
    const double volts = 230.0 - 2.5 * daily(t, 19.0) + 0.6 * noise.next();
    return clamp16(volts * 25.0 / 2.0);  // factor parameter 2300: volts = raw * 0.08
  };
  LoggerFileBuilder b;
  b.name("Workshop supply").loggerId(0x00B2077F).intervalCode(kCode10Minutes).typeCode(7);
  b.factorParam(2300).memoryCode(255);
  startAt(b, start).wrappedMemory(65536, 2 * instants, value);
  return b;
}

// Gas meter: pulses per 10 minutes, more when the heating runs in the morning.
LoggerFileBuilder gasMeter(sys_seconds start) {
  Noise noise(47);
  std::vector<std::int16_t> s;
  for (int i = 0; i < kWeek10Min - 8; ++i) {
    const sys_seconds t = start + i * kStep10Min;
    const double pulses = 11.0 + 7.0 * daily(t, 6.5) + 3.0 * noise.next();
    s.push_back(clamp16(std::fmax(pulses, 0.0)));
  }
  LoggerFileBuilder b;
  b.name("Gas meter cellar").loggerId(0x00C10254).intervalCode(kCode10Minutes).typeCode(2);
  startAt(b, start).samples(std::move(s));
  return b;
}

bool writeDemo(const fs::path& dir) {
  const sys_seconds first = at(2026, 12, 2, 9, 0);
  // The wattmeter was read out with the others: its last instant is the
  // office logger's last sample.
  constexpr int kWorkshopInstants = 34704;
  const sys_seconds lastOffice = first + (kWeek10Min - 1) * kStep10Min;
  const sys_seconds workshopStart = lastOffice - (kWorkshopInstants - 1) * kStep10Min;
  return write(officeNorth(first), dir / "UC001.PDB") &&
         write(coldRoom(first + minutes{5}), dir / "UC002.PDB") &&
         write(workshopSupply(workshopStart, kWorkshopInstants), dir / "UC003.PDB") &&
         write(gasMeter(first + minutes{10}), dir / "UC004.PDB");
}

// ---- The benchmark workload ----

constexpr int kLargeFiles = 101;
constexpr std::int64_t kLargeSlots = 131072;  // memory code 4

// -1, 0 or +1, the same for the same sample on every run.
int dither(int index, std::int64_t serial) {
  const auto mixed =
      static_cast<std::uint32_t>(serial) * 2654435761u ^ static_cast<std::uint32_t>(index) * 40503u;
  return static_cast<int>((mixed >> 13) % 3) - 1;
}

LoggerFileBuilder largeFile(int index, sys_seconds start, bool noisy) {
  static constexpr std::uint8_t kTypes[] = {1, 3, 4, 5, 6, 8};
  const std::uint8_t type = kTypes[index % 6];
  const bool twoChannels = type == 3 || type == 6;
  const double phase = 0.37 * index;
  const auto smooth = [&](std::int64_t serial) -> std::int16_t {
    const std::int64_t instant = twoChannels ? serial / 2 : serial;
    const bool second = twoChannels && serial % 2 == 1;
    const double minutes = static_cast<double>(instant);
    const double day = std::sin(2.0 * kPi * minutes / 1440.0 + phase);
    const double slow = std::sin(2.0 * kPi * minutes / 9973.0 + 2.0 * phase);
    switch (type) {
      case 1:
        return clamp16((20.0 + 2.0 * day + 0.5 * slow) * 16.0);
      case 3:
        return second ? rawHumidity(55.0 + 10.0 * day + 5.0 * slow)
                      : clamp16((18.0 + 3.0 * day + slow) * 100.0 + 3960.0);
      case 4:
        return rawWatts(900.0 + 600.0 * day + 200.0 * slow, 64.0, 60.0);
      case 5:  // offset parameter -64
        return clamp16((21.0 + 1.5 * day + 0.5 * slow) * 256.0 + 64.0);
      case 6:
        return clamp16((second ? 95.0 + 5.0 * slow : 180.0 + 20.0 * day) * 8.0);
      default:  // 8: lamp seconds per minute
        return clamp16(30.0 + 29.0 * day);
    }
  };
  const auto value = [&](std::int64_t serial) -> std::int16_t {
    const std::int16_t raw = smooth(serial);
    // Every type's samples lie well inside the 16 bits: a step either way stays inside.
    return noisy ? static_cast<std::int16_t>(raw + dither(index, serial)) : raw;
  };
  char name[32];
  std::snprintf(name, sizeof name, "Bench %03d", index + 1);
  LoggerFileBuilder b;
  b.name(name)
      .loggerId(0x00D00000u + static_cast<std::uint32_t>(index))
      .intervalCode(kCode1Minute)
      .typeCode(type)
      .memoryCode(4)
      .offsetParam(type == 5 ? -64 : 0);
  startAt(b, start).wrappedMemory(kLargeSlots, static_cast<std::int32_t>(kLargeSlots), value);
  return b;
}

bool writeLarge(const fs::path& dir, bool noisy) {
  const sys_seconds first = at(2026, 12, 2, 9, 0);
  for (int i = 0; i < kLargeFiles; ++i) {
    char file[16];
    std::snprintf(file, sizeof file, "UC%03d.PDB", i + 1);
    if (!write(largeFile(i, first + minutes{3 * i}, noisy), dir / file)) return false;
  }
  return true;
}

// ---- A year of weekly downloads ----

constexpr int kWeeks = 52;
constexpr std::int16_t kCode5Minutes = 13;  // 300 s

// The download of week `week` (1 to 52) of a logger launched at `start`,
// sampling every `step`, never reset: everything since the launch that its
// 65,536-slot memory still holds. `value` gives the raw slot of each serial.
template <class Value>
LoggerFileBuilder weeklyDownload(LoggerFileBuilder b, sys_seconds start, seconds step, int channels,
                                 int week, Value value) {
  const auto perWeek = static_cast<std::int32_t>(weeks{1} / step);
  startAt(b, start).wrappedMemory(65536, channels * perWeek * week, value);
  return b;
}

bool writeDownloads(const fs::path& dir) {
  const sys_seconds launch = at(2026, 1, 5, 8, 0);
  // Cold room, every minute: the memory (45 days) wraps from the seventh
  // download on, and the older downloads fill what the newer ones lost.
  const auto coldRoom = [launch](std::int64_t serial) {
    const sys_seconds t = launch + minutes{serial};
    Noise noise(static_cast<std::uint32_t>(serial) * 2654435761u);
    const double celsius = 3.5 + 0.6 * std::sin(2.0 * kPi * static_cast<double>(serial) / 80.0) +
                           (isWorkday(t) && daily(t, 12.0) > 0.5 ? 0.7 : 0.0) + 0.1 * noise.next();
    return clamp16(celsius * 16.0);
  };
  // Greenhouse, temperature and humidity every 10 minutes: 32,768 instants
  // (227 days) in the memory.
  const sys_seconds greenhouseLaunch = launch + minutes{20};
  const auto greenhouse = [greenhouseLaunch](std::int64_t serial) {
    const std::int64_t instant = serial / 2;
    const sys_seconds t = greenhouseLaunch + instant * kStep10Min;
    Noise noise(static_cast<std::uint32_t>(instant) * 2654435761u);
    const double season = std::sin(2.0 * kPi * static_cast<double>(instant) / (365.0 * 144.0));
    if (serial % 2 == 0) {
      const double celsius = 16.0 + 6.0 * season + 5.0 * daily(t, 14.0) + 0.2 * noise.next();
      return clamp16(celsius * 100.0 + 3960.0);
    }
    return rawHumidity(70.0 - 12.0 * daily(t, 14.0) + 2.0 * noise.next());
  };
  // Freezer, every 10 minutes, relaunched after 26 weeks to sample every 5.
  const sys_seconds relaunch = launch + weeks{26} + hours{2};
  const auto freezer = [](sys_seconds start, seconds step) {
    return [start, step](std::int64_t serial) {
      const sys_seconds t = start + serial * step;
      Noise noise(static_cast<std::uint32_t>(serial) * 40503u);
      return clamp16((-19.0 + 1.2 * daily(t, 16.0) + 0.2 * noise.next()) * 16.0);
    };
  };

  for (int week = 1; week <= kWeeks; ++week) {
    char name[16];
    LoggerFileBuilder a;
    a.name("Cold room").loggerId(0x00E10001).intervalCode(kCode1Minute).typeCode(1);
    std::snprintf(name, sizeof name, "UCA%02d.PDB", week);
    if (!write(weeklyDownload(a, launch, minutes{1}, 1, week, coldRoom), dir / name)) return false;

    LoggerFileBuilder b;
    b.name("Greenhouse").loggerId(0x00E10002).intervalCode(kCode10Minutes).typeCode(3);
    std::snprintf(name, sizeof name, "UCB%02d.PDB", week);
    if (!write(weeklyDownload(b, greenhouseLaunch, kStep10Min, 2, week, greenhouse), dir / name))
      return false;

    LoggerFileBuilder c;
    c.name("Freezer").loggerId(0x00E10003).typeCode(1);
    std::snprintf(name, sizeof name, "UCC%02d.PDB", week);
    const bool relaunched = week > 26;
    c.intervalCode(relaunched ? kCode5Minutes : kCode10Minutes);
    const LoggerFileBuilder download =
        relaunched
            ? weeklyDownload(c, relaunch, minutes{5}, 1, week - 26, freezer(relaunch, minutes{5}))
            : weeklyDownload(c, launch, kStep10Min, 1, week, freezer(launch, kStep10Min));
    if (!write(download, dir / name)) return false;
  }
  return true;
}

// The joining benchmark: 100 loggers downloaded every week for a year, each
// download the last 14 days at 10 minutes, so consecutive ones overlap by a
// week: 5,200 files, UC<logger><week>.PDB.
bool writeDownloadsBench(const fs::path& dir) {
  static constexpr std::uint8_t kTypes[] = {1, 3, 4, 5, 6, 8};
  constexpr int kLoggers = 100;
  constexpr int kSamples = 14 * 144;
  const sys_seconds first = at(2026, 1, 5, 8, 0);
  for (int logger = 0; logger < kLoggers; ++logger) {
    const std::uint8_t type = kTypes[logger % 6];
    const int channels = type == 3 || type == 6 ? 2 : 1;
    const double phase = 0.37 * logger;
    // The same instant reads the same in every download.
    auto raw = [&](std::int64_t instant, int channel) -> std::int16_t {
      const double day = std::sin(2.0 * kPi * static_cast<double>(instant) / 144.0 + phase);
      switch (type) {
        case 1:
          return clamp16((4.0 + 2.0 * day) * 16.0);
        case 3:
          return channel == 1 ? rawHumidity(60.0 + 10.0 * day)
                              : clamp16((18.0 + 3.0 * day) * 100.0 + 3960.0);
        case 4:
          return rawWatts(900.0 + 600.0 * day, 512.0, 600.0);
        case 5:
          return clamp16((21.0 + 1.5 * day) * 256.0 + 64.0);
        case 6:
          return clamp16((channel == 1 ? 95.0 : 180.0 + 20.0 * day) * 8.0);
        default:
          return clamp16(300.0 + 290.0 * day);
      }
    };
    char title[32];
    std::snprintf(title, sizeof title, "Room %03d", logger + 1);
    for (int week = 0; week < kWeeks; ++week) {
      const std::int64_t from = std::int64_t{week} * 7 * 144;
      std::vector<std::int16_t> slots;
      for (std::int64_t i = 0; i < kSamples; ++i)
        for (int c = 0; c < channels; ++c) slots.push_back(raw(from + i, c));
      LoggerFileBuilder b;
      b.name(title)
          .loggerId(0x00F00000u + static_cast<std::uint32_t>(logger))
          .intervalCode(kCode10Minutes)
          .typeCode(type)
          .offsetParam(type == 5 ? -64 : 0);
      startAt(b, first + from * kStep10Min).samples(std::move(slots));
      char name[24];
      std::snprintf(name, sizeof name, "UC%03d%02d.PDB", logger + 1, week + 1);
      if (!b.writeTo((dir / name).string())) {
        std::fprintf(stderr, "kestrix-examples: cannot write %s\n", (dir / name).string().c_str());
        return false;
      }
    }
  }
  return true;
}

constexpr const char* usageText =
    "usage: kestrix-examples DIR\n"
    "       kestrix-examples --large|--large-noisy|--downloads|--downloads-bench DIR\n"
    "Writes the demo logger files UC001.PDB to UC004.PDB into DIR, or with --large\n"
    "the benchmark workload of 101 full logger memories (--large-noisy: each sample\n"
    "off by up to one raw step, for the excursion benchmark), or with --downloads a\n"
    "year of weekly downloads of three loggers (UCA01.PDB to UCC52.PDB) to join\n"
    "(--downloads-bench: the joining benchmark's 5,200 downloads of 100 loggers).\n";

int usage(std::FILE* out, int status) {
  std::fputs(usageText, out);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  bool large = false;
  bool noisy = false;
  bool downloads = false;
  bool benchDownloads = false;
  fs::path dir;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") return usage(stdout, 0);
    // Any other option is a mistake, not a folder to create (write ./-name for one).
    if (arg.starts_with('-') && arg != "--large" && arg != "--large-noisy" &&
        arg != "--downloads" && arg != "--downloads-bench") {
      std::fprintf(stderr, "kestrix-examples: unknown option '%s'\n", argv[i]);
      return usage(stderr, 2);
    }
  }
  if (argc == 2 && !std::string_view(argv[1]).starts_with("--")) {
    dir = argv[1];
  } else if (argc == 3 && std::string_view(argv[1]).starts_with("--downloads")) {
    downloads = true;
    benchDownloads = std::string_view(argv[1]) == "--downloads-bench";
    dir = argv[2];
  } else if (argc == 3 && std::string_view(argv[1]).starts_with("--large")) {
    large = true;
    noisy = std::string_view(argv[1]) == "--large-noisy";
    dir = argv[2];
  } else {
    return usage(stderr, 2);
  }
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) {
    std::fprintf(stderr, "kestrix-examples: cannot create %s: %s\n", dir.string().c_str(),
                 ec.message().c_str());
    return 1;
  }
  if (downloads) return (benchDownloads ? writeDownloadsBench(dir) : writeDownloads(dir)) ? 0 : 1;
  return (large ? writeLarge(dir, noisy) : writeDemo(dir)) ? 0 : 1;
}
