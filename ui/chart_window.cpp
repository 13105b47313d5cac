#include "chart_window.hpp"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPixmap>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>
#include <stdexcept>

#include "chart_picture.hpp"
#include "chart_plot.hpp"
#include "chart_report.hpp"
#include "csv_table.hpp"
#include "file_sinks.hpp"
#include "path_text.hpp"
#include "period_view.hpp"
#include "replacement_device.hpp"
#include "save_dialog.hpp"
#include "summary_table.hpp"
#include "swatch.hpp"

namespace kestrix::ui {

namespace fs = std::filesystem;
using chart::ChartChannel;
using chart::ChartData;
using chart::ChartPlot;
using chart::ReportView;

namespace {

QString text(const std::string& utf8) {
  return QString::fromStdString(utf8);
}

}  // namespace

ChartWindow::ChartWindow(std::shared_ptr<const ChartData> chartData, QWidget* parent)
    : QWidget(parent, Qt::Window), data_(std::move(chartData)) {
  const auto files = static_cast<int>(data_->run().files.size());
  setWindowTitle(QStringLiteral("Chart \u2014 %1 file%2").arg(files).arg(files == 1 ? "" : "s"));
  resize(1100, 760);

  auto* tools = new QToolBar(this);
  QAction* png = tools->addAction(QStringLiteral("Chart as PNG\u2026"));
  png->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+S")));
  QAction* pdf = tools->addAction(QStringLiteral("PDF report\u2026"));
  pdf->setShortcut(QKeySequence(QStringLiteral("Ctrl+P")));
  xlsxAction_ = tools->addAction(QStringLiteral("Table as XLSX\u2026"));
  xlsxAction_->setShortcut(QKeySequence(QStringLiteral("Ctrl+E")));
  xlsxAction_->setEnabled(false);
  csvAction_ = tools->addAction(QStringLiteral("Table as CSV\u2026"));
  tools->addSeparator();
  QAction* limits = tools->addAction(QStringLiteral("Limits\u2026"));
  tools->addSeparator();
  QAction* reset = tools->addAction(QStringLiteral("Whole run"));
  QAction* period = tools->addAction(QStringLiteral("Channel's period"));
  period->setToolTip(
      QStringLiteral("Shows the selected channel from its first value to its last "
                     "(or double-click its summary line)"));
  period->setEnabled(false);
  for (QAction* a : {png, pdf, xlsxAction_, csvAction_}) a->setShortcutContext(Qt::WindowShortcut);

  plot_ = new ChartPlot(data_, this);
  // Each panel at least 80 pixels high (its margins and tick labels take some
  // 50 more, the time axis 40): more panels than the window holds scroll.
  plot_->setMinimumSize(400, std::max(250, static_cast<int>(data_->units().size()) * 130 + 40));
  auto* plotScroll = new QScrollArea(this);
  plotScroll->setWidget(plot_);
  plotScroll->setWidgetResizable(true);
  plotScroll->setFrameShape(QFrame::NoFrame);
  plotScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  legend_ = new QListWidget(this);
  legend_->setToolTip(QStringLiteral("Click or press Enter to hide or show a channel"));
  summary_ = new SummaryTable(
      *data_, [this](std::size_t c) { return plot_->colour(c); }, this);
  periods_ = new PeriodView(
      data_, [this](std::size_t c) { return plot_->colour(c); }, this);
  periods_->onShowPeriod = [this](RowRange rows) { plot_->showRows(rows); };
  views_ = new QTabWidget(this);
  views_->addTab(summary_, QStringLiteral("Summary"));
  views_->addTab(periods_, QStringLiteral("Periods"));
  views_->setDocumentMode(true);
  readOut_ = new QLabel(this);
  readOut_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* help = new QLabel(
      QStringLiteral("Wheel or +/\u2212: zoom \u00b7 drag or arrows: move \u00b7 Shift+drag or "
                     "right drag: zoom to area \u00b7 double-click or Home: whole run \u00b7 "
                     "double-click a summary line: that channel's period"),
      this);
  help->setStyleSheet(QStringLiteral("color: gray"));

  buildLegend();
  auto* chartRow = new QSplitter(Qt::Horizontal);
  chartRow->addWidget(plotScroll);
  chartRow->addWidget(legend_);
  chartRow->setStretchFactor(0, 1);
  chartRow->setStretchFactor(1, 0);
  // The legend as wide as its longest entry, up to a third of the window.
  const int legendWidth = std::min(legend_->sizeHintForColumn(0) + 2 * legend_->frameWidth() +
                                       legend_->verticalScrollBar()->sizeHint().width(),
                                   width() / 3);
  chartRow->setSizes({width() - legendWidth, legendWidth});
  auto* chartBox = new QWidget;
  auto* chartLayout = new QVBoxLayout(chartBox);
  chartLayout->setContentsMargins(0, 0, 0, 0);
  chartLayout->addWidget(chartRow, 1);
  chartLayout->addWidget(readOut_);
  chartLayout->addWidget(help);
  // The chart gets the room, at least 70 % of the height to start with; the
  // tables below it (Summary, Periods, Excursions) can be enlarged by the
  // splitter or folded away.
  auto* split = new QSplitter(Qt::Vertical);
  split->addWidget(chartBox);
  split->addWidget(views_);
  split->setStretchFactor(0, 1);
  split->setStretchFactor(1, 0);
  split->setCollapsible(0, false);
  split->setCollapsible(1, true);
  buildLimitParts(limits);
  const int tablesHeight = height() * 3 / 10;
  split->setSizes({height() - tablesHeight, tablesHeight});
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 0, 4, 4);
  layout->addWidget(tools);
  layout->addWidget(split, 1);

  readOut_->setText(QStringLiteral("Period: ") + text(data_->periodText(plot_->rowsInView())));

  connect(png, &QAction::triggered, this, [this] {
    chooseAndExport(QStringLiteral("Save the chart as PNG"), QStringLiteral("PNG image (*.png)"),
                    QStringLiteral("chart.png"), [this](const fs::path& p, bool) { exportPng(p); });
  });
  // The report covers what is drawn unless the user asks for the whole run;
  // the tables are whole unless the user asks for the range in view.
  connect(pdf, &QAction::triggered, this, [this] {
    chooseAndExport(
        QStringLiteral("Save the PDF report"), QStringLiteral("PDF (*.pdf)"),
        QStringLiteral("report.pdf"),
        [this](const fs::path& p, bool inView) { exportReport(p, inView); }, true);
  });
  connect(xlsxAction_, &QAction::triggered, this, [this] {
    if (!xlsxExport_) return;
    chooseAndExport(
        QStringLiteral("Save the table as XLSX"), QStringLiteral("Workbook (*.xlsx)"),
        QStringLiteral("uc1.xlsx"),
        [this](const fs::path& p, bool inView) {
          xlsxExport_(data_->values(), p, exportRows(inView), limits_ ? &limits_->rules() : nullptr,
                      periods_->inExports() ? std::optional(periods_->kind()) : std::nullopt);
        },
        false);
  });
  connect(csvAction_, &QAction::triggered, this, [this] {
    chooseAndExport(
        QStringLiteral("Save the table as CSV"), QStringLiteral("CSV (*.csv)"),
        QStringLiteral("uc1.csv"), [this](const fs::path& p, bool inView) { exportCsv(p, inView); },
        false);
  });
  connect(reset, &QAction::triggered, plot_, [this] { plot_->resetView(); });
  connect(legend_, &QListWidget::itemClicked, this, &ChartWindow::legendClicked);
  connect(legend_, &QListWidget::itemActivated, this, &ChartWindow::legendClicked);
  connect(summary_, &QTableWidget::itemSelectionChanged, this, [this, period] {
    const QList<QTableWidgetItem*> selected = summary_->selectedItems();
    period->setEnabled(!selected.isEmpty());
    if (selected.isEmpty())
      plot_->setHighlighted(std::nullopt);
    else
      plot_->setHighlighted(static_cast<std::size_t>(selected.front()->row()));
  });
  connect(period, &QAction::triggered, this, [this] {
    const QList<QTableWidgetItem*> selected = summary_->selectedItems();
    if (!selected.isEmpty())
      plot_->showChannelPeriod(static_cast<std::size_t>(selected.front()->row()));
  });
  connect(summary_, &QTableWidget::itemActivated, this, [this](QTableWidgetItem* item) {
    plot_->showChannelPeriod(static_cast<std::size_t>(item->row()));
  });
  plot_->onReadOut = [this](const ChartPlot::ReadOut& r) {
    // Without a cursor: what is drawn.
    readOut_->setText(r.inside ? QStringLiteral("Cursor: ") + r.time
                               : QStringLiteral("Period: ") +
                                     text(data_->periodText(plot_->rowsInView())));
    std::vector<QString> shown = r.values;
    for (std::size_t c = 0; c < shown.size(); ++c)
      if (r.inside && plot_->channelVisible(c) && shown[c].isEmpty())
        shown[c] = QStringLiteral("gap");
    summary_->setCursorTexts(shown);
  };
  plot_->setFocus();
}

void ChartWindow::buildLegend() {
  const std::vector<ChartChannel>& channels = data_->channels();
  for (std::size_t c = 0; c < channels.size(); ++c) {
    auto* item = new QListWidgetItem(swatch(plot_->colour(c)), text(channels[c].name()), legend_);
    item->setToolTip(text(channels[c].name() + " (" + channels[c].unit + ")"));
  }
}

void ChartWindow::setXlsxExport(XlsxExport hook) {
  xlsxExport_ = std::move(hook);
  xlsxAction_->setEnabled(static_cast<bool>(xlsxExport_));
}

void ChartWindow::setChannelVisible(std::size_t channel, bool visible) {
  plot_->setChannelVisible(channel, visible);
  periods_->setChannelVisible(channel, visible);
  QListWidgetItem* item = legend_->item(static_cast<int>(channel));
  QFont font = item->font();
  font.setStrikeOut(!visible);
  item->setFont(font);
  item->setForeground(visible ? palette().text() : QBrush(Qt::gray));
  item->setIcon(swatch(visible ? plot_->colour(channel) : QColor(Qt::lightGray)));
}

void ChartWindow::legendClicked(QListWidgetItem* item) {
  const auto channel = static_cast<std::size_t>(legend_->row(item));
  setChannelVisible(channel, !plot_->channelVisible(channel));
}

void ChartWindow::showReadOut(double key) {
  if (plot_->onReadOut) plot_->onReadOut(plot_->readOut(key));
}

void ChartWindow::exportPng(const fs::path& target) const {
  const QPixmap picture = chart::chartPicture(*plot_);
  chart::ReplacementDevice file(target, "a picture");
  if (!picture.save(&file.device(), "PNG")) file.fail("the picture could not be made");
  file.commit();
}

void ChartWindow::exportReport(const fs::path& target, bool onlyRangeInView) const {
  ReportView view;
  if (onlyRangeInView) view.rows = plot_->rowsInView();
  for (std::size_t c = 0; c < data_->channels().size(); ++c)
    view.visible.push_back(plot_->channelVisible(c));
  if (limits_) {
    view.limitRules = limits_->rules();
    view.limitsSource = limits_->source();
  }
  if (periods_->inExports()) view.periods = periods_->kind();
  chart::writeChartReport(data_, target, view);
}

void ChartWindow::exportCsv(const fs::path& target, bool onlyRangeInView) const {
  TableOptions options;
  options.includeOverflowed = data_->values().includesOverflowed();
  options.rows = exportRows(onlyRangeInView);
  AtomicFileSink file(target);
  writeCsv(data_->run(), file, options);
  file.commit();
}

RowRange ChartWindow::exportRows(bool onlyRangeInView) const {
  return onlyRangeInView ? plot_->rowsInView() : data_->allRows();
}

void ChartWindow::chooseAndExport(const QString& caption, const QString& filter,
                                  const QString& suggestedName, const Export& write,
                                  std::optional<bool> onlyRangeInView) {
  const QString folder = saveFolder_.empty() ? QString() : displayName(saveFolder_);
  std::optional<SaveChoice> choice;
  if (onlyRangeInView) {
    choice = SaveChoice{
        QStringLiteral("Only the range in view"),
        QStringLiteral("Only the rows from ") + text(data_->periodText(plot_->rowsInView())),
        *onlyRangeInView};
  }
  const std::optional<fs::path> target =
      askForSaveFile(this, caption, filter,
                     folder.isEmpty() ? suggestedName : QDir(folder).filePath(suggestedName), {},
                     choice ? &*choice : nullptr);
  if (!target) return;
  try {
    write(*target, choice && choice->checked);
  } catch (const std::exception& e) {
    QMessageBox::critical(this, windowTitle(), QString::fromUtf8(e.what()));
  }
}

}  // namespace kestrix::ui
