// Where a table's bytes go.
#pragma once

#include <string_view>

namespace kestrix {

class Sink {
 public:
  virtual ~Sink() = default;
  virtual void write(std::string_view bytes) = 0;
};

}  // namespace kestrix
