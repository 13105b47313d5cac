#include "unit_panels.hpp"

namespace kestrix::chart {

QFont axisFont(const QCustomPlot& plot) {
  QFont font = plot.font();
  font.setPixelSize(11);
  return font;
}

std::vector<QCPAxisRect*> addUnitPanels(QCustomPlot& plot, const std::vector<std::string>& units,
                                        const QSharedPointer<QCPAxisTicker>& dates,
                                        int valueTicks) {
  const QFont font = axisFont(plot);
  auto* margins = new QCPMarginGroup(&plot);
  std::vector<QCPAxisRect*> panels;
  for (std::size_t i = 0; i < units.size(); ++i) {
    auto* panel = new QCPAxisRect(&plot);
    plot.plotLayout()->addElement(static_cast<int>(i), 0, panel);
    panel->setMarginGroup(QCP::msLeft | QCP::msRight, margins);
    timeAxis(panel)->setTicker(dates);
    timeAxis(panel)->setTickLabels(i + 1 == units.size());
    valueAxis(panel)->ticker()->setTickCount(valueTicks);
    for (QCPAxis* axis : {timeAxis(panel), valueAxis(panel)}) {
      axis->setTickLabelFont(font);
      axis->setLabelFont(font);
    }
    panels.push_back(panel);
  }
  return panels;
}

}  // namespace kestrix::chart
