// kestrix: the window program. With a command line naming a logger file
// (".pdb") and a table (".txt") it converts that file without any window.

#include <QApplication>
#include <QStringList>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <system_error>

#include <QTableWidget>

#include "Form1.hpp"
#include "chart_plot.hpp"
#include "platform/mapped_file.hpp"
#include "regional.hpp"
#include "startup.hpp"
#include "summary_table.hpp"

namespace {

constexpr const char* noDisplayText =
    "kestrix: there is no display to show the window on.\n"
    "Without a display, convert in the folder of the logger files with\n"
    "  kestrix uc001.pdb table.txt\n"
    "or convert any number of files with\n"
    "  kestrix-convert -o table.txt UC*.PDB\n";
constexpr int exitNoDisplay = 2;

[[noreturn]] void endForWantOfDisplay() {
  std::fputs(noDisplayText, stderr);
  std::fflush(stderr);
  std::_Exit(exitNoDisplay);
}

// True when nothing names a display or a window system for Qt to use.
bool noDisplayNamed() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return false;
  }
  return true;
}

// Qt ends the process when its platform cannot start (a display named but not
// there): say why in our words, without a core dump.
QtMessageHandler qtHandler = nullptr;

void onQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (qtHandler != nullptr) qtHandler(type, context, message);
  if (type == QtFatalMsg) endForWantOfDisplay();
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  kestrix::platform::guardMappedFiles("kestrix");
  const kestrix::Regional regional = kestrix::regionalFromLocale();

  // Asked for help or the version: told, without a window.
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(
        "Usage: kestrix [LOGGER.PDB TABLE.txt]\n"
        "Without arguments, opens the window: choose logger files (UC*.PDB) and press MAKE\n"
        "to write them into one table, uc1.txt; CHART shows them.\n"
        "With a logger file ending in .pdb and a table name ending in .txt, converts that\n"
        "one file of the current folder into the table without a window.\n"
        "      --help     display this help and exit\n"
        "      --version  output version information and exit\n"
        "For every option of the conversion, see kestrix-convert --help.\n",
        stdout);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("kestrix %s\n", KESTRIX_VERSION);
    return 0;
  }

  // Command-line mode decides before anything of the window system exists,
  // so that it runs without a display.
  if (const auto words =
          kestrix::ui::commandLineMode(std::vector<std::string>(argv + 1, argv + argc))) {
    std::error_code ec;
    const std::filesystem::path here = std::filesystem::current_path(ec);
    return kestrix::ui::runCommandLine(*words, here, kestrix::ui::programDirectory(), regional,
                                       std::cerr);
  }

  if (noDisplayNamed()) endForWantOfDisplay();
  qtHandler = qInstallMessageHandler(onQtMessage);
  QApplication app(argc, argv);
  qInstallMessageHandler(qtHandler);
  QApplication::setApplicationName(QStringLiteral("kestrix"));
  QGuiApplication::setDesktopFileName(QStringLiteral("org.kestrix.Kestrix"));

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
    form.make();
    form.openChart();
    kestrix::ui::ChartWindow* chart = form.chartWindow();
    if (chart == nullptr) return 1;
    chart->resize(1100, 720);
    QApplication::processEvents();
    chart->summaryTable()->selectRow(0);
    chart->plot()->showChannelPeriod(0);
    chart->showReadOut(chart->plot()->timeRange().center());
    QApplication::processEvents();
    return chart->grab().save(QString::fromLocal8Bit(picture), "PNG") ? 0 : 1;
  }
  return QApplication::exec();
}
