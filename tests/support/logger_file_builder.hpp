// Makes logger data files byte by byte, for the unit tests, the fuzz seeds and
// the example generator.
//
// Every number is written big-endian with explicit shifts; nothing here shares
// code with the readers in engine/, so the files are an independent check of
// them. Defaults give a well-formed file; every knob exists to break one thing
// on purpose.
//
//   LoggerFileBuilder b;
//   b.name("Room 1").loggerId(0x1A2B).start(2014, 3, 5, 7, 30, 0).intervalCode(7).typeCode(1)
//       .samples({400, 401, 402});
//   std::vector<std::uint8_t> bytes = b.build();
//
// File layout: 78-byte container header (name, attributes, version, dates,
// type, creator, record count at 76), one 8-byte index entry per record
// (offset, attributes and unique ID), then record 1 (the recording header) and
// the sample records, 1024 big-endian int16 slots each by default.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrix::testing {

inline constexpr std::int64_t kContainerHeaderBytes = 78;
inline constexpr std::int64_t kIndexEntryBytes = 8;
inline constexpr int kNameBytes = 32;
inline constexpr int kFullHeaderBytes = 26;
inline constexpr int kFixedHeaderBytes = 20;
inline constexpr int kSlotsPerRecord = 1024;

inline void putU8(std::vector<std::uint8_t>& out, std::uint8_t v) {
  out.push_back(v);
}

inline void putBE16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFFu));
  out.push_back(static_cast<std::uint8_t>(v & 0xFFu));
}

inline void putBE32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>((v >> 24) & 0xFFu));
  out.push_back(static_cast<std::uint8_t>((v >> 16) & 0xFFu));
  out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFFu));
  out.push_back(static_cast<std::uint8_t>(v & 0xFFu));
}

inline void putText(std::vector<std::uint8_t>& out, std::string_view text, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) {
    out.push_back(i < text.size() ? static_cast<std::uint8_t>(text[i]) : std::uint8_t{0});
  }
}

// 0 to 99 as two packed decimal digits: 25 gives 0x25.
inline std::uint8_t bcd(int value) {
  if (value < 0 || value > 99) throw std::invalid_argument("BCD value out of range 0..99");
  return static_cast<std::uint8_t>(((value / 10) << 4) | (value % 10));
}

// The serial number (0-based, counted from the start of the recording) of the
// sample that slot `slot` of a ring memory of `totalSlots` slots holds after
// `sampleCount` samples were written into it. With r = count mod T and
// q = count div T: slots below r hold the current pass, the others the one
// before. For count <= T slot k simply holds sample k.
inline std::int64_t serialOfSlot(std::int64_t totalSlots, std::int64_t sampleCount,
                                 std::int64_t slot) {
  const std::int64_t r = sampleCount % totalSlots;
  const std::int64_t q = sampleCount / totalSlots;
  return slot < r ? q * totalSlots + slot : (q - 1) * totalSlots + slot;
}

// The memory dump of a ring memory of `totalSlots` slots after `sampleCount`
// samples, sample number n having the value valueOfSerial(n). Holds
// min(sampleCount, totalSlots) slots in memory order. For a two-channel logger
// `totalSlots` counts both channels and even serials are channel 1.
template <class F>
std::vector<std::int16_t> ringMemory(std::int64_t totalSlots, std::int64_t sampleCount,
                                     F&& valueOfSerial) {
  if (totalSlots <= 0 || sampleCount < 0) throw std::invalid_argument("bad ring memory size");
  const std::int64_t slots = std::min(totalSlots, sampleCount);
  std::vector<std::int16_t> memory;
  memory.reserve(static_cast<std::size_t>(slots));
  for (std::int64_t k = 0; k < slots; ++k) {
    memory.push_back(
        static_cast<std::int16_t>(valueOfSerial(serialOfSlot(totalSlots, sampleCount, k))));
  }
  return memory;
}

class LoggerFileBuilder {
 public:
  // ---- Container header and index ----

  // Name bytes as given (Windows-1252, so "K\xFChlraum" is fine), NUL-padded
  // to 32. Exactly 32 bytes leave no NUL.
  LoggerFileBuilder& name(std::string_view text) {
    if (text.size() > static_cast<std::size_t>(kNameBytes)) {
      throw std::invalid_argument("container name longer than 32 bytes");
    }
    name_.fill(0);
    std::copy(text.begin(), text.end(), name_.begin());
    return *this;
  }
  // All 32 name bytes, NULs and junk wherever wanted.
  LoggerFileBuilder& nameBytes(const std::array<std::uint8_t, kNameBytes>& raw) {
    for (std::size_t i = 0; i < raw.size(); ++i) name_[i] = static_cast<char>(raw[i]);
    return *this;
  }
  // The 4-character type and creator fields ("DATA" and "KSTX" by default).
  LoggerFileBuilder& containerType(std::string_view four) {
    type_ = std::string(four.substr(0, 4));
    return *this;
  }
  LoggerFileBuilder& creator(std::string_view four) {
    creator_ = std::string(four.substr(0, 4));
    return *this;
  }
  // Number of index entries written (and the record count field). More than
  // the records present: the extra entries point at the end of the data. Fewer:
  // the records beyond are still written, just not indexed.
  LoggerFileBuilder& recordCount(int entries) {
    if (entries < 0 || entries > 65535) throw std::invalid_argument("record count 0..65535");
    recordCount_ = entries;
    return *this;
  }
  // Only the two bytes at offset 76; the index itself is unchanged.
  LoggerFileBuilder& recordCountField(std::uint16_t raw) {
    recordCountField_ = raw;
    return *this;
  }
  // The index holds exactly these offsets (entry 1 first); the records are laid
  // out as usual behind an index of that length.
  LoggerFileBuilder& recordOffsets(std::vector<std::int32_t> offsets) {
    if (offsets.size() > 65535) throw std::invalid_argument("more than 65535 index entries");
    offsetsOverride_ = std::move(offsets);
    return *this;
  }
  // Index entry `record` (1-based) holds `offset` instead of the real one
  // (wins over recordOffsets).
  LoggerFileBuilder& recordOffset(int record, std::int32_t offset) {
    entryOverrides_[record] = offset;
    return *this;
  }
  // The second word of every index entry (attributes and unique ID); default
  // 0x40 followed by the record number + 0x100, never zero.
  LoggerFileBuilder& indexAttributes(std::uint32_t word) {
    indexAttributes_ = word;
    return *this;
  }

  // ---- Recording header (record 1) ----

  LoggerFileBuilder& loggerId(std::uint32_t id) {
    loggerId_ = id;
    return *this;
  }
  // Samples recorded, all channels together; written as byte count 2n.
  LoggerFileBuilder& sampleCount(std::int32_t n) {
    byteCount_ = static_cast<std::int32_t>(static_cast<std::uint32_t>(n) * 2u);
    return *this;
  }
  // The raw byte count field (odd or negative values welcome).
  LoggerFileBuilder& byteCount(std::int32_t raw) {
    byteCount_ = raw;
    return *this;
  }
  LoggerFileBuilder& spareWord(std::int16_t v) {
    spareWord_ = v;
    return *this;
  }
  // Start of the recording, BCD encoded, the year stored as year - 2000.
  LoggerFileBuilder& start(int year, int month, int day, int hour, int minute, int second) {
    start_ = {bcd(year - 2000), bcd(month), bcd(day), bcd(hour), bcd(minute), bcd(second)};
    return *this;
  }
  // The six start bytes as stored: year, month, day, hour, minute, second.
  LoggerFileBuilder& startBytes(const std::array<std::uint8_t, 6>& raw) {
    start_ = raw;
    return *this;
  }
  LoggerFileBuilder& intervalCode(std::int16_t code) {
    intervalCode_ = code;
    return *this;
  }
  LoggerFileBuilder& typeCode(std::uint8_t code) {
    typeCode_ = code;
    return *this;
  }
  LoggerFileBuilder& spareByte(std::uint8_t v) {
    spareByte_ = v;
    return *this;
  }
  // nullopt: the header stops after the fixed 20 bytes (unless headerLength
  // says otherwise, in which case 255 is written).
  LoggerFileBuilder& memoryCode(std::optional<std::uint8_t> code) {
    memoryCode_ = code;
    return *this;
  }
  LoggerFileBuilder& spareOptionalByte(std::uint8_t v) {
    spareOptionalByte_ = v;
    return *this;
  }
  LoggerFileBuilder& offsetParam(std::int16_t v) {
    offsetParam_ = v;
    return *this;
  }
  LoggerFileBuilder& factorParam(std::int16_t v) {
    factorParam_ = v;
    return *this;
  }
  // Length of record 1: 20 fixed bytes, then memory code and spare byte (22),
  // offset parameter (24), factor parameter (26); odd lengths cut a field in
  // two, lengths above 26 add zero bytes. Default 26, or 20 when memoryCode is
  // nullopt.
  LoggerFileBuilder& headerLength(int bytes) {
    if (bytes < 0) throw std::invalid_argument("negative header length");
    headerLength_ = bytes;
    return *this;
  }

  // ---- Samples and records ----

  // Raw slots in memory order. Unless sampleCount or byteCount is given, the
  // header counts exactly these samples.
  LoggerFileBuilder& samples(std::vector<std::int16_t> slots) {
    samples_ = std::move(slots);
    return *this;
  }
  const std::vector<std::int16_t>& samples() const { return samples_; }

  // The ring memory of `totalSlots` slots after `count` samples (see
  // ringMemory), and the sample count `count`.
  template <class F>
  LoggerFileBuilder& wrappedMemory(std::int64_t totalSlots, std::int32_t count, F&& valueOfSerial) {
    samples_ = ringMemory(totalSlots, count, std::forward<F>(valueOfSerial));
    return sampleCount(count);
  }

  // Samples per sample record (default 1024, i.e. 2048-byte records).
  LoggerFileBuilder& samplesPerRecord(int n) {
    if (n <= 0) throw std::invalid_argument("samples per record must be positive");
    samplesPerRecord_ = n;
    return *this;
  }
  // The first sample records hold these numbers of samples (short or long
  // records); the samples left over go on in records of samplesPerRecord.
  LoggerFileBuilder& recordSampleCounts(std::vector<int> counts) {
    for (int c : counts) {
      if (c < 0) throw std::invalid_argument("negative record size");
    }
    recordSampleCounts_ = std::move(counts);
    return *this;
  }
  // Fill the last sample record up to samplesPerRecord with the fill byte.
  LoggerFileBuilder& padLastRecord(bool pad = true) {
    padLast_ = pad;
    return *this;
  }
  // Exactly n sample records: missing ones are full records of fill bytes,
  // surplus ones (and their samples) are dropped.
  LoggerFileBuilder& sampleRecordCount(int n) {
    if (n < 0) throw std::invalid_argument("negative record count");
    sampleRecordCount_ = n;
    return *this;
  }
  // Raw records appended after the sample records.
  LoggerFileBuilder& appendRecord(std::vector<std::uint8_t> bytes) {
    extraRecords_.push_back(std::move(bytes));
    return *this;
  }
  // Stray bytes between the index and record 1.
  LoggerFileBuilder& gapAfterIndex(int bytes) { return gapBefore(1, bytes); }
  // Stray bytes before every record from record 2 on.
  LoggerFileBuilder& gapBetweenRecords(int bytes) {
    if (bytes < 0) throw std::invalid_argument("negative gap");
    gapBetween_ = bytes;
    return *this;
  }
  // Stray bytes before record `record` (1-based); overrides the two above.
  LoggerFileBuilder& gapBefore(int record, int bytes) {
    if (bytes < 0) throw std::invalid_argument("negative gap");
    gaps_[record] = bytes;
    return *this;
  }
  // The byte used for gaps and padding (default 0xEE, so 0xEEEE = -4370 shows
  // where one was read as a sample).
  LoggerFileBuilder& fill(std::uint8_t byte) {
    fill_ = byte;
    return *this;
  }
  // Cut the finished file to at most n bytes.
  LoggerFileBuilder& truncateTo(std::size_t n) {
    truncate_ = n;
    return *this;
  }

  // ---- Results ----

  // Where the records lie in the built file, record 1 first (before any
  // truncation, whatever the index claims).
  std::vector<std::int64_t> offsets() const { return plan().offsets; }

  std::vector<std::uint8_t> build() const {
    const Plan p = plan();
    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(p.end));

    putText(out, std::string_view(name_.data(), name_.size()), kNameBytes);
    putBE16(out, 0x0000);      // attributes
    putBE16(out, 0x0001);      // version
    putBE32(out, 0xE5C71E00);  // creation date
    putBE32(out, 0xE5C71E00);  // modification date
    putBE32(out, 0x00000000);  // last backup date
    putBE32(out, 0x00000001);  // modification number
    putBE32(out, 0x00000000);  // application info offset
    putBE32(out, 0x00000000);  // sort info offset
    putText(out, type_, 4);
    putText(out, creator_, 4);
    putBE32(out, 0x00000000);  // unique ID seed
    putBE32(out, 0x00000000);  // next record list ID
    putBE16(out, recordCountField_.value_or(static_cast<std::uint16_t>(p.indexEntries)));

    for (int i = 1; i <= p.indexEntries; ++i) {
      std::int64_t offset = p.end;
      if (auto it = entryOverrides_.find(i); it != entryOverrides_.end()) {
        offset = it->second;
      } else if (offsetsOverride_) {
        offset = (*offsetsOverride_)[static_cast<std::size_t>(i - 1)];
      } else if (i <= static_cast<int>(p.offsets.size())) {
        offset = p.offsets[static_cast<std::size_t>(i - 1)];
      }
      putBE32(out, static_cast<std::uint32_t>(offset));
      putBE32(out, indexAttributes_.value_or(0x40000100u + static_cast<std::uint32_t>(i)));
    }

    for (std::size_t r = 0; r < p.records.size(); ++r) {
      out.resize(static_cast<std::size_t>(p.offsets[r]), fill_);
      out.insert(out.end(), p.records[r].begin(), p.records[r].end());
    }
    if (truncate_ && *truncate_ < out.size()) out.resize(*truncate_);
    return out;
  }

  // Writes build() to `path`; false when the file cannot be written.
  bool writeTo(const std::string& path) const {
    const std::vector<std::uint8_t> bytes = build();
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
  }

 private:
  struct Plan {
    std::vector<std::vector<std::uint8_t>> records;  // record 1 first
    std::vector<std::int64_t> offsets;
    int indexEntries = 0;
    std::int64_t end = 0;  // offset behind the last record
  };

  std::vector<std::uint8_t> recordingHeader() const {
    std::vector<std::uint8_t> h;
    putBE32(h, loggerId_);
    putBE32(h, static_cast<std::uint32_t>(
                   byteCount_.value_or(static_cast<std::int32_t>(samples_.size() * 2))));
    putBE16(h, static_cast<std::uint16_t>(spareWord_));
    for (std::uint8_t b : start_) putU8(h, b);
    putBE16(h, static_cast<std::uint16_t>(intervalCode_));
    putU8(h, typeCode_);
    putU8(h, spareByte_);
    putU8(h, memoryCode_.value_or(255));
    putU8(h, spareOptionalByte_);
    putBE16(h, static_cast<std::uint16_t>(offsetParam_));
    putBE16(h, static_cast<std::uint16_t>(factorParam_));
    const int length = headerLength_.value_or(memoryCode_ ? kFullHeaderBytes : kFixedHeaderBytes);
    h.resize(static_cast<std::size_t>(length), 0);
    return h;
  }

  // Sample record sizes, in samples.
  std::vector<std::size_t> recordSizes() const {
    std::vector<std::size_t> sizes;
    std::size_t placed = 0;
    for (int c : recordSampleCounts_) {
      sizes.push_back(static_cast<std::size_t>(c));
      placed += static_cast<std::size_t>(c);
    }
    const auto per = static_cast<std::size_t>(samplesPerRecord_);
    while (placed < samples_.size()) {
      const std::size_t left = samples_.size() - placed;
      sizes.push_back(left >= per || padLast_ ? per : left);
      placed += per;
    }
    if (sampleRecordCount_) sizes.resize(static_cast<std::size_t>(*sampleRecordCount_), per);
    return sizes;
  }

  Plan plan() const {
    Plan p;
    p.records.push_back(recordingHeader());
    std::size_t next = 0;
    for (std::size_t size : recordSizes()) {
      std::vector<std::uint8_t> rec;
      rec.reserve(size * 2);
      for (std::size_t i = 0; i < size; ++i, ++next) {
        if (next < samples_.size()) {
          putBE16(rec, static_cast<std::uint16_t>(samples_[next]));
        } else {
          putU8(rec, fill_);
          putU8(rec, fill_);
        }
      }
      p.records.push_back(std::move(rec));
    }
    for (const auto& extra : extraRecords_) p.records.push_back(extra);

    if (offsetsOverride_) {
      p.indexEntries = static_cast<int>(offsetsOverride_->size());
    } else if (recordCount_) {
      p.indexEntries = *recordCount_;
    } else {
      p.indexEntries = static_cast<int>(p.records.size());
    }
    if (p.indexEntries > 65535) throw std::invalid_argument("more than 65535 records");

    std::int64_t pos = kContainerHeaderBytes + kIndexEntryBytes * p.indexEntries;
    for (std::size_t r = 0; r < p.records.size(); ++r) {
      const int record = static_cast<int>(r) + 1;
      const auto it = gaps_.find(record);
      pos += it != gaps_.end() ? it->second : (record == 1 ? 0 : gapBetween_);
      p.offsets.push_back(pos);
      pos += static_cast<std::int64_t>(p.records[r].size());
    }
    p.end = pos;
    return p;
  }

  // Container.
  std::array<char, kNameBytes> name_{'L', 'o', 'g', 'g', 'e', 'r'};
  std::string type_ = "DATA";
  std::string creator_ = "KSTX";
  std::optional<int> recordCount_;
  std::optional<std::uint16_t> recordCountField_;
  std::optional<std::vector<std::int32_t>> offsetsOverride_;
  std::map<int, std::int32_t> entryOverrides_;
  std::optional<std::uint32_t> indexAttributes_;

  // Recording header.
  std::uint32_t loggerId_ = 0x00001A2B;
  std::optional<std::int32_t> byteCount_;
  std::int16_t spareWord_ = 0;
  std::array<std::uint8_t, 6> start_{0x14, 0x03, 0x05, 0x07, 0x30, 0x00};  // 5/3/2014 7:30:00
  std::int16_t intervalCode_ = 7;                                          // 60 s
  std::uint8_t typeCode_ = 1;
  std::uint8_t spareByte_ = 0;
  std::optional<std::uint8_t> memoryCode_ = 255;
  std::uint8_t spareOptionalByte_ = 255;
  std::int16_t offsetParam_ = 0;
  std::int16_t factorParam_ = 0;
  std::optional<int> headerLength_;

  // Samples and records.
  std::vector<std::int16_t> samples_;
  int samplesPerRecord_ = kSlotsPerRecord;
  std::vector<int> recordSampleCounts_;
  bool padLast_ = false;
  std::optional<int> sampleRecordCount_;
  std::vector<std::vector<std::uint8_t>> extraRecords_;
  int gapBetween_ = 0;
  std::map<int, int> gaps_;
  std::uint8_t fill_ = 0xEE;
  std::optional<std::size_t> truncate_;
};

// `n` samples from `from` on, `step` apart (wrapping as int16 does).
inline std::vector<std::int16_t> ramp(int n, int from = 0, int step = 1) {
  std::vector<std::int16_t> v;
  v.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) v.push_back(static_cast<std::int16_t>(from + i * step));
  return v;
}

}  // namespace kestrix::testing
