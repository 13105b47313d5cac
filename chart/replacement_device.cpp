#include "replacement_device.hpp"

#include "error.hpp"

namespace kestrix::chart {

namespace {

std::string text(const QString& s) {
  return s.toStdString();
}

}  // namespace

ReplacementDevice::ReplacementDevice(std::filesystem::path target, std::string_view what)
    : target_(std::move(target)), replacement_(target_, what), file_(replacement_.path()) {
  if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate))
    throw ConversionError(ErrorKind::CannotWrite, target_.string(),
                          "cannot open: " + text(file_.errorString()));
}

void ReplacementDevice::fail(std::string_view reason) const {
  if (file_.error() != QFileDevice::NoError)
    throw ConversionError(ErrorKind::CannotWrite, target_.string(),
                          "write error: " + text(file_.errorString()));
  throw ConversionError(ErrorKind::CannotWrite, target_.string(), std::string(reason));
}

void ReplacementDevice::commit() {
  // The error of any write so far stays set; bytes still buffered meet a
  // full disk only here. close() would forget an earlier error: check first.
  file_.flush();
  if (file_.error() != QFileDevice::NoError) fail("");
  const qint64 size = file_.size();
  file_.close();
  if (file_.error() != QFileDevice::NoError) fail("");
  if (size == 0) fail("nothing was written");
  replacement_.commit();
}

}  // namespace kestrix::chart
