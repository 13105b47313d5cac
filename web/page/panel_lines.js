// A panel's lines, drawn from the worker's points as they arrive
// (chart_points.hpp): `index` holds four numbers per channel (its first pair,
// its pair count, its lowest and highest value in view), `pairs` the (seconds
// after `from`, value) pairs of every channel, NaN where a line breaks.
import { LinePixels, pixelColour } from './line_pixels.js';

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
      if (!u.series[k + 1].show || 4 * c + 1 >= answer.index.length) return;
      pixels.draw(answer.pairs, answer.index[4 * c], answer.index[4 * c + 1],
        x0, perSecond, y0, perValue, this.colours[k]);
    });
    if (!this.canvas || this.canvas.width !== pixels.width || this.canvas.height !== pixels.height) {
      this.canvas = new OffscreenCanvas(pixels.width, pixels.height);
      this.context = this.canvas.getContext('2d');
    }
    this.context.putImageData(pixels.image, 0, 0);
    u.ctx.drawImage(this.canvas, Math.round(left), Math.round(top));
  }
}

// The lowest and highest value in view of `channels` ({c} each), or null
// when none of them has a value there.
export function panelValueRange(index, channels) {
  let low = Infinity;
  let high = -Infinity;
  for (const { c } of channels) {
    const channelLow = index[4 * c + 2];
    const channelHigh = index[4 * c + 3];
    if (channelLow < low) low = channelLow;  // NaN: no value, never lower
    if (channelHigh > high) high = channelHigh;
  }
  return low <= high ? [low, high] : null;
}
