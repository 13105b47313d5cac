// The chart window's limits: the "Limits…" editor, the excursion list under
// the chart, and the limits applied to the chart, the summary and the list.
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "chart_plot.hpp"
#include "chart_window.hpp"
#include "excursion_list.hpp"
#include "limits_editor.hpp"
#include "limits_file.hpp"
#include "path_text.hpp"
#include "period_view.hpp"
#include "summary_table.hpp"

namespace kestrix::ui {

namespace fs = std::filesystem;

namespace {

// What a record of the run names the file by: its path as the user knows it.
std::string displayPath(const fs::path& path) {
  return ui::displayName(path).toStdString();
}

}  // namespace

void ChartWindow::buildLimitParts(QAction* limitsAction) {
  limitsAction_ = limitsAction;
  limitsAction_->setToolTip(
      QStringLiteral("The low and high limits of each channel, kept in your limits file"));
  connect(limitsAction_, &QAction::triggered, this, &ChartWindow::editLimits);

  excursionPane_ = new QWidget;
  auto* layout = new QVBoxLayout(excursionPane_);
  layout->setContentsMargins(0, 2, 0, 0);
  layout->setSpacing(2);
  excursionHeading_ = new QLabel(excursionPane_);
  excursions_ = new ExcursionList(data_, excursionPane_);
  excursions_->onActivated = [this](std::size_t channel, const Excursion& excursion) {
    zoomToExcursion(channel, excursion);
  };
  layout->addWidget(excursionHeading_);
  layout->addWidget(excursions_, 1);
  // A tab beside the summary and the periods, there while limits are set.
  views_->addTab(excursionPane_, QStringLiteral("Excursions"));
  views_->setTabVisible(views_->indexOf(excursionPane_), false);
}

void ChartWindow::tell(const QString& message) {
  if (messageHandler_)
    messageHandler_(message);
  else
    QMessageBox::warning(this, windowTitle(), message);
}

void ChartWindow::setLimits(std::vector<LimitRule> rules,
                            std::optional<chart::LimitsSource> source) {
  if (rules.empty())
    limits_.reset();
  else
    limits_ =
        std::make_shared<const chart::ChartLimits>(*data_, std::move(rules), std::move(source));
  plot_->setLimits(limits_);
  summary_->setLimits(limits_.get());
  periods_->setLimits(limits_);
  excursions_->setLimits(limits_);
  views_->setTabVisible(views_->indexOf(excursionPane_), limits_ != nullptr);
  if (!limits_) return;
  const std::size_t count = limits_->excursionCount();
  const std::size_t alarms = limits_->alarmCount();
  excursionHeading_->setText(
      count == 0 ? QStringLiteral("Excursions: none")
                 : QStringLiteral("Excursions: %1, %2 with an alarm \u2014 double-click or "
                                  "Enter zooms to one")
                       .arg(count)
                       .arg(alarms));
}

void ChartWindow::loadUserLimits() {
  const fs::path path = userLimitsPath();
  std::error_code ec;
  if (!fs::exists(path, ec)) {
    setLimits({}, std::nullopt);
    return;
  }
  try {
    std::string content = readLimitsText(path, displayPath(path));
    std::vector<LimitRule> rules = parseLimits(content, displayPath(path));
    setLimits(std::move(rules), chart::LimitsSource{displayPath(path), std::move(content)});
  } catch (const std::exception& e) {
    setLimits({}, std::nullopt);
    tell(QStringLiteral("The limits were not applied: ") + QString::fromUtf8(e.what()));
  }
}

void ChartWindow::editLimits() {
  const fs::path path = userLimitsPath();
  // The file as it is now: another program may have changed it since.
  std::vector<LimitRule> rules;
  try {
    rules = readLimitsFileIfPresent(path);
  } catch (const std::exception& e) {
    // A bad file is not edited over unknowingly: the editor starts empty.
    tell(QString::fromUtf8(e.what()) +
         QStringLiteral("\n\nThe editor starts empty; OK replaces the file."));
  }
  LimitsEditor editor(*data_, std::move(rules), path, this);
  editor.tell = messageHandler_;
  if (editor.exec() != QDialog::Accepted) return;
  loadUserLimits();
}

void ChartWindow::zoomToExcursion(std::size_t channel, const Excursion& excursion) {
  if (!plot_->channelVisible(channel)) setChannelVisible(channel, true);
  summary_->selectRow(static_cast<int>(channel));
  plot_->showRows(chart::excursionView(excursion, data_->rowCount()));
}

}  // namespace kestrix::ui
