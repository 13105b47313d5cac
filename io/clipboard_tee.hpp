// The table's bytes on their way to the table, with a copy kept for the
// clipboard.
#pragma once

#include <CStringBuilder.hpp>

#include <string_view>

#include "sink.hpp"

namespace kestrix {

// Writes every piece of the table to `table` and appends the same piece to
// `clipboardText`, in the same order.
class ClipboardTee final : public Sink {
 public:
  ClipboardTee(Sink& table, CStringBuilder& clipboardText)
      : table_(table), clipboardText_(clipboardText) {}
  void write(std::string_view bytes) override {
    table_.write(bytes);
    clipboardText_.Append(bytes);
  }

 private:
  Sink& table_;
  CStringBuilder& clipboardText_;
};

}  // namespace kestrix
