// kestrix-convert-full: kestrix-convert with the workbook writer and, where
// the chart is built (KESTRIX_REPORT), the PDF report.
#include "command.hpp"
#include "workbook_writer.hpp"
#ifdef KESTRIX_REPORT
#include "report_cli.hpp"
#endif

int main(int argc, char** argv) {
  kestrix::cli::Command command;
  command.writers.workbook = kestrix::writeWorkbook;
#ifdef KESTRIX_REPORT
  command.writers.report = [](const kestrix::ConversionRun& run, const std::filesystem::path& file,
                              const kestrix::cli::ReportRequest& report) {
    std::optional<kestrix::chart::ReportLimits> limits;
    if (report.limits) {
      limits = kestrix::chart::ReportLimits{report.limits->rules, report.limits->path,
                                            report.limits->fileText};
    }
    kestrix::chart::writeReportWithoutDisplay(run, file, report.includeOverflowed, report.rows,
                                              limits ? &*limits : nullptr, report.periods);
  };
#endif
  return kestrix::cli::runCommand(argc, argv, command);
}
