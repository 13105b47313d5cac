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
  // goes unseen. One loop without calls: a call per segment would box its
  // coordinates, some hundred thousand numbers a frame for the collector.
  draw(points, first, count, x0, kx, y0, ky, colour) {
    const { pixels, width } = this;
    const right = width - 1;
    const bottom = this.height - 1;
    const beyondX = width + 8;
    const beyondY = this.height + 8;
    let open = false;   // a line is being drawn
    let alone = false;  // through one point so far
    let ax = 0;
    let ay = 0;
    for (let i = 2 * first, end = 2 * (first + count) + 2; i < end; i += 2) {
      // One break more after the last point.
      const value = i + 2 < end ? points[i + 1] : NaN;
      if (value !== value) {
        if (alone) {
          const column = Math.floor(ax);
          const row = Math.floor(ay);
          if (column >= 0 && column <= right && row >= 0 && row <= bottom)
            pixels[row * width + column] = colour;
        }
        open = alone = false;
        continue;
      }
      // Coordinates far out give the same pixels inside as a few pixels out.
      const bx = Math.min(Math.max(x0 + points[i] * kx, -8), beyondX);
      const by = Math.min(Math.max(y0 + value * ky, -8), beyondY);
      if (!open) {
        open = alone = true;
        ax = bx;
        ay = by;
        continue;
      }
      alone = false;
      const dx = bx - ax;
      const dy = by - ay;
      if (Math.abs(dy) >= Math.abs(dx)) {
        const from = Math.max(Math.floor(Math.min(ay, by)), 0);
        const to = Math.min(Math.floor(Math.max(ay, by)), bottom);
        const column = Math.floor(ax);
        if (column === Math.floor(bx)) {  // upright in one column
          if (column >= 0 && column <= right) {
            for (let at = from * width + column, last = to * width + column; at <= last; at += width)
              pixels[at] = colour;
          }
        } else {
          const slope = dx / dy;
          for (let y = from; y <= to; ++y) {
            const x = ax + (y + 0.5 - ay) * slope;
            if (x >= 0 && x < right + 1) pixels[y * width + Math.floor(x)] = colour;
          }
        }
      } else {
        const from = Math.max(Math.floor(Math.min(ax, bx)), 0);
        const to = Math.min(Math.floor(Math.max(ax, bx)), right);
        const slope = dy / dx;
        for (let x = from; x <= to; ++x) {
          const y = ay + (x + 0.5 - ax) * slope;
          if (y >= 0 && y < bottom + 1) pixels[Math.floor(y) * width + x] = colour;
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
