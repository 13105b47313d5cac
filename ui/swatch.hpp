// The square of a channel's colour before its name, in the chart's legend
// and in its summary.
#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>

namespace kestrix::ui {

inline QIcon swatch(const QColor& colour) {
  QPixmap square(12, 12);
  square.fill(colour);
  return QIcon(square);
}

}  // namespace kestrix::ui
