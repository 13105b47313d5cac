// Lines one pixel wide, opaque and not antialiased, written straight into a
// panel's pixels. A whole run's view of a hundred dithered channels covers
// a million pixels a frame, mostly in upright strokes, one cache line each:
// a byte per pixel (the line's colour among the panel's) keeps the panel's
// pixels in the processor's cache while they are drawn, and the colours go
// in afterwards in one pass, row by row.
#pragma once

#include <QImage>
#include <QPointF>
#include <QRect>

#include <cstdint>
#include <vector>

namespace kestrix::chart {

class LinePixels {
 public:
  // The most lines, and so colours, one LinePixels holds.
  static constexpr int kMostColours = 255;

  // Clears every pixel of an area of `size`, whose pixel (0, 0) lies at
  // `origin` in the points' coordinates, drawn within `clip` (in the same
  // coordinates).
  void reset(QSize size, QPoint origin, const QRect& clip);
  // Draws the polyline through points[0 .. count) (a NaN or infinite
  // coordinate breaks it) in colour `colour` (1 to kMostColours; later lines
  // over earlier ones). A point at (x, y) lights the pixel that holds it
  // (pixel (i, j) covers [i, i + 1) x [j, j + 1)), and a segment one pixel
  // in each row (or column) where it crosses its middle, as a painter's
  // aliased line does, bar a pixel here and there.
  void draw(const QPointF* points, int count, std::uint8_t colour);
  // Writes the pixels into `image` (32-bit premultiplied, at least of the
  // size given to reset; from its top left corner): colours[k] where colour
  // k was drawn, transparent elsewhere.
  void paint(const QRgb (&colours)[kMostColours + 1], QImage& image) const;

 private:
  std::vector<std::uint8_t> pixels_;
  int width_ = 0, height_ = 0;
  double originX_ = 0, originY_ = 0;
  int left_ = 0, top_ = 0, right_ = -1, bottom_ = -1;  // the clip in pixels, inclusive
};

}  // namespace kestrix::chart
