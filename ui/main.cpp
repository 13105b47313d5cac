// kestrix: the window program. With a command line naming a logger file
// (".pdb") and a table (".txt") it converts that file without any window.

#include <QApplication>
#include <QStringList>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <system_error>

#include <QTableWidget>

#include "Form1.hpp"
#include "chart_plot.hpp"
#include "mapped_file.hpp"
#include "regional.hpp"
#include "startup.hpp"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  kestrix::guardMappedFiles("kestrix");
  const kestrix::Regional regional = kestrix::regionalFromLocale();

  // Command-line mode decides before anything of the window system exists,
  // so that it runs without a display.
  if (const auto words = kestrix::ui::commandLineMode(kestrix::ui::argumentText(argc, argv))) {
    std::error_code ec;
    const std::filesystem::path here = std::filesystem::current_path(ec);
    return kestrix::ui::runCommandLine(*words, here, kestrix::ui::programDirectory(), regional,
                                       std::cerr);
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("kestrix"));
  QGuiApplication::setDesktopFileName(QStringLiteral("kestrix"));

  kestrix::ui::Form1::Options options;
  options.regional = regional;
  kestrix::ui::Form1 form(std::move(options));

  // For scripted pictures of the window: entries to show selected.
  if (const char* select = std::getenv("KESTRIX_SELECT"))
    form.selectFiles(QString::fromLocal8Bit(select).split(QLatin1Char(','), Qt::SkipEmptyParts));

  form.show();
  // For scripted pictures of the chart: convert the selection, open its
  // chart, save a picture of that window and end.
  if (const char* picture = std::getenv("KESTRIX_CHART_PICTURE")) {
    form.Command1_Click();
    form.Command3_Click();
    kestrix::ui::ChartWindow* chart = form.chartWindow();
    if (chart == nullptr) return 1;
    chart->resize(1100, 720);
    QApplication::processEvents();
    chart->summaryTable()->selectRow(0);
    chart->showReadOut(chart->plot()->timeRange().center());
    QApplication::processEvents();
    return chart->grab().save(QString::fromLocal8Bit(picture), "PNG") ? 0 : 1;
  }
  return QApplication::exec();
}
