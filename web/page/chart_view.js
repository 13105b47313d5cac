// The chart of a run, as the chart window draws it: a panel per unit, stacked,
// one uPlot each, on one time range and with one cursor. The points come from
// the worker for the range in view and the panels' width in pixels, asked
// again at every zoom and move and when the panels change width; the read-out
// at the cursor is the table's date and cells at that row, also from the worker.
//
// uPlot draws the axes, the cursor, the selection and the legend; each
// panel's lines are drawn straight from the worker's arrays into its pixels
// (panel_lines.js), so that a redraw builds no value per point.
import uPlot from 'uplot';
import { channelColour } from './chart_colours.js';
import { PanelLines, panelExtent } from './panel_lines.js';
import { warmLinePixels } from './line_pixels.js';

const panelHeight = 190;
const zoomStep = 2;       // + and − halve and double the range
const wheelStep = 1.25;
const moveShare = 0.25;   // the arrows move by a quarter of the range
const fewestRows = 8;     // the narrowest range, in rows
const narrowest = 320;    // px, the panels' least width
// What uPlot draws of a channel's line: nothing.
const noPath = { stroke: null, fill: null, clip: null, band: null, gaps: null, flags: 0 };

// A time tick as the window writes it: dd/mm/yy over hh:mm, in UTC (the
// table's dates carry no time zone).
function tickText(seconds) {
  const d = new Date(seconds * 1000);
  const two = (n) => String(n).padStart(2, '0');
  return `${two(d.getUTCDate())}/${two(d.getUTCMonth() + 1)}/${two(d.getUTCFullYear() % 100)}\n` +
    `${two(d.getUTCHours())}:${two(d.getUTCMinutes())}`;
}

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

export class ChartView {
  // `panels`: the worker's answer to chart-open (chart_session.cpp's panelsJson).
  // `options.hooks`: uPlot hooks added to every panel's plot (drawClear under
  // the lines, draw over them), each called as uPlot calls it, the panel
  // being `view.panelOf(u)`; `options.valueRange(panel, [low, high])` may
  // widen a panel's value scale (to show its limits) and returns it.
  constructor(element, client, panels, options = {}) {
    this.element = element;
    this.client = client;
    this.info = panels;
    this.options = options;
    this.redraws = [];  // ms from each zoom or move to its panels drawn
    this.phases = [];   // of each: {worker, waited, draw} ms
    this.answer = null; // the worker's points last drawn
    const rowKey = (row1) => panels.firstKey + (row1 - 1) * panels.step;
    this.whole = { from: rowKey(panels.rows[0]), to: rowKey(Math.max(panels.rows[1], panels.rows[0])) };
    this.view = { ...this.whole };
    this.build();
    warmLinePixels();
  }

  panelWidth() {
    return Math.max(narrowest, Math.floor(this.element.querySelector('.panels').clientWidth));
  }

  build() {
    const { info } = this;
    const plots = this.element.querySelector('.panels');
    plots.replaceChildren();
    const width = this.panelWidth();
    const extra = this.options.hooks || {};
    this.plots = info.units.map((unit, p) => {
      const channels = info.channels.map((channel, c) => ({ ...channel, c }))
        .filter((channel) => channel.panel === p);
      const panel = document.createElement('section');
      panel.className = 'panel';
      panel.dataset.unit = unit;
      const heading = document.createElement('h3');
      heading.textContent = unit;
      const note = document.createElement('div');
      note.className = 'empty';
      note.textContent = 'no data in view';
      note.hidden = true;
      panel.append(heading, note);
      plots.append(panel);
      const last = p === info.units.length - 1;
      const colours = channels.map((channel) => channelColour(channel.c));
      const state = { index: p, unit, channels, note, range: [0, 1],
        lines: new PanelLines(channels, colours) };
      const hooks = {
        setSelect: [(u) => this.selected(u)],
        setCursor: [(u) => this.cursorMoved(u)],
        setSeries: [() => this.element.dispatchEvent(new CustomEvent('seriesshown'))],
        // The limits' shading under the lines, their lines over them
        // (limit_overlay.js), under whatever the hooks given draw.
        drawClear: [(u) => this.overlay && this.overlay.shade(u, p)],
        draw: [(u) => state.lines.draw(u, this.answer),
          (u) => this.overlay && this.overlay.draw(u, p, channels.map((channel) => channel.c))],
      };
      for (const [name, list] of Object.entries(extra)) hooks[name] = [...(hooks[name] || []), ...list];
      const plot = new uPlot({
        width,
        height: panelHeight + (last ? 40 : 0),
        tzDate: (seconds) => uPlot.tzDate(new Date(seconds * 1e3), 'Etc/UTC'),
        // The lines' values never pass through uPlot: the value scale is
        // the one draw() fits to the worker's answer.
        scales: { x: { time: true }, y: { range: () => state.range } },
        // The same right margin in every panel, the lowest one's last date
        // label included: their time axes stay one above the other.
        padding: [8, 32, 0, 0],
        series: [{}, ...channels.map((channel) => ({
          label: channel.name, stroke: colours[channels.indexOf(channel)], width: 1,
          // The lines are the panel's PanelLines' to draw.
          paths: () => noPath, points: { show: false } }))],
        axes: [
          // Ticks far enough apart for their dates (dd/mm/yy) not to touch.
          // The panels above keep the time grid, without the dates.
          last ? { values: (u, ticks) => ticks.map(tickText), size: 48, space: 80 }
            : { values: (u, ticks) => ticks.map(() => ''), size: 0, space: 80, ticks: { show: false } },
          { label: unit, size: 64 }],
        legend: { live: false },
        cursor: {
          sync: { key: 'kestrix-chart' },
          points: { show: false },
          y: false,
          drag: { x: true, y: false, setScale: false },
          bind: { dblclick: () => null },
        },
        hooks,
      }, this.emptyData(channels.length), panel);
      plot.over.addEventListener('wheel', (event) => this.wheel(event, plot), { passive: false });
      plot.over.addEventListener('dblclick', () => this.showWhole());
      state.plot = plot;
      return state;
    });
    this.width = width;
    this.buildReadout();
    this.watchWidth(plots);
  }

  // uPlot's own data: the range's two ends, no value (the lines are drawn
  // from the worker's points).
  emptyData(count, from = this.view.from, to = this.view.to) {
    const none = [null, null];
    return [[from, to], ...Array.from({ length: count }, () => none)];
  }

  panelOf(u) {
    return this.plots.find((panel) => panel.plot === u);
  }

  // The panels follow the page's width: resized at once (the points last
  // drawn stretched to it), then drawn again with points for the new width.
  watchWidth(plots) {
    this.resizing = new ResizeObserver(() => {
      if (this.resizeFrame) return;
      this.resizeFrame = requestAnimationFrame(() => {
        this.resizeFrame = null;
        // Hidden (the print view shown instead), the panels keep their width.
        if (plots.clientWidth === 0) return;
        const width = this.panelWidth();
        if (width === this.width || !this.plots.length) return;
        this.width = width;
        for (const { plot } of this.plots) plot.setSize({ width, height: plot.height });
        this.show(this.view.from, this.view.to);
      });
    });
    this.resizing.observe(plots);
  }

  // The columns the points are asked for: the plotting area's width in pixels.
  columns() {
    const plot = this.plots[0] && this.plots[0].plot;
    return Math.max(1, Math.round(plot ? plot.bbox.width / uPlot.pxRatio : this.width));
  }

  async show(from, to) {
    const span = Math.max(to - from, fewestRows * this.info.step);
    const wholeSpan = this.whole.to - this.whole.from;
    if (span >= wholeSpan) {
      from = this.whole.from;
      to = this.whole.to;
    } else {
      const centre = (from + to) / 2;
      from = Math.min(Math.max(centre - span / 2, this.whole.from), this.whole.to - span);
      to = from + span;
    }
    this.view = { from, to };
    const started = performance.now();
    const answer = await this.client.points(from, to, this.columns());
    if (!answer || !this.plots.length) return;  // a later range took its place, or closed
    const answered = performance.now();
    this.draw(answer);
    const drawn = performance.now();
    this.redraws.push(drawn - started);
    this.phases.push({ worker: answer.ms, waited: answered - started - answer.ms, draw: drawn - answered });
    this.element.dispatchEvent(new CustomEvent('chartdrawn',
      { detail: { from, to, period: answer.period } }));
  }

  // Medians of the redraws' parts, after the first drawing.
  phaseMedians() {
    const later = this.phases.slice(1);
    if (!later.length) return null;
    return Object.fromEntries(['worker', 'waited', 'draw'].map((part) =>
      [part, median(later.map((phase) => phase[part]))]));
  }

  draw(answer) {
    this.answer = answer;
    const { from, to } = answer;
    for (const panel of this.plots) {
      // As the window fits them: the lowest and highest value drawn (the
      // limits in view too, where valueRange widens it), 6 % of the range
      // beyond each; a panel without a value keeps the scale it had.
      const { range, inView } = panelExtent(answer.index, panel.channels);
      panel.note.hidden = inView;
      if (range) {
        let [low, high] = this.options.valueRange ? this.options.valueRange(panel.index, range) : range;
        if (this.overlay) [low, high] = this.overlay.widen(panel.index, low, high);
        const pad = high > low ? (high - low) * 0.06 : 1;
        panel.range = [low - pad, high + pad];
      }
      const { plot } = panel;
      plot.batch(() => {
        plot.setData(this.emptyData(panel.channels.length, from, to), false);
        plot.setScale('x', { min: from, max: Math.max(to, from + 1) });
      });
    }
  }

  showWhole() { return this.show(this.whole.from, this.whole.to); }

  // The limits' lines and shading (a LimitOverlay, or null), drawn again.
  // The points in view serve as they are: limits change the panels' scales
  // and what is drawn under and over the lines, not the lines.
  setOverlay(overlay) {
    this.overlay = overlay;
    const { answer, view } = this;
    if (!answer || answer.from !== view.from || answer.to !== view.to) return this.show(view.from, view.to);
    const started = performance.now();
    this.draw(answer);
    const draw = performance.now() - started;
    this.redraws.push(draw);
    this.phases.push({ worker: 0, waited: 0, draw });
    this.element.dispatchEvent(new CustomEvent('chartdrawn',
      { detail: { from: view.from, to: view.to, period: answer.period } }));
    return Promise.resolve();
  }

  zoom(factor, centre = (this.view.from + this.view.to) / 2) {
    const { from, to } = this.view;
    return this.show(centre - (centre - from) * factor, centre + (to - centre) * factor);
  }

  move(share) {
    const shift = (this.view.to - this.view.from) * share;
    return this.show(this.view.from + shift, this.view.to + shift);
  }

  key(event) {
    const actions = {
      '+': () => this.zoom(1 / zoomStep), '=': () => this.zoom(1 / zoomStep),
      '-': () => this.zoom(zoomStep), '\u2212': () => this.zoom(zoomStep),
      ArrowLeft: () => this.move(-moveShare), ArrowRight: () => this.move(moveShare),
      Home: () => this.showWhole(),
    };
    const action = actions[event.key];
    if (!action) return;
    event.preventDefault();
    action();
  }

  wheel(event, plot) {
    event.preventDefault();
    const centre = plot.posToVal(event.offsetX, 'x');
    this.zoom(event.deltaY < 0 ? 1 / wheelStep : wheelStep, centre);
  }

  selected(u) {
    const { left, width } = u.select;
    if (width < 3) return;
    const from = u.posToVal(left, 'x');
    const to = u.posToVal(left + width, 'x');
    u.setSelect({ left: 0, width: 0, top: 0, height: 0 }, false);
    this.show(from, to);
  }

  // The row under the cursor: the read-out shows its date and cells.
  cursorMoved(u) {
    const left = u.cursor.left;
    if (left == null || left < 0) return;
    const key = u.posToVal(left, 'x');
    const row = Math.round((key - this.info.firstKey) / this.info.step);
    if (row === this.readoutRow) return;
    this.readoutRow = row;
    this.showRow(row);
  }

  // The read-out's lines, made once: a move of the cursor sets their texts.
  buildReadout() {
    const readout = this.element.querySelector('.readout');
    this.readoutDate = document.createElement('div');
    this.readoutDate.className = 'date';
    this.readoutValues = this.info.channels.map(() => document.createElement('output'));
    readout.replaceChildren(this.readoutDate, ...this.info.channels.map((channel, c) => {
      const line = document.createElement('div');
      const name = document.createElement('span');
      name.style.color = channelColour(c);
      name.textContent = channel.name;
      line.append(name, this.readoutValues[c]);
      return line;
    }));
    delete readout.dataset.row;
  }

  async showRow(row) {
    const cells = await this.client.row(row);
    if (row !== this.readoutRow || !this.plots.length) return;
    const [date, ...values] = cells.split('\t');
    this.readoutDate.textContent = date || '';
    this.readoutValues.forEach((output, c) => { output.textContent = values[c] ?? ''; });
    this.element.querySelector('.readout').dataset.row = String(row);
    this.element.dispatchEvent(new CustomEvent('readout', { detail: { row } }));
  }

  destroy() {
    if (this.resizing) this.resizing.disconnect();
    if (this.resizeFrame) cancelAnimationFrame(this.resizeFrame);
    for (const { plot } of this.plots) plot.destroy();
    this.plots = [];
  }
}
