// The chart of a run, as the chart window draws it: a panel per unit, stacked,
// one uPlot each, on one time range and with one cursor. The points come from
// the worker for the range in view and the panels' width in pixels, asked
// again at every zoom and move; the read-out at the cursor is the table's
// date and cells at that row, also from the worker.
import uPlot from 'uplot';
import { channelColour } from './chart_colours.js';

const panelHeight = 190;
const zoomStep = 2;       // + and − halve and double the range
const wheelStep = 1.25;
const moveShare = 0.25;   // the arrows move by a quarter of the range
const fewestRows = 8;     // the narrowest range, in rows

// A time tick as the window writes it: dd/mm/yy over hh:mm, in UTC (the
// table's dates carry no time zone).
function tickText(seconds) {
  const d = new Date(seconds * 1000);
  const two = (n) => String(n).padStart(2, '0');
  return `${two(d.getUTCDate())}/${two(d.getUTCMonth() + 1)}/${two(d.getUTCFullYear() % 100)}\n` +
    `${two(d.getUTCHours())}:${two(d.getUTCMinutes())}`;
}

export class ChartView {
  // `panels`: the worker's answer to chart-open (chart_session.cpp's panelsJson).
  constructor(element, client, panels) {
    this.element = element;
    this.client = client;
    this.info = panels;
    this.redraws = [];  // ms from each zoom or move to its panels drawn
    const rowKey = (row1) => panels.firstKey + (row1 - 1) * panels.step;
    this.whole = { from: rowKey(panels.rows[0]), to: rowKey(Math.max(panels.rows[1], panels.rows[0])) };
    this.view = { ...this.whole };
    this.build();
  }

  build() {
    const { info } = this;
    const plots = this.element.querySelector('.panels');
    plots.replaceChildren();
    const width = Math.max(320, plots.clientWidth || this.element.clientWidth || 800);
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
      const plot = new uPlot({
        width,
        height: panelHeight + (last ? 40 : 0),
        tzDate: (seconds) => uPlot.tzDate(new Date(seconds * 1e3), 'Etc/UTC'),
        // A panel without a value in view keeps a scale, and so its width.
        scales: { x: { time: true }, y: { range: (u, low, high) => {
          // The limits drawn (limit_overlay.js) stay in view.
          const [min, max] = this.overlay ? this.overlay.widen(p, low, high) : [low, high];
          return min == null || max == null ? [0, 1] : uPlot.rangeNum(min, max, 0.1, true);
        } } },
        // The same right margin in every panel, the lowest one's last date
        // label included: their time axes stay one above the other.
        padding: [8, 32, 0, 0],
        series: [{}, ...channels.map((channel) => ({
          label: channel.name, stroke: channelColour(channel.c), width: 1, spanGaps: false,
          points: { show: false } }))],
        axes: [
          { show: last, values: (u, ticks) => ticks.map(tickText), size: 48 },
          { label: unit, size: 64 }],
        legend: { live: false },
        cursor: {
          sync: { key: 'kestrix-chart' },
          points: { show: false },
          y: false,
          drag: { x: true, y: false, setScale: false },
          bind: { dblclick: () => null },
        },
        hooks: {
          setSelect: [(u) => this.selected(u)],
          setCursor: [(u) => this.cursorMoved(u)],
          setSeries: [() => this.element.dispatchEvent(new CustomEvent('seriesshown'))],
          drawClear: [(u) => this.overlay && this.overlay.shade(u, p)],
          draw: [(u) => this.overlay && this.overlay.draw(u, p, channels.map((channel) => channel.c)),
            (u) => this.drawn(u)],
        },
      }, [[]].concat(channels.map(() => [])), panel);
      plot.over.addEventListener('wheel', (event) => this.wheel(event, plot), { passive: false });
      plot.over.addEventListener('dblclick', () => this.showWhole());
      return { plot, channels, unit, note };
    });
    this.width = width;
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
    if (!answer) return;  // a later range took its place
    this.draw(answer, from, to);
    await this.allDrawn();
    this.redraws.push(performance.now() - started);
    this.element.dispatchEvent(new CustomEvent('chartdrawn', { detail: { from, to } }));
  }

  draw(answer, from, to) {
    const { points, count } = answer;
    const x = points.subarray(0, count);
    const channelValues = (c) => {
      const values = new Array(count);
      const at = count * (c + 1);
      for (let i = 0; i < count; ++i) {
        const value = points[at + i];
        values[i] = Number.isNaN(value) ? null : value;
      }
      return values;
    };
    this.drawing = new Set(this.plots.map(({ plot }) => plot));
    for (const { plot, channels, note } of this.plots) {
      const series = channels.map((channel) => channelValues(channel.c));
      note.hidden = series.some((values) => values.some((value) => value !== null));
      plot.batch(() => {
        plot.setData([x, ...series], false);
        plot.setScale('x', { min: from, max: Math.max(to, from + 1) });
      });
    }
  }

  drawn(plot) {
    if (!this.drawing || !this.drawing.delete(plot) || this.drawing.size > 0) return;
    if (this.whenDrawn) this.whenDrawn();
  }

  // Once every panel has drawn the points last given.
  allDrawn() {
    if (!this.drawing || this.drawing.size === 0) return Promise.resolve();
    return new Promise((resolve) => { this.whenDrawn = () => { this.whenDrawn = null; resolve(); }; });
  }

  // The limits' lines and shading (a LimitOverlay, or null), drawn again.
  setOverlay(overlay) {
    this.overlay = overlay;
    return this.show(this.view.from, this.view.to);
  }

  showWhole() { return this.show(this.whole.from, this.whole.to); }

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

  async showRow(row) {
    const cells = await this.client.row(row);
    if (row !== this.readoutRow) return;
    const [date, ...values] = cells.split('\t');
    const readout = this.element.querySelector('.readout');
    readout.dataset.row = String(row);
    const dateCell = document.createElement('div');
    dateCell.className = 'date';
    dateCell.textContent = date || '';
    readout.replaceChildren(dateCell, ...this.info.channels.map((channel, c) => {
      const line = document.createElement('div');
      const name = document.createElement('span');
      name.style.color = channelColour(c);
      name.textContent = channel.name;
      const value = document.createElement('output');
      value.textContent = values[c] ?? '';
      line.append(name, value);
      return line;
    }));
    this.element.dispatchEvent(new CustomEvent('readout', { detail: { row } }));
  }

  destroy() {
    for (const { plot } of this.plots) plot.destroy();
    this.plots = [];
  }
}
