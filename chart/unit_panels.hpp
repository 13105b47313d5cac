// The panels of a plot of a run's channels: one per unit, stacked on a shared
// time axis, whose dates only the lowest panel shows.
#pragma once

#include <qcustomplot.h>

#include <string>
#include <vector>

namespace kestrix::chart {

inline QCPAxis* timeAxis(QCPAxisRect* panel) {
  return panel->axis(QCPAxis::atBottom);
}
inline QCPAxis* valueAxis(QCPAxisRect* panel) {
  return panel->axis(QCPAxis::atLeft);
}

// The font of the plot's axes: the plot's own, in pixels, so that the plot
// lays out alike on a screen and on a page.
QFont axisFont(const QCustomPlot& plot);

// Adds a panel for each of `units`, in their order, below one another in the
// plot's emptied layout, their left and right margins alike: time across
// with `dates`, about `valueTicks` ticks up, in axisFont.
std::vector<QCPAxisRect*> addUnitPanels(QCustomPlot& plot, const std::vector<std::string>& units,
                                        const QSharedPointer<QCPAxisTicker>& dates, int valueTicks);

}  // namespace kestrix::chart
