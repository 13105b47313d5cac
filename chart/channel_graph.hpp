// A channel's line on the chart. Its points come thinned to a few per pixel
// column already, so it draws them straight: the same polylines as QCPGraph
// draws for a line without scatters or fill, without QCPGraph's work per
// point (a call per coordinate, checks and copies).
#pragma once

#include <qcustomplot.h>

#include <cstdint>

namespace kestrix::chart {

class LinePixels;

// An axis's coordinate to pixel, as QCPAxis::coordToPixel works it out for
// a linear axis that is not reversed (the same operations in the same order,
// so the same pixels), without a call per coordinate.
class AxisPixels {
 public:
  explicit AxisPixels(const QCPAxis& axis);
  // False for an axis this does not cover (logarithmic or reversed).
  bool linear() const noexcept { return linear_; }
  double operator()(double coord) const noexcept {
    return horizontal_ ? (coord - lower_) / size_ * length_ + start_
                       : start_ - (coord - lower_) / size_ * length_;
  }

 private:
  bool linear_ = false;
  bool horizontal_ = true;
  double lower_ = 0, size_ = 1;
  double length_ = 0;  // the axis rect's width or height
  double start_ = 0;   // its left, or its bottom
};

class ChannelGraph : public QCPGraph {
 public:
  ChannelGraph(QCPAxis* keyAxis, QCPAxis* valueAxis) : QCPGraph(keyAxis, valueAxis) {}

  // Whether the graph is drawn the straight way (a plain line on linear
  // axes, time across) rather than QCPGraph's, where drawsOwnWay.
  bool drawsStraight() const;
  // Draws the line the straight way, its pen and antialiasing set on `painter`.
  void drawStraight(QCPPainter* painter) const;
  // Whether its line is one pixel wide, opaque and not antialiased: drawn
  // straight, it can then be written into a panel's pixels (drawPixels).
  bool hasPixelPen() const;
  // Writes the straight line into `pixels` in colour `colour`.
  void drawPixels(LinePixels& pixels, std::uint8_t colour) const;
  // Set while PanelLines draws this graph's line in its place.
  void setDrawnByPanel(bool drawn) noexcept { drawnByPanel_ = drawn; }

 protected:
  void draw(QCPPainter* painter) override;

 private:
  bool drawnByPanel_ = false;
};

}  // namespace kestrix::chart
