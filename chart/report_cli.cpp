#include "report_cli.hpp"

#include <QApplication>
#include <cstdio>
#include <memory>

#include "chart_report.hpp"

namespace kestrix::chart {

void writeReportWithoutDisplay(const ConversionRun& run, const std::filesystem::path& target,
                               bool includeOverflowed, std::optional<RowRange> rows,
                               const ReportLimits* limits) {
  // Qt's own notes (a missing runtime folder, a painter refused) are not the
  // program's messages; a failure reaches the caller once, as ConversionError.
  const QtMessageHandler previous =
      qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
          std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
      });
  struct Restore {
    QtMessageHandler handler;
    ~Restore() { qInstallMessageHandler(handler); }
  } restore{previous};
  std::unique_ptr<QApplication> app;
  if (QCoreApplication::instance() == nullptr) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "kestrix-convert";
    static char* argv[] = {name, nullptr};
    app = std::make_unique<QApplication>(argc, argv);
  }
  // The run outlives the report: it is only lent to the chart.
  const std::shared_ptr<const ConversionRun> lent(&run, [](const ConversionRun*) {});
  ReportView view;
  view.rows = rows;
  if (limits) {
    view.limitRules = limits->rules;
    view.limitsSource = LimitsSource{limits->path, limits->fileText};
  }
  writeChartReport(std::make_shared<const ChartData>(lent, includeOverflowed), target, view);
}

}  // namespace kestrix::chart
