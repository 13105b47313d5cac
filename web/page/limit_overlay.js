// What the chart shows of its limits, as the chart window draws them: each
// limited channel's low and high as dashed lines in the channel's colour over
// its panel, and the time of the excursions shaded behind the panel, red where
// an excursion raised an alarm and amber where it did not. A hidden channel
// shows neither.
//
// The shading comes from the worker once per set of limits: per panel, a
// byte per row of the run (2 alarm, 1 no alarm, 0 none). Each drawing takes
// the highest mark among the rows of each pixel column, from the maxima of
// blocks of rows where a column spans many: a whole run of 100,000 rows costs
// a few thousand reads per panel.
import uPlot from 'uplot';
import { channelColour } from './chart_colours.js';

const alarmColour = 'rgba(230, 30, 30, 0.188)';
const noAlarmColour = 'rgba(255, 170, 0, 0.235)';
const blockRows = 64;
const dash = 7;
const gap = 4;
// A limit set far beyond any value a logger writes only says "no limit":
// it does not widen the panel's scale.
const widestLimit = 1e9;

// The highest mark of rows [from, to) from the rows' marks and their blocks'.
function highestMark(marks, blocks, from, to) {
  let level = 0;
  let i = from;
  while (i < to && i % blockRows !== 0) level = Math.max(level, marks[i++]);
  for (; i + blockRows <= to && level < 2; i += blockRows) level = Math.max(level, blocks[i / blockRows]);
  while (i < to && level < 2) level = Math.max(level, marks[i++]);
  return level;
}

export class LimitOverlay {
  // `info`: the chart's panels (chart_session.cpp's panelsJson); `applied`:
  // the worker's answer to the limits applied ({lines: [[channel, limit]...]});
  // `marks`: its rows' marks, panel after panel.
  constructor(info, applied, marks) {
    this.info = info;
    this.rowCount = info.rowCount;
    const panels = info.units.length;
    this.lines = Array.from({ length: panels }, () => []);
    for (const [channel, value] of applied.lines) {
      const { panel } = info.channels[channel];
      if (panel < panels) this.lines[panel].push({ channel, value, colour: channelColour(channel) });
    }
    this.setMarks(marks);
  }

  // The rows' marks, panel after panel, as the worker gives them.
  setMarks(marks) {
    this.marks = [];
    for (let p = 0; p < this.lines.length; ++p) {
      const rows = marks.length >= (p + 1) * this.rowCount
        ? marks.subarray(p * this.rowCount, (p + 1) * this.rowCount) : new Uint8Array(0);
      if (!rows.some((mark) => mark !== 0)) {
        this.marks.push(null);
        continue;
      }
      const blocks = new Uint8Array(Math.ceil(rows.length / blockRows));
      for (let i = 0; i < rows.length; ++i) {
        const b = (i / blockRows) | 0;
        if (rows[i] > blocks[b]) blocks[b] = rows[i];
      }
      this.marks.push({ rows, blocks });
    }
  }

  // [min, max] of panel `p` widened to its limits.
  widen(p, min, max) {
    for (const { value } of this.lines[p] || []) {
      if (Math.abs(value) > widestLimit) continue;
      min = min == null ? value : Math.min(min, value);
      max = max == null ? value : Math.max(max, value);
    }
    return [min, max];
  }

  // Behind the panel's lines (uPlot's drawClear hook).
  shade(u, p) {
    const marks = this.marks[p];
    if (!marks) return;
    const { left, top, width, height } = u.bbox;
    if (width <= 0) return;
    const { firstKey, step } = this.info;
    const rows = marks.rows.length;
    const rowAt = (x) => (u.posToVal(x / uPlot.pxRatio, 'x') - firstKey) / step;
    const { ctx } = u;
    ctx.save();
    let runStart = 0;
    let runLevel = 0;
    const fill = (end) => {
      if (runLevel === 0 || end <= runStart) return;
      ctx.fillStyle = runLevel === 2 ? alarmColour : noAlarmColour;
      ctx.fillRect(left + runStart, top, end - runStart, height);
    };
    let from = rowAt(0);
    for (let x = 0; x < width; ++x) {
      const to = rowAt(x + 1);
      // The rows i with i < to and i + 1 > from, within the run.
      const first = Math.min(Math.max(Math.floor(Math.min(from, to)), 0), rows);
      const end = Math.min(Math.max(Math.ceil(Math.max(from, to)), 0), rows);
      from = to;
      const level = first < end ? highestMark(marks.rows, marks.blocks, first, end) : 0;
      if (level !== runLevel) {
        fill(x);
        runStart = x;
        runLevel = level;
      }
    }
    fill(width);
    ctx.restore();
  }

  // Over the panel's lines (uPlot's draw hook): `series` of the panel's
  // channels, in the plot's order after the time.
  draw(u, p, channels) {
    const lines = this.lines[p];
    if (!lines || lines.length === 0) return;
    const { left, top, width, height } = u.bbox;
    const { ctx } = u;
    const ratio = uPlot.pxRatio;
    ctx.save();
    ctx.beginPath();
    ctx.rect(left, top, width, height);
    ctx.clip();
    ctx.lineWidth = 2 * ratio;
    ctx.setLineDash([dash * ratio, gap * ratio]);
    for (const line of lines) {
      const s = channels.indexOf(line.channel) + 1;
      if (s > 0 && u.series[s] && !u.series[s].show) continue;
      const y = Math.round(u.valToPos(line.value, 'y', true)) + ratio;
      if (y < top - ratio || y > top + height + ratio) continue;
      ctx.strokeStyle = line.colour;
      ctx.beginPath();
      ctx.moveTo(left, y);
      ctx.lineTo(left + width, y);
      ctx.stroke();
    }
    ctx.restore();
  }
}

// The channels hidden in the chart's legend, as the worker's marks take them:
// a '1' at the place of each.
export function hiddenChannels(chartView) {
  const hidden = new Array(chartView.info.channels.length).fill('0');
  for (const { plot, channels } of chartView.plots) {
    channels.forEach((channel, i) => {
      if (plot.series[i + 1] && !plot.series[i + 1].show) hidden[channel.c] = '1';
    });
  }
  return hidden.join('');
}
