#include "panel_lines.hpp"

#include <algorithm>
#include <functional>

#include "own_drawing.hpp"

namespace kestrix::chart {

namespace {

// Calls `drawn` with the painter whenever its layer is drawn: first or last
// on the layer.
class DrawHook : public QCPLayerable {
 public:
  DrawHook(QCustomPlot* plot, const QString& layer, bool first,
           std::function<void(QCPPainter*)> drawn)
      : QCPLayerable(plot, layer), drawn_(std::move(drawn)) {
    if (first) moveToLayer(plot->layer(layer), true);
  }

 protected:
  void applyDefaultAntialiasingHint(QCPPainter*) const override {}
  void draw(QCPPainter* painter) override { drawn_(painter); }

 private:
  std::function<void(QCPPainter*)> drawn_;
};

// The image reaches a little past the clip, as the buffer does: lines are
// then cut by the same clip in both, not by the image's edge.
constexpr int kMargin = 4;

// Writes the lines of `graphs` into `pixels` for an image at `imaged`, within
// `area`, each in the colour of its place among them (from 1), then those
// colours into `image`.
void writeLines(const std::vector<ChannelGraph*>& graphs, LinePixels& pixels, const QRect& imaged,
                const QRect& area, QImage& image) {
  pixels.reset(imaged.size(), imaged.topLeft(), area);
  QRgb colours[LinePixels::kMostColours + 1] = {};
  for (std::size_t i = 0; i < graphs.size(); ++i) {
    graphs[i]->drawPixels(pixels, static_cast<std::uint8_t>(i + 1));
    colours[i + 1] = qPremultiply(graphs[i]->pen().color().rgba());
  }
  pixels.paint(colours, image);
}

double millisecondsBetween(std::chrono::steady_clock::time_point from,
                           std::chrono::steady_clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

}  // namespace

PanelLines::PanelLines(QCustomPlot* plot, QCPAxisRect* panel, LinesAhead& ahead)
    : QCPLayerable(plot, QStringLiteral("main")), panel_(panel), ahead_(ahead) {}

void PanelLines::draw(QCPPainter* painter) {
  if (ahead_.draw(*this, painter)) return;
  // Not taken up at the start of this drawing: each graph draws itself.
  for (ChannelGraph* graph : graphs_) graph->setDrawnByPanel(false);
}

LinesAhead::LinesAhead(QCustomPlot* plot) {
  if constexpr (!kCheckedQCustomPlot) return;  // never started: each graph draws itself
  new DrawHook(plot, plot->layer(0)->name(), true, [this](QCPPainter* p) { start(p); });
  new DrawHook(plot, plot->layer(plot->layerCount() - 1)->name(), false,
               [this](QCPPainter*) { finish(); });
}

void LinesAhead::start(QCPPainter* painter) {
  finish();
  for (Panel& panel : work_) panel.lines = nullptr;
  if (!enabled_ || !shortcutsApply(*painter) ||
      painter->transform().type() > QTransform::TxTranslate)
    return;
  transform_ = painter->transform();
  modes_ = painter->modes();
  work_.resize(panels_.size());
  // Each panel's graphs shown, and the later ones by points for the second thread.
  bool any = false;
  for (std::size_t p = 0; p < panels_.size(); ++p) {
    const PanelLines& lines = *panels_[p];
    Panel& panel = work_[p];
    panel.earlier.clear();
    panel.later.clear();
    panel.ready = panel.drawn = false;
    std::vector<ChannelGraph*> shown;
    bool straight = lines.realVisibility();
    panel.pixels = true;
    for (ChannelGraph* graph : lines.graphs()) {
      if (!graph->realVisibility()) continue;
      straight = straight && graph->drawsStraight();
      panel.pixels = panel.pixels && graph->hasPixelPen();
      shown.push_back(graph);
    }
    panel.pixels = panel.pixels && shown.size() <= LinePixels::kMostColours;
    if (!straight || shown.empty() || (!panel.pixels && shown.size() < 2)) continue;
    std::vector<std::size_t> points;
    std::size_t total = 0;
    for (const ChannelGraph* graph : shown) {
      const QCPRange view = graph->keyAxis()->range();
      points.push_back(static_cast<std::size_t>(graph->data()->findEnd(view.upper) -
                                                graph->data()->findBegin(view.lower)));
      total += points.back();
    }
    const double wanted = share_ * static_cast<double>(total);
    std::size_t split = shown.size();  // shown[split ..] go to the second thread
    for (std::size_t later = 0;
         split > 1 && static_cast<double>(later + points[split - 1]) <= wanted;)
      later += points[--split];
    split = std::min(split, shown.size() - 1);
    panel.earlier.assign(shown.begin(), shown.begin() + static_cast<std::ptrdiff_t>(split));
    panel.later.assign(shown.begin() + static_cast<std::ptrdiff_t>(split), shown.end());
    // The clip the panel's layer gives its lines.
    painter->save();
    painter->setClipRect(lines.panel()->rect().translated(0, -1));
    panel.area = painter->clipBoundingRect().toAlignedRect();
    painter->restore();
    panel.imaged = panel.area.adjusted(-kMargin, -kMargin, kMargin, kMargin);
    if (panel.image.size() != panel.imaged.size())
      panel.image = QImage(panel.imaged.size(), QImage::Format_ARGB32_Premultiplied);
    panel.lines = &lines;
    for (ChannelGraph* graph : lines.graphs()) graph->setDrawnByPanel(true);
    any = true;
  }
  if (!any) return;
  started_ = static_cast<std::size_t>(
      std::count_if(work_.begin(), work_.end(), [](const Panel& panel) { return panel.lines; }));
  drawn_ = 0;
  firstMs_ = secondMs_ = waitedMs_ = 0;
  lastWait_ = secondDone_ = Clock::now();
  laterDone_ = false;
  running_ = true;
  second_.start([this] { drawLater(); });
}

void LinesAhead::drawLater() {
  const Clock::time_point began = Clock::now();
  try {
    for (Panel& panel : work_) {
      if (!panel.lines) continue;
      if (panel.pixels) {
        writeLines(panel.later, laterPixels_, panel.imaged, panel.area, panel.image);
      } else {
        panel.image.fill(Qt::transparent);
        QCPPainter onImage(&panel.image);
        onImage.setModes(modes_);
        onImage.translate(-panel.imaged.topLeft());
        onImage.setClipRect(panel.area);
        for (const ChannelGraph* graph : panel.later) {
          onImage.save();
          graph->drawStraight(&onImage);
          onImage.restore();
        }
      }
      const std::scoped_lock lock(mutex_);
      panel.ready = true;
      readied_.notify_one();
    }
  } catch (...) {
    laterDone(began);  // the panels not ready stay so: draw rethrows
    throw;
  }
  laterDone(began);
}

void LinesAhead::laterDone(Clock::time_point began) {
  const std::scoped_lock lock(mutex_);
  laterDone_ = true;
  secondDone_ = Clock::now();
  secondMs_ = millisecondsBetween(began, secondDone_);
  readied_.notify_one();
}

bool LinesAhead::draw(const PanelLines& lines, QCPPainter* painter) {
  const auto found = std::find_if(work_.begin(), work_.end(),
                                  [&](const Panel& panel) { return panel.lines == &lines; });
  if (found == work_.end() || !running_) return false;
  Panel& panel = *found;
  if (panel.drawn) return false;
  panel.drawn = true;
  // The image was drawn for this clip and place: anything else, and the
  // later graphs are drawn here after all.
  const bool same = painter->clipBoundingRect().toAlignedRect() == panel.area &&
                    painter->transform() == transform_ && painter->modes() == modes_;
  const Clock::time_point began = Clock::now();
  if (same && panel.pixels) {
    // One image for every panel, as large as the largest.
    const QSize size = panel.imaged.size();
    if (earlierImage_.width() < size.width() || earlierImage_.height() < size.height())
      earlierImage_ =
          QImage(size.expandedTo(earlierImage_.size()), QImage::Format_ARGB32_Premultiplied);
    writeLines(panel.earlier, earlierPixels_, panel.imaged, panel.area, earlierImage_);
    painter->drawImage(panel.imaged.topLeft(), earlierImage_, QRect(QPoint(0, 0), size));
  } else {
    for (const ChannelGraph* graph : same ? panel.earlier : lines.graphs()) {
      if (!graph->realVisibility()) continue;
      painter->save();
      graph->drawStraight(painter);
      painter->restore();
    }
  }
  const Clock::time_point waiting = Clock::now();
  firstMs_ += millisecondsBetween(began, waiting);
  std::unique_lock lock(mutex_);
  readied_.wait(lock, [&] { return panel.ready || laterDone_; });
  lastWait_ = waiting;
  waitedMs_ += millisecondsBetween(waiting, Clock::now());
  const bool ready = panel.ready;
  lock.unlock();
  if (!ready) finish();  // the second thread threw: so does this
  ++drawn_;
  if (same) painter->drawImage(panel.imaged.topLeft(), panel.image);
  return true;
}

void LinesAhead::finish() {
  if (!running_) return;
  running_ = false;
  second_.wait();
  // The second thread's share for the next drawing: what either thread
  // waited for the other, split between them (half of it, against swings).
  const double lines = firstMs_ + secondMs_;
  if (drawn_ == started_ && lines > 0.5) {
    const double late = millisecondsBetween(lastWait_, secondDone_);  // < 0: the second idled
    share_ = std::clamp(share_ - 0.5 * late / (2 * lines), 0.1, 0.9);
  }
}

}  // namespace kestrix::chart
