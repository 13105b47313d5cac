#include "period_view.hpp"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPixmap>
#include <QScrollArea>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "chart_limits.hpp"
#include "period_bars.hpp"
#include "period_lines.hpp"

namespace kestrix::ui {

using chart::PeriodColumn;

// The lines of a period table, made as they come into view: a long run's
// days times its channels are too many lines to make in advance.
class PeriodModel : public QAbstractTableModel {
 public:
  PeriodModel(std::shared_ptr<const chart::ChartData> data,
              std::function<QColor(std::size_t)> colour, QObject* parent)
      : QAbstractTableModel(parent), data_(std::move(data)), colour_(std::move(colour)) {}

  void setTable(std::shared_ptr<const PeriodTable> table) {
    beginResetModel();
    table_ = std::move(table);
    columns_ = table_ && chart::hasTimeOutside(*table_) ? chart::periodColumnCount
                                                        : chart::periodColumnCount - 2;
    // A line for each channel and period that holds some of its samples.
    lines_.clear();
    for (std::size_t c = 0; table_ && c < data_->channels().size(); ++c) {
      for (std::size_t p = 0; p < table_->periods.size(); ++p)
        if (table_->line(data_->channels()[c].column, p).held) lines_.emplace_back(c, p);
    }
    endResetModel();
  }

  // The channel and period of line `row`.
  std::pair<std::size_t, std::size_t> lineAt(int row) const {
    return lines_[static_cast<std::size_t>(row)];
  }

  int rowCount(const QModelIndex& parent) const override {
    if (parent.isValid() || !table_) return 0;
    return static_cast<int>(lines_.size());
  }
  int columnCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : columns_;
  }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || !table_) return {};
    const auto [channel, period] = lineAt(index.row());
    const auto column = static_cast<PeriodColumn>(index.column());
    switch (role) {
      case Qt::DisplayRole:
        return QString::fromStdString(chart::periodCell(*data_, *table_, channel, period, column));
      case Qt::DecorationRole:
        if (column == PeriodColumn::Channel) {
          QPixmap square(10, 10);
          square.fill(colour_(channel));
          return square;
        }
        return {};
      case Qt::TextAlignmentRole:
        return static_cast<int>(Qt::AlignVCenter |
                                (index.column() >= static_cast<int>(PeriodColumn::Period)
                                     ? Qt::AlignRight
                                     : Qt::AlignLeft));
      default:
        return {};
    }
  }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return QString::fromStdString(chart::periodHeading(static_cast<PeriodColumn>(section)));
  }

 private:
  std::shared_ptr<const chart::ChartData> data_;
  std::function<QColor(std::size_t)> colour_;
  std::shared_ptr<const PeriodTable> table_;
  std::vector<std::pair<std::size_t, std::size_t>> lines_;  // channel and period of each line
  int columns_ = chart::periodColumnCount - 2;
};

PeriodView::PeriodView(std::shared_ptr<const chart::ChartData> chartData,
                       const std::function<QColor(std::size_t)>& colour, QWidget* parent)
    : QWidget(parent), data_(std::move(chartData)) {
  choice_ = new QComboBox(this);
  for (const PeriodKind kind :
       {PeriodKind::Day, PeriodKind::Week, PeriodKind::Month, PeriodKind::All})
    choice_->addItem(QString::fromStdString(chart::periodChoiceText(kind)), static_cast<int>(kind));
  report_ = new QCheckBox(QStringLiteral("In the report and workbook"), this);
  report_->setToolTip(
      QStringLiteral("The PDF report adds these periods' table and bars after the summary; "
                     "\"Table as XLSX\u2026\" adds the sheet Periods"));
  auto* hint = new QLabel(QStringLiteral("double-click a line: that period in the chart"), this);
  hint->setStyleSheet(QStringLiteral("color: gray"));
  auto* top = new QHBoxLayout;
  top->setContentsMargins(0, 0, 0, 0);
  top->addWidget(new QLabel(QStringLiteral("Periods:"), this));
  top->addWidget(choice_);
  top->addWidget(report_);
  top->addStretch(1);
  top->addWidget(hint);

  model_ = new PeriodModel(data_, colour, this);
  lines_ = new QTableView(this);
  lines_->setModel(model_);
  lines_->setSelectionBehavior(QAbstractItemView::SelectRows);
  lines_->setSelectionMode(QAbstractItemView::SingleSelection);
  lines_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lines_->verticalHeader()->hide();
  lines_->verticalHeader()->setDefaultSectionSize(lines_->fontMetrics().height() + 6);
  lines_->setWordWrap(false);
  bars_ = new chart::PeriodBars(data_, colour, this);
  // The bars in a tab of their own, each unit's panel at least 80 pixels
  // high, as the chart's: panels that do not fit scroll.
  bars_->setMinimumHeight(std::max(120, static_cast<int>(data_->units().size()) * 130 + 40));
  auto* barsScroll = new QScrollArea(this);
  barsScroll->setWidget(bars_);
  barsScroll->setWidgetResizable(true);
  barsScroll->setFrameShape(QFrame::NoFrame);
  barsScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  shown_ = new QTabWidget(this);
  shown_->setDocumentMode(true);
  shown_->setTabPosition(QTabWidget::West);
  shown_->addTab(lines_, QStringLiteral("Table"));
  shown_->addTab(barsScroll, QStringLiteral("Bars"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 2, 0, 0);
  layout->addLayout(top);
  layout->addWidget(shown_, 1);

  connect(choice_, &QComboBox::currentIndexChanged, this,
          [this] { setKind(static_cast<PeriodKind>(choice_->currentData().toInt())); });
  // A double-click, or Enter (which some styles also take a double-click for).
  const auto open = [this](const QModelIndex& index) {
    if (!index.isValid() || !table_ || !onShowPeriod) return;
    onShowPeriod(table_->periods[model_->lineAt(index.row()).second].rows);
  };
  connect(lines_, &QTableView::doubleClicked, this, open);
  connect(lines_, &QTableView::activated, this, open);
}

PeriodView::~PeriodView() = default;

void PeriodView::setKind(PeriodKind kind) {
  if (kind == kind_ && !stale_) return;
  kind_ = kind;
  stale_ = true;
  choice_->setCurrentIndex(choice_->findData(static_cast<int>(kind)));
  if (isVisible()) rebuild();
}

bool PeriodView::inExports() const {
  return report_->isChecked();
}

void PeriodView::setLimits(std::shared_ptr<const chart::ChartLimits> limits) {
  limits_ = std::move(limits);
  stale_ = true;
  if (isVisible()) rebuild();
}

void PeriodView::setChannelVisible(std::size_t channel, bool visible) {
  bars_->setChannelVisible(channel, visible);
}

void PeriodView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (stale_) rebuild();
}

void PeriodView::rebuild() {
  stale_ = false;
  table_ =
      chart::periodTableOf(*data_, kind_, data_->allRows(), limits_ ? &limits_->checks() : nullptr);
  model_->setTable(table_);
  bars_->setTable(table_);
  lines_->resizeColumnsToContents();
}

}  // namespace kestrix::ui
