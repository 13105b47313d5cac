// The chart's lines in pixels (web/page/line_pixels.js): which pixels a
// polyline lights, where it breaks, and that nothing lands outside the area.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { LinePixels } from '../page/line_pixels.js';

const width = 10;
const height = 8;

// The lit pixels as "x,y", after drawing `points` (pairs of x, y in pixels).
function lit(points) {
  const lines = new LinePixels();
  lines.reset(width, height);
  lines.draw(Float32Array.from(points), 0, points.length / 2, 0, 1, 0, 1, 7);
  const out = [];
  lines.pixels.forEach((value, i) => { if (value) out.push(`${i % width},${Math.floor(i / width)}`); });
  assert.ok(lines.pixels.every((value) => value === 0 || value === 7));
  return out;
}

test('a segment lights a pixel per row or column it crosses, without gaps', () => {
  // Upright in one column, from row 1 to row 5.
  assert.deepEqual(lit([3.5, 1.2, 3.7, 5.9]), ['3,1', '3,2', '3,3', '3,4', '3,5']);
  // Flat across columns 1 to 6.
  assert.deepEqual(lit([1.2, 2.5, 6.8, 2.5]), ['1,2', '2,2', '3,2', '4,2', '5,2', '6,2']);
  // Steep across two columns: one pixel in each row, none missing.
  const steep = lit([2.2, 0.5, 3.8, 6.5]).map((p) => Number(p.split(',')[1]));
  assert.deepEqual(steep, [0, 1, 2, 3, 4, 5, 6]);
});

test('a NaN value breaks the line; a value alone between breaks is a dot', () => {
  // Two dots, not the row between them.
  assert.deepEqual(lit([1.5, 1.5, 2.5, NaN, 8.5, 1.5]), ['1,1', '8,1']);
  assert.deepEqual(lit([1.5, 1.5, 2.5, NaN, 8.5, 1.5, 9, 1.5]), ['1,1', '8,1', '9,1']);
  assert.deepEqual(lit([NaN, NaN, 4.5, 6.5, 5, NaN]), ['4,6']);
  assert.deepEqual(lit([4.5, 6.5]), ['4,6']);
});

test('what lies outside the area is left out, never wrapped onto another row', () => {
  // Left of the area and below it: nothing, not the end of the row above.
  assert.deepEqual(lit([-5, 3.5, -0.5, 3.5]), []);
  assert.deepEqual(lit([2.5, 8.5, 2.5, 1e9]), []);
  // Far out each way: the pixels inside only, in the column crossed.
  const through = lit([5.5, -1e12, 5.5, 1e12]);
  assert.deepEqual(through, Array.from({ length: height }, (_, y) => `5,${y}`));
  const across = lit([-1e12, 4.5, 1e12, 4.5]);
  assert.deepEqual(across, Array.from({ length: width }, (_, x) => `${x},4`));
});

// Row y's pixel of a steep segment, straight from the rule: the column where
// the segment crosses the row's middle (coordinates as draw() moves them;
// within its margin, which it clamps them to).
function steepRows(ax, ay, bx, by) {
  const margin = 8;
  [ax, ay, bx, by] = [ax, ay, bx, by].map((v) => Math.fround(v) + margin);
  const slope = (bx - ax) / (by - ay);
  const out = [];
  const from = Math.max(Math.min(ay, by) | 0, margin);
  const to = Math.min(Math.max(ay, by) | 0, height - 1 + margin);
  for (let y = from; y <= to; ++y) {
    const x = ax + (y + 0.5 - ay) * slope;
    if (x >= margin && x < width + margin) out.push(`${(x | 0) - margin},${y - margin}`);
  }
  return out.sort();
}

test('a steep segment across columns lights the pixel each row crosses, whatever its slope', () => {
  // Random segments, some running out of the area, with slopes from nearly
  // upright to one column a row, either way.
  let seed = 12345;
  const random = () => ((seed = (seed * 1103515245 + 12345) % 2147483648) / 2147483648);
  for (let i = 0; i < 2000; ++i) {
    const ax = random() * (width + 4) - 2;
    const ay = random() * (height + 4) - 2;
    const by = random() * (height + 12) - 6;
    const dx = (by - ay) * (random() * 2 - 1) * (i % 3 === 0 ? 0.05 : 1);
    const bx = ax + dx;
    // Steep across columns, within the margin.
    if ((ax | 0) === (bx | 0) || Math.abs(dx) > Math.abs(by - ay) || bx < -7 || bx > width + 7) continue;
    const points = [ax, ay, bx, by];
    assert.deepEqual(lit(points).sort(), steepRows(...points), `segment ${points.join(' ')}`);
  }
});
