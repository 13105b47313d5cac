#include "chart_picture.hpp"

#include <QPainter>
#include <algorithm>
#include <vector>

#include "chart_plot.hpp"

namespace kestrix::chart {

QPixmap chartPicture(ChartPlot& plot) {
  const QPixmap chart = plot.toPixmap();
  struct Entry {
    QColor colour;
    QString name;
  };
  std::vector<Entry> entries;
  const std::vector<ChartChannel>& channels = plot.data().channels();
  for (std::size_t c = 0; c < channels.size(); ++c)
    if (plot.channelVisible(c))
      entries.push_back({plot.colour(c), QString::fromStdString(channels[c].name())});

  // Entries in rows, in as many columns as the widest name leaves room for.
  QFont font = plot.font();
  font.setPixelSize(11);
  const QFontMetrics metrics(font);
  constexpr int margin = 8, swatch = 12, gap = 6, spacing = 18;
  const int line = std::max(metrics.height(), swatch) + 4;
  int widest = 0;
  for (const Entry& e : entries) widest = std::max(widest, metrics.horizontalAdvance(e.name));
  const int usable = std::max(chart.width() - 2 * margin, swatch + gap + spacing);
  const int entryWidth = std::min(swatch + gap + widest + spacing, usable);
  const int columns = std::max(1, (usable + spacing) / entryWidth);
  const int rows = (static_cast<int>(entries.size()) + columns - 1) / columns;
  const int legendHeight = rows == 0 ? 0 : rows * line + 2 * margin;

  QPixmap picture(chart.width(), chart.height() + legendHeight);
  picture.fill(Qt::white);
  QPainter painter(&picture);
  painter.drawPixmap(0, 0, chart);
  painter.setFont(font);
  painter.setPen(Qt::black);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const int x = margin + static_cast<int>(i) % columns * entryWidth;
    const int y = chart.height() + margin + static_cast<int>(i) / columns * line;
    painter.fillRect(QRect(x, y + (line - swatch) / 2, swatch, swatch), entries[i].colour);
    const int textWidth = entryWidth - swatch - gap - spacing;
    painter.drawText(QRect(x + swatch + gap, y, textWidth, line), Qt::AlignLeft | Qt::AlignVCenter,
                     metrics.elidedText(entries[i].name, Qt::ElideRight, textWidth));
  }
  return picture;
}

}  // namespace kestrix::chart
