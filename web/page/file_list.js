// The files to convert, as the window's list File1 holds them: in name order,
// the logger files selected, anything else listed but not selected.
const loggerName = /^uc.*\.pdb$/i;

export function looksLikeLoggerFile(name) {
  return loggerName.test(name);
}

// Adds `files` (File objects) to `entries` ({file, selected} by name): a file
// of a name already listed takes its place. Returns the entries in name order.
export function addFiles(entries, files) {
  const byName = new Map(entries.map((entry) => [entry.file.name, entry]));
  for (const file of files) byName.set(file.name, { file, selected: looksLikeLoggerFile(file.name) });
  return [...byName.values()].sort((a, b) => compareNames(a.file.name, b.file.name));
}

// Ascending order of names as the window lists them: byte by byte of their
// UTF-8, A to Z taken as a to z, a shorter name first, and then the bytes.
const utf8 = new TextEncoder();

export function compareNames(a, b) {
  const x = utf8.encode(a);
  const y = utf8.encode(b);
  const lower = (c) => (c >= 0x41 && c <= 0x5a ? c + 0x20 : c);
  for (let i = 0; i < Math.min(x.length, y.length); ++i)
    if (lower(x[i]) !== lower(y[i])) return lower(x[i]) - lower(y[i]);
  if (x.length !== y.length) return x.length - y.length;
  return a < b ? -1 : a > b ? 1 : 0;
}
