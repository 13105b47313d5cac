// Where a table's bytes go: the engine writes to a Sink and leaves files to
// the floors above (io/file_sinks.hpp).
#pragma once

#include <string>
#include <string_view>

namespace kestrix {

class Sink {
 public:
  virtual ~Sink() = default;
  virtual void write(std::string_view bytes) = 0;
};

// Keeps the bytes in memory.
class StringSink final : public Sink {
 public:
  void write(std::string_view bytes) override { data.append(bytes); }
  std::string data;
};

}  // namespace kestrix
