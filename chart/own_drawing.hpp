// Where the chart draws its own way rather than as QCustomPlot would: with
// the QCustomPlot it was checked against, one pixel of the plot a pixel of
// the device, and its shortcuts on raster images only.
#pragma once

#include <qcustomplot.h>

namespace kestrix::chart {

// The QCustomPlot the chart's own drawing was checked against. It overrides
// protected draw calls, puts a layerable first on its layer (moveToLayer),
// repeats the clip a panel gives its graphs (from a pixel above the panel)
// and coordToPixel's arithmetic; another version may do any of these
// otherwise, and is left to draw the plain way.
inline constexpr bool kCheckedQCustomPlot = QCUSTOMPLOT_VERSION == 0x020100;

// Whether the chart may draw its own way with `painter`: the QCustomPlot it
// was checked against, and a pixel of the plot one pixel of the device (not
// a screen or image of device pixel ratio 2, whose painter scales behind the
// plot's back).
inline bool drawsOwnWay(const QCPPainter& painter) {
  return kCheckedQCustomPlot && painter.device() && painter.device()->devicePixelRatioF() == 1.0;
}

// Whether the chart's drawing shortcuts may apply with `painter`: its own
// way, into a raster image (not a PDF or SVG).
inline bool shortcutsApply(const QCPPainter& painter) {
  return drawsOwnWay(painter) && painter.paintEngine() &&
         painter.paintEngine()->type() == QPaintEngine::Raster &&
         !painter.modes().testFlag(QCPPainter::pmVectorized);
}

}  // namespace kestrix::chart
