// The chart as a picture: the plot as it is drawn, and under it a legend of
// the channels it shows, each by its colour and name.
#pragma once

#include <QPixmap>

namespace kestrix::chart {

class ChartPlot;

QPixmap chartPicture(ChartPlot& plot);

}  // namespace kestrix::chart
