// The chart window's colours: hues a golden angle apart, every third channel
// darker, at saturation 0.9 (HSV), so that many channels stay apart.
export function channelColour(channel) {
  const hue = (0.05 + channel * 0.618033988749895) % 1;
  const value = channel % 3 === 1 ? 0.6 : 0.85;
  return hsvToRgb(hue, 0.9, value);
}

function hsvToRgb(h, s, v) {
  const sector = Math.floor(h * 6) % 6;
  const f = h * 6 - Math.floor(h * 6);
  const p = v * (1 - s);
  const q = v * (1 - f * s);
  const t = v * (1 - (1 - f) * s);
  const [r, g, b] = [[v, t, p], [q, v, p], [p, v, t], [p, q, v], [t, p, v], [v, p, q]][sector];
  const byte = (x) => Math.round(x * 255).toString(16).padStart(2, '0');
  return `#${byte(r)}${byte(g)}${byte(b)}`;
}
