#include "excursion_list.hpp"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QScrollBar>

namespace kestrix::ui {

using chart::ChartData;
using chart::ChartLimits;

class ExcursionList::Model : public QAbstractTableModel {
 public:
  explicit Model(std::shared_ptr<const ChartData> data) : data_(std::move(data)) {}

  void setLimits(std::shared_ptr<const ChartLimits> limits) {
    beginResetModel();
    limits_ = std::move(limits);
    lines_.clear();
    cachedRow_ = -1;
    if (limits_) {
      lines_.reserve(limits_->excursionCount());
      const std::vector<ChannelCheck>& checks = limits_->checks();
      for (std::size_t c = 0; c < checks.size(); ++c)
        for (std::size_t e = 0; e < checks[c].excursions.size(); ++e)
          lines_.push_back({static_cast<std::uint32_t>(c), static_cast<std::uint32_t>(e)});
    }
    endResetModel();
  }

  std::pair<std::size_t, const Excursion*> at(int row) const {
    const Line line = lines_[static_cast<std::size_t>(row)];
    return {line.channel, &limits_->checks()[line.channel].excursions[line.index]};
  }

  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(lines_.size());
  }
  int columnCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(chart::excursionHeaders().size());
  }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
      return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromStdString(chart::excursionHeaders()[static_cast<std::size_t>(section)]);
  }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const int column = index.column();
    switch (role) {
      case Qt::DisplayRole: {
        const auto [channel, excursion] = at(index.row());
        // One line's cells are made together: keep the last line's.
        if (cachedRow_ != index.row()) {
          cached_ = chart::excursionCells(*data_, channel, *excursion);
          cachedRow_ = index.row();
        }
        return QString::fromStdString(cached_[static_cast<std::size_t>(column)]);
      }
      case Qt::TextAlignmentRole:
        if (column == durationColumn || column == peakColumn)
          return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return {};
      case Qt::ForegroundRole:
        if (column == alarmColumn && at(index.row()).second->alarm) return QColor(190, 0, 0);
        return {};
      default:
        return {};
    }
  }

 private:
  static constexpr int durationColumn = 7, peakColumn = 8, alarmColumn = 10;
  struct Line {
    std::uint32_t channel;
    std::uint32_t index;
  };
  std::shared_ptr<const ChartData> data_;
  std::shared_ptr<const ChartLimits> limits_;
  std::vector<Line> lines_;
  mutable int cachedRow_ = -1;
  mutable std::vector<std::string> cached_;
};

ExcursionList::ExcursionList(std::shared_ptr<const ChartData> chartData, QWidget* parent)
    : QTableView(parent), model_(new Model(std::move(chartData))) {
  model_->setParent(this);
  setModel(model_);
  setEditTriggers(NoEditTriggers);
  setSelectionBehavior(SelectRows);
  setSelectionMode(SingleSelection);
  setWordWrap(false);
  verticalHeader()->setVisible(false);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  // Column widths from the first lines only: the list may be long.
  horizontalHeader()->setResizeContentsPrecision(100);
  horizontalHeader()->setStretchLastSection(true);
  setToolTip(QStringLiteral("Double-click or press Enter to zoom to an excursion"));
  connect(this, &QAbstractItemView::activated, this, [this](const QModelIndex& index) {
    if (!index.isValid() || !onActivated) return;
    const auto [channel, excursion] = model_->at(index.row());
    onActivated(channel, *excursion);
  });
}

void ExcursionList::setLimits(std::shared_ptr<const ChartLimits> limits) {
  model_->setLimits(std::move(limits));
  resizeColumnsToContents();
}

QSize ExcursionList::sizeHint() const {
  const int height = horizontalHeader()->sizeHint().height() +
                     linesShown * verticalHeader()->defaultSectionSize() + 2 * frameWidth() +
                     horizontalScrollBar()->sizeHint().height();
  return {QTableView::sizeHint().width(), height};
}

int ExcursionList::lineCount() const {
  return model_->rowCount();
}

std::pair<std::size_t, const Excursion*> ExcursionList::excursionAt(int line) const {
  return model_->at(line);
}

}  // namespace kestrix::ui
