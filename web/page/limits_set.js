// The page's limits: one limits file, its name and its TOML text, kept in the
// page's own storage so that it outlives the page. The editor, the limits
// file chosen or dropped, the conversion's --limits and the chart all use
// this one set.
const key = 'kestrix.limits';

export const defaultLimitsName = 'limits.toml';

// {name, text}, or null when no limits are kept (or the storage is closed to
// the page).
export function storedLimits() {
  try {
    const kept = JSON.parse(localStorage.getItem(key) || 'null');
    return kept && typeof kept.name === 'string' && typeof kept.text === 'string' ? kept : null;
  } catch {
    return null;
  }
}

// Keeps `limits` ({name, text}), or forgets them for null; false when the
// storage refused them (the page then holds them until it is closed).
export function storeLimits(limits) {
  try {
    if (limits) localStorage.setItem(key, JSON.stringify({ name: limits.name, text: limits.text }));
    else localStorage.removeItem(key);
    return true;
  } catch {
    return false;
  }
}

// The file the command reads as --limits.
export function limitsAsFile(limits) {
  return new File([limits.text], limits.name, { type: 'application/toml' });
}
