// The pages of the PDF report: its resolution, type and line heights, the
// room left for the footer, and the footer with its page number.
#pragma once

#include <qcustomplot.h>
#include <QFont>
#include <QPdfWriter>
#include <QRect>
#include <QString>

namespace kestrix::chart {

// Dots per inch of the report's pages.
inline constexpr int reportDpi = 150;

class ReportPainter {
 public:
  ReportPainter(QPdfWriter& writer, QCPPainter& painter, const QString& footer)
      : writer_(writer), painter_(painter), footer_(footer) {
    page_ = painter.viewport();
    page_.adjust(0, 0, 0, -lineHeight(8) * 2);  // room for the footer
  }
  QRect page() const { return page_; }
  int lineHeight(double points) const { return static_cast<int>(points * reportDpi / 72.0 * 1.45); }
  void footer() {
    painter_.setFont(font(8));
    painter_.setPen(Qt::darkGray);
    const QRect r = painter_.viewport();
    painter_.drawText(QRect(r.left(), r.bottom() - lineHeight(8), r.width(), lineHeight(8)),
                      Qt::AlignLeft | Qt::AlignVCenter,
                      footer_ + QStringLiteral(" \u2014 page %1").arg(++pages_));
    painter_.setPen(Qt::black);
  }
  void newPage() {
    footer();
    writer_.newPage();
  }
  QFont font(double points, bool bold = false) const {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPointSizeF(points);
    f.setBold(bold);
    // No "fi" or "ff" joined into one glyph: a hash, a file name or a word
    // copied from the PDF (or searched for) reads as it was written.
    f.setStyleStrategy(QFont::PreferNoShaping);
    return f;
  }

 private:
  QPdfWriter& writer_;
  QCPPainter& painter_;
  QString footer_;
  QRect page_;
  int pages_ = 0;
};

}  // namespace kestrix::chart
