// A panel's lines, drawn from the worker's points as they arrive
// (chart_points.hpp): `index` holds `indexWidth` numbers per channel (its
// first pair, its pair count, its lowest and highest value among them, 1 when
// a row in view holds a value), `pairs` the (seconds after `from`, value)
// pairs of every channel, NaN where a line breaks.
import { LinePixels, pixelColour } from './line_pixels.js';

export const indexWidth = 5;  // pointsIndexWidth

export class PanelLines {
  // `channels`: the panel's, {c} each, in the order of its plot's series;
  // `colours`: their "#rrggbb".
  constructor(channels, colours) {
    this.channels = channels;
    this.colours = colours.map(pixelColour);
    this.pixels = new LinePixels();
  }

  // Draws the lines of the channels shown onto `u`'s canvas, within its
  // plotting area, on its scales.
  draw(u, answer) {
    const x = u.scales.x;
    const y = u.scales.y;
    const { left, top, width, height } = u.bbox;
    if (!answer || !(x.max > x.min) || !(y.max > y.min) || width < 1 || height < 1) return;
    const { pixels } = this;
    pixels.reset(width, height);
    const perSecond = width / (x.max - x.min);
    const perValue = -height / (y.max - y.min);
    const x0 = (answer.from - x.min) * perSecond;
    const y0 = pixels.height - y.min * perValue;
    this.channels.forEach(({ c }, k) => {
      const at = indexWidth * c;
      if (!u.series[k + 1].show || at + 1 >= answer.index.length) return;
      pixels.draw(answer.pairs, answer.index[at], answer.index[at + 1],
        x0, perSecond, y0, perValue, this.colours[k]);
    });
    if (!this.image || this.image.data !== pixels.bytes) {
      this.image = new ImageData(pixels.bytes, pixels.width, pixels.height);
      this.canvas = new OffscreenCanvas(pixels.width, pixels.height);
      this.context = this.canvas.getContext('2d');
    }
    this.context.putImageData(this.image, 0, 0);
    u.ctx.drawImage(this.canvas, Math.round(left), Math.round(top));
  }
}

// What `channels` ({c} each) show of the worker's answer: their lowest and
// highest value (null when they have none) and whether a row in view holds
// a value of one of them.
export function panelExtent(index, channels) {
  let low = Infinity;
  let high = -Infinity;
  let inView = false;
  for (const { c } of channels) {
    const at = indexWidth * c;
    if (index[at + 2] < low) low = index[at + 2];  // NaN: no value, never lower
    if (index[at + 3] > high) high = index[at + 3];
    inView = inView || index[at + 4] === 1;
  }
  return { range: low <= high ? [low, high] : null, inView };
}
