#include "pixel_lines.hpp"

#include <algorithm>
#include <cmath>

namespace kestrix::chart {

namespace {

// The pixel holding coordinate v (pixel i covers [i, i + 1)), for a v
// already brought within reach of the area (no call to floor for each pixel).
int pixelOf(double v) {
  constexpr int kBias = 1 << 20;
  return static_cast<int>(v + kBias) - kBias;
}

// Brings v within a few pixels beyond [low, high]: far coordinates give the
// same pixels inside, and fit an int.
double near(double v, int low, int high) {
  return std::clamp(v, static_cast<double>(low) - 8, static_cast<double>(high) + 8);
}

}  // namespace

void LinePixels::reset(QSize size, QPoint origin, const QRect& clip) {
  width_ = std::max(size.width(), 0);
  height_ = std::max(size.height(), 0);
  pixels_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 0);
  originX_ = origin.x();
  originY_ = origin.y();
  const QRect inside = clip.translated(-origin).intersected(QRect(0, 0, width_, height_));
  left_ = inside.left();
  top_ = inside.top();
  right_ = inside.isEmpty() ? left_ - 1 : inside.right();
  bottom_ = inside.isEmpty() ? top_ - 1 : inside.bottom();
}

void LinePixels::draw(const QPointF* points, int count, std::uint8_t colour) {
  if (right_ < left_ || bottom_ < top_) return;
  std::uint8_t* const pixels = pixels_.data();
  const auto width = static_cast<std::ptrdiff_t>(width_);
  // One pixel for each whole coordinate along a segment's longer extent,
  // within the clip, where the segment crosses that row's (or column's) middle.
  const auto segment = [&](double x0, double y0, double x1, double y1) {
    if (std::max(x0, x1) < left_ || std::min(x0, x1) >= right_ + 1 || std::max(y0, y1) < top_ ||
        std::min(y0, y1) >= bottom_ + 1)
      return;
    const double dx = x1 - x0, dy = y1 - y0;
    if (std::abs(dy) >= std::abs(dx)) {
      const int from = std::max(pixelOf(near(std::min(y0, y1), top_, bottom_)), top_);
      const int to = std::min(pixelOf(near(std::max(y0, y1), top_, bottom_)), bottom_);
      if (from > to) return;
      const int column = pixelOf(near(x0, left_, right_));
      if (column == pixelOf(near(x1, left_, right_))) {  // upright in one column
        if (column < left_ || column > right_) return;
        std::uint8_t* at = pixels + from * width + column;
        for (int y = from; y <= to; ++y, at += width) *at = colour;
        return;
      }
      // Each row's pixel where the segment crosses the row's middle.
      const double slope = dx / dy;
      for (int y = from; y <= to; ++y) {
        const double x = x0 + (y + 0.5 - y0) * slope;
        if (x >= left_ && x < right_ + 1) pixels[y * width + pixelOf(x)] = colour;
      }
    } else {
      const int from = std::max(pixelOf(near(std::min(x0, x1), left_, right_)), left_);
      const int to = std::min(pixelOf(near(std::max(x0, x1), left_, right_)), right_);
      const double slope = dy / dx;
      for (int x = from; x <= to; ++x) {
        const double y = y0 + (x + 0.5 - x0) * slope;
        if (y >= top_ && y < bottom_ + 1) pixels[pixelOf(y) * width + x] = colour;
      }
    }
  };
  const auto usable = [](const QPointF& p) { return std::isfinite(p.x()) && std::isfinite(p.y()); };
  for (int i = 1; i < count; ++i) {
    const QPointF& a = points[i - 1];
    const QPointF& b = points[i];
    if (!usable(a) || !usable(b)) continue;
    segment(a.x() - originX_, a.y() - originY_, b.x() - originX_, b.y() - originY_);
  }
}

void LinePixels::paint(const QRgb (&colours)[kMostColours + 1], QImage& image) const {
  QRgb palette[kMostColours + 1];
  std::copy(std::begin(colours), std::end(colours), palette);
  palette[0] = 0;
  for (int y = 0; y < height_ && y < image.height(); ++y) {
    const std::uint8_t* from = pixels_.data() + static_cast<std::ptrdiff_t>(y) * width_;
    auto* to = reinterpret_cast<QRgb*>(image.scanLine(y));
    const int n = std::min(width_, image.width());
    for (int x = 0; x < n; ++x) to[x] = palette[from[x]];
  }
}

}  // namespace kestrix::chart
