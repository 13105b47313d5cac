// Lines one pixel wide, opaque and not antialiased, written straight into a
// panel's pixels, as the chart window draws them (chart/pixel_lines.cpp): a
// whole run's view of a hundred channels is some hundred and fifty thousand
// segments a frame, which the canvas's own antialiased strokes take many
// times longer to lay down. The colours go straight into an ImageData's
// bytes, which the panel's canvas takes in one copy.

// Pixel (i, j) covers [i, i + 1) x [j, j + 1) of the area's coordinates.
export class LinePixels {
  // An area of width x height pixels, every one cleared (transparent):
  // `bytes` holds them as an ImageData's data, `pixels` the same a pixel a
  // number.
  reset(width, height) {
    width = Math.max(1, Math.floor(width));
    height = Math.max(1, Math.floor(height));
    if (width !== this.width || height !== this.height) {
      this.bytes = new Uint8ClampedArray(4 * width * height);
      this.pixels = new Uint32Array(this.bytes.buffer);
      this.width = width;
      this.height = height;
    } else {
      this.pixels.fill(0);
    }
  }

  // Draws the polyline through the pairs (x, y) of `points` from pair `first`,
  // `count` of them, each point at x0 + x * kx, y0 + y * ky in the area's
  // pixels; a NaN y breaks it. `colour`: a pixel's value (pixelColour),
  // later lines over earlier ones. A segment lights one pixel in each row
  // (or column) along it, where it crosses that row's (or column's) middle;
  // a point alone between breaks lights its own pixel, so that no value
  // goes unseen.
  //
  // One loop without calls (a call per segment would box its coordinates,
  // some hundred thousand numbers a frame for the collector), on coordinates
  // moved `margin` pixels right and down, clamped to [0, size + 2 margin]:
  // far coordinates give the same pixels inside, and truncating is flooring.
  draw(points, first, count, x0, kx, y0, ky, colour) {
    const { pixels, width, height } = this;
    const margin = 8;
    const right = width - 1 + margin;  // the area's last column and row, moved
    const bottom = height - 1 + margin;
    const farX = width + 2 * margin;
    const farY = height + 2 * margin;
    x0 += margin;
    y0 += margin;
    const at = (column, row) => (row - margin) * width + column - margin;
    let ax = -1;  // the line's last point; -1: none, the line broken
    let ay = 0;
    let alone = false;  // the line through that point alone so far
    const end = 2 * (first + count);
    for (let i = 2 * first; i <= end; i += 2) {
      const value = i < end ? points[i + 1] : NaN;  // a break after the last
      if (value !== value) {
        if (alone) {
          const column = ax | 0;
          const row = ay | 0;
          if (column >= margin && column <= right && row >= margin && row <= bottom)
            pixels[at(column, row)] = colour;
        }
        ax = -1;
        alone = false;
        continue;
      }
      let bx = x0 + points[i] * kx;
      let by = y0 + value * ky;
      bx = bx < 0 ? 0 : bx > farX ? farX : bx;
      by = by < 0 ? 0 : by > farY ? farY : by;
      if (ax < 0) {
        alone = true;
        ax = bx;
        ay = by;
        continue;
      }
      alone = false;
      const dx = bx - ax;
      const dy = by - ay;
      if ((dy < 0 ? -dy : dy) >= (dx < 0 ? -dx : dx)) {
        const from = Math.max((ay < by ? ay : by) | 0, margin);
        const to = Math.min((ay < by ? by : ay) | 0, bottom);
        const column = ax | 0;
        if (column === (bx | 0)) {  // upright in one column
          if (column >= margin && column <= right) {
            for (let k = at(column, from), last = at(column, to); k <= last; k += width) pixels[k] = colour;
          }
        } else {
          // Row y's pixel lies in column (ax + (y + 0.5 - ay) * slope) | 0,
          // which moves one way only as y grows: the rows go column by
          // column, each column's run of rows found from where the line
          // crosses the column's edge and checked by that same sum, so
          // that each row's pixel is the one the sum gives it.
          const slope = dx / dy;
          for (let y = from; y <= to;) {
            const column = (ax + (y + 0.5 - ay) * slope) | 0;
            const edge = slope > 0 ? column + 1 : column;
            let last = Math.floor(ay - 0.5 + (edge - ax) / slope);
            last = last < y ? y : last > to ? to : last;
            while (last < to && ((ax + (last + 1.5 - ay) * slope) | 0) === column) ++last;
            while (last > y && ((ax + (last + 0.5 - ay) * slope) | 0) !== column) --last;
            if (column >= margin && column <= right) {
              for (let k = at(column, y), end = at(column, last); k <= end; k += width) pixels[k] = colour;
            }
            y = last + 1;
          }
        }
      } else {
        const from = Math.max((ax < bx ? ax : bx) | 0, margin);
        const to = Math.min((ax < bx ? bx : ax) | 0, right);
        const slope = dy / dx;
        for (let x = from; x <= to; ++x) {
          const y = ay + (x + 0.5 - ax) * slope;
          if (y >= margin && y < bottom + 1) pixels[at(x, y | 0)] = colour;
        }
      }
      ax = bx;
      ay = by;
    }
  }
}

// A colour "#rrggbb" as a pixel of `pixels`, opaque.
export function pixelColour(hex) {
  const value = parseInt(hex.slice(1), 16);
  const bytes = new Uint8Array([value >> 16, (value >> 8) & 255, value & 255, 255]);
  return new Uint32Array(bytes.buffer)[0];
}

// Draws, off-screen, lines of every kind a chart holds (upright, steep, flat,
// broken, single points, beyond the area), enough of them for the browser to
// compile draw() fully before a panel needs it: drawn first without, the
// first zooms after the chart opens take two to three times as long.
export function warmLinePixels(rounds = 8) {
  const lines = new LinePixels();
  lines.reset(400, 60);
  const count = 2048;
  const points = new Float32Array(2 * count);
  for (let i = 0; i < count; ++i) {
    const kind = (i >> 5) % 5;
    points[2 * i] = kind === 4 ? i * 0.1 : i * 0.25;
    points[2 * i + 1] = kind === 0 ? (i % 2) * 30 + 10 : kind === 1 ? (i % 7) * 4 - 5
      : kind === 2 ? 30 + (i % 3) : kind === 3 && i % 5 === 0 ? NaN : (i * 37) % 80 - 10;
  }
  for (let r = 0; r < rounds; ++r) {
    lines.draw(points, 0, count, r * 5 - 20, 1, 0, 1, 1 + r);
    lines.draw(points, 0, count, 0, 0.5 + r * 0.2, 10, -0.8, 1 + r);
  }
  return lines;
}
