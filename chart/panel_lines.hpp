// The panels' lines on two threads. On a raster device a second thread draws
// the later graphs of every panel, panel after panel, each into a transparent
// image of its panel, from the moment the plot starts drawing its layers;
// meanwhile this thread draws the layers below the lines and each panel's
// earlier graphs, then lays the panel's image over them. Where every graph
// of a panel is one pixel wide, opaque and not antialiased, both threads
// write its lines into its pixels (LinePixels), the earlier graphs into an
// image of their own; otherwise they draw them with painters, the pixels
// then those of the graphs drawn one by one.
#pragma once

#include <qcustomplot.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "channel_graph.hpp"
#include "pixel_lines.hpp"
#include "two_threads.hpp"

namespace kestrix::chart {

class LinesAhead;

// The lines of one panel's graphs, drawn before them on the same layer and in
// their place.
class PanelLines : public QCPLayerable {
 public:
  PanelLines(QCustomPlot* plot, QCPAxisRect* panel, LinesAhead& ahead);

  // The panel's graphs, in the order they are drawn.
  void setGraphs(std::vector<ChannelGraph*> graphs) { graphs_ = std::move(graphs); }
  const std::vector<ChannelGraph*>& graphs() const noexcept { return graphs_; }
  QCPAxisRect* panel() const noexcept { return panel_; }

 protected:
  void applyDefaultAntialiasingHint(QCPPainter* painter) const override {
    painter->setAntialiasing(false);
  }
  QRect clipRect() const override { return panel_->rect(); }
  void draw(QCPPainter* painter) override;

 private:
  QCPAxisRect* panel_;
  LinesAhead& ahead_;
  std::vector<ChannelGraph*> graphs_;
};

// The second thread of one drawing's lines. Its share of the points follows
// how long either thread waited for the other at the drawing before. Only
// with the QCustomPlot it was checked against (kCheckedQCustomPlot), and
// where shortcutsApply.
class LinesAhead {
 public:
  explicit LinesAhead(QCustomPlot* plot);
  LinesAhead(const LinesAhead&) = delete;
  LinesAhead& operator=(const LinesAhead&) = delete;

  void setPanels(std::vector<PanelLines*> panels) { panels_ = std::move(panels); }
  // Off: each graph draws itself.
  void setEnabled(bool enabled) noexcept { enabled_ = enabled; }

  // Starts the second thread for a drawing with `painter`; by the first
  // layerable drawn.
  void start(QCPPainter* painter);
  // Waits for the second thread; by the last layerable drawn, and before
  // anything the thread reads may change. Rethrows what the second thread
  // threw, unless draw did.
  void finish();
  // Draws the lines of `lines` with `painter` if this drawing's second thread
  // took a part of them; false if it did not (they are to be drawn otherwise).
  // Rethrows what the second thread threw.
  bool draw(const PanelLines& lines, QCPPainter* painter);

 private:
  struct Panel {
    const PanelLines* lines = nullptr;
    std::vector<ChannelGraph*> earlier, later;
    QRect area;    // the clip
    QRect imaged;  // the image's place: the clip and a margin
    QImage image;  // the later graphs', kept from one drawing to the next
    // Every graph one pixel wide and opaque: their lines written as
    // LinePixels, the earlier ones' into earlierImage_ on this thread.
    bool pixels = false;
    bool ready = false;  // the image, once the second thread is done with it
    bool drawn = false;  // by PanelLines
  };
  using Clock = std::chrono::steady_clock;
  void drawLater();  // on the second thread
  // The second thread done with this drawing, whether or not it threw.
  void laterDone(Clock::time_point began);

  std::vector<PanelLines*> panels_;
  bool enabled_ = true;
  std::vector<Panel> work_;  // per panel, kept for their images
  // The pixels of the lines each thread writes, a panel at a time, and the
  // image of this thread's.
  LinePixels earlierPixels_, laterPixels_;
  QImage earlierImage_;
  bool running_ = false;  // a drawing taken up by the second thread, not yet finished
  std::mutex mutex_;
  std::condition_variable readied_;
  bool laterDone_ = false;  // under mutex_, as each Panel::ready
  QTransform transform_;
  QCPPainter::PainterModes modes_;
  double share_ = 0.5;
  // This drawing's times: when the second thread was done, how long this
  // thread drew lines and waited, and when it last began to wait.
  Clock::time_point secondDone_{}, lastWait_{};
  double firstMs_ = 0, secondMs_ = 0, waitedMs_ = 0;
  std::size_t started_ = 0, drawn_ = 0;  // panels the second thread took up, and drawn since
  // Last: done with the drawing under way before the rest goes.
  SecondThread second_;
};

}  // namespace kestrix::chart
