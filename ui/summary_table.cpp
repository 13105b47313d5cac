#include "summary_table.hpp"

#include <QHeaderView>
#include <QScrollBar>
#include <algorithm>

#include "swatch.hpp"

namespace kestrix::ui {

namespace {

// The Channel column never takes more of the width than this.
constexpr int widestChannelColumn = 320;

QString text(const std::string& utf8) {
  return QString::fromStdString(utf8);
}

}  // namespace

int SummaryTable::cursorColumn() {
  return static_cast<int>(chart::ChartData::summaryHeaders().size());
}

SummaryTable::SummaryTable(const chart::ChartData& chartData,
                           const std::function<QColor(std::size_t)>& colour, QWidget* parent)
    : QTableWidget(parent), channels_(new QTableView(this)) {
  QStringList labels;
  for (const std::string& h : chart::ChartData::summaryHeaders()) labels << text(h);
  labels << QStringLiteral("At cursor");
  const std::vector<chart::ChartChannel>& channels = chartData.channels();
  setColumnCount(static_cast<int>(labels.size()));
  setRowCount(static_cast<int>(channels.size()));
  setHorizontalHeaderLabels(labels);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  verticalHeader()->setVisible(false);
  for (std::size_t c = 0; c < channels.size(); ++c) {
    const std::vector<std::string> cells = chartData.summaryRow(c);
    const auto row = static_cast<int>(c);
    auto* name = new QTableWidgetItem(swatch(colour(c)), text(cells[0]));
    const std::string joined = chartData.joinedFrom(c);
    if (!joined.empty()) name->setToolTip(text(cells[0] + "\n" + joined));
    setItem(row, 0, name);
    for (int col = 1; col < static_cast<int>(cells.size()); ++col) {
      auto* item = new QTableWidgetItem(text(cells[static_cast<std::size_t>(col)]));
      if (col >= 2) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      setItem(row, col, item);
    }
    auto* cursor = new QTableWidgetItem;
    cursor->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setItem(row, cursorColumn(), cursor);
  }
  resizeColumnsToContents();
  setColumnWidth(0, std::min(columnWidth(0), widestChannelColumn));

  // The Channel column: a view of the same lines and selection over the left
  // edge, moving up and down with the table but never sideways.
  setHorizontalScrollMode(ScrollPerPixel);
  channels_->setModel(model());
  channels_->setSelectionModel(selectionModel());
  channels_->setSelectionBehavior(QAbstractItemView::SelectRows);
  channels_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  channels_->setFocusPolicy(Qt::NoFocus);
  // A line down its right edge sets it apart from the columns passing under it.
  channels_->setStyleSheet(
      QStringLiteral("QTableView { border: none; border-right: 1px solid palette(mid); }"));
  channels_->verticalHeader()->setVisible(false);
  channels_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  channels_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  channels_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  channels_->setTextElideMode(textElideMode());
  for (int col = 1; col < columnCount(); ++col) channels_->setColumnHidden(col, true);
  channels_->setColumnWidth(0, columnWidth(0));
  viewport()->stackUnder(channels_);

  connect(horizontalHeader(), &QHeaderView::sectionResized, this,
          [this](int section, int, int size) {
            if (section != 0) return;
            channels_->setColumnWidth(0, size);
            placeChannelColumn();
          });
  connect(verticalHeader(), &QHeaderView::sectionResized, this,
          [this](int section, int, int size) { channels_->setRowHeight(section, size); });
  connect(verticalScrollBar(), &QAbstractSlider::valueChanged, channels_->verticalScrollBar(),
          &QAbstractSlider::setValue);
  connect(channels_->verticalScrollBar(), &QAbstractSlider::valueChanged, verticalScrollBar(),
          &QAbstractSlider::setValue);
  // A double-click (or the platform's activation) on a name acts as on its line.
  connect(channels_, &QAbstractItemView::activated, this,
          [this](const QModelIndex& index) { itemActivated(item(index.row(), 0)); });
  placeChannelColumn();
}

void SummaryTable::setCursorTexts(const std::vector<QString>& texts) {
  for (std::size_t c = 0; c < texts.size() && static_cast<int>(c) < rowCount(); ++c)
    item(static_cast<int>(c), cursorColumn())->setText(texts[c]);
}

void SummaryTable::setLimits(const chart::ChartLimits* limits) {
  const std::vector<std::string>& headers = chart::limitHeaders();
  const int first = cursorColumn() + 1;
  setColumnCount(limits ? first + static_cast<int>(headers.size()) : first);
  if (!limits) return;
  // The pinned Channel column shows none of them.
  for (int col = first; col < columnCount(); ++col) channels_->setColumnHidden(col, true);
  for (std::size_t h = 0; h < headers.size(); ++h)
    setHorizontalHeaderItem(first + static_cast<int>(h), new QTableWidgetItem(text(headers[h])));
  for (int row = 0; row < rowCount(); ++row) {
    const ChannelCheck& check = limits->checks()[static_cast<std::size_t>(row)];
    const std::vector<std::string> cells = chart::limitCells(check);
    for (std::size_t i = 0; i < cells.size(); ++i) {
      auto* item = new QTableWidgetItem(text(cells[i]));
      item->setTextAlignment((i + 1 < cells.size() ? Qt::AlignRight : Qt::AlignLeft) |
                             Qt::AlignVCenter);
      if (check.verdict == Verdict::Fail && i + 1 == cells.size()) {
        item->setForeground(QColor(200, 0, 0));
        QFont bold = item->font();
        bold.setBold(true);
        item->setFont(bold);
      }
      setItem(row, first + static_cast<int>(i), item);
    }
  }
  for (int col = first; col < columnCount(); ++col) resizeColumnToContents(col);
}

int SummaryTable::limitColumn(const std::string& name) const {
  const std::vector<std::string>& headers = chart::limitHeaders();
  const auto at = std::find(headers.begin(), headers.end(), name);
  if (at == headers.end() || columnCount() <= cursorColumn() + 1) return -1;
  return cursorColumn() + 1 + static_cast<int>(at - headers.begin());
}

QSize SummaryTable::sizeHint() const {
  const int lines = std::min(rowCount(), linesShown);
  const int height = horizontalHeader()->sizeHint().height() +
                     lines * verticalHeader()->defaultSectionSize() + 2 * frameWidth() +
                     horizontalScrollBar()->sizeHint().height();
  return {QTableWidget::sizeHint().width(), height};
}

void SummaryTable::resizeEvent(QResizeEvent* event) {
  QTableWidget::resizeEvent(event);
  placeChannelColumn();
}

QModelIndex SummaryTable::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
  // Keys that move left keep the current cell clear of the Channel column.
  const QModelIndex current = QTableWidget::moveCursor(action, modifiers);
  if (action == MoveLeft && current.column() > 0 &&
      visualRect(current).topLeft().x() < channels_->columnWidth(0)) {
    const int scrolled = horizontalScrollBar()->value() + visualRect(current).topLeft().x() -
                         channels_->columnWidth(0);
    horizontalScrollBar()->setValue(scrolled);
  }
  return current;
}

void SummaryTable::scrollTo(const QModelIndex& index, ScrollHint hint) {
  // The Channel column is always in view: only the lines move for it.
  const int sideways = horizontalScrollBar()->value();
  QTableWidget::scrollTo(index, hint);
  if (index.column() == 0) horizontalScrollBar()->setValue(sideways);
}

void SummaryTable::placeChannelColumn() {
  channels_->setGeometry(frameWidth(), frameWidth(), columnWidth(0) + 1,
                         viewport()->height() + horizontalHeader()->height());
}

}  // namespace kestrix::ui
