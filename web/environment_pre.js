// Run before the program starts, in both WebAssembly builds: the environment
// its getenv sees, with the host's regional settings added. The C library of
// this build knows no locale but C, so the decimal mark and the date and time
// separators come from the host's JavaScript (Intl) for the locale named by
// LC_ALL, LC_NUMERIC, LC_TIME or LANG under Node, for the browser's language
// in the page.

// The settings for a locale such as "de_DE.UTF-8" or "de-DE"; none for C,
// POSIX or a locale that Intl does not know (the program's defaults then).
function kestrixRegionalSettings(numericLocale, timeLocale) {
  function tag(name) {
    if (!name) return null;
    var base = String(name).split('.')[0].split('@')[0];
    if (base === 'C' || base === 'POSIX' || base === '') return null;
    try {
      return Intl.getCanonicalLocales(base.replace(/_/g, '-'))[0] || null;
    } catch (e) {
      return null;
    }
  }
  function firstLiteral(parts) {
    for (var i = 0; i < parts.length; ++i) if (parts[i].type === 'literal') return parts[i].value;
    return null;
  }
  var settings = {};
  var numeric = tag(numericLocale);
  if (numeric) {
    var mark = new Intl.NumberFormat(numeric).formatToParts(1.5).filter(function (p) {
      return p.type === 'decimal';
    })[0];
    if (mark) settings.KESTRIX_DECIMAL_MARK = mark.value;
  }
  var time = tag(timeLocale);
  if (time) {
    var day = new Date(2001, 10, 22, 13, 44, 55);
    var date = firstLiteral(
      new Intl.DateTimeFormat(time, { day: '2-digit', month: '2-digit', year: '2-digit' })
        .formatToParts(day));
    var clock = firstLiteral(
      new Intl.DateTimeFormat(time, {
        hour: '2-digit', minute: '2-digit', second: '2-digit', hourCycle: 'h23'
      }).formatToParts(day));
    if (date) settings.KESTRIX_DATE_SEPARATOR = date;
    if (clock) settings.KESTRIX_TIME_SEPARATOR = clock;
  }
  return settings;
}

Module['preRun'] = [].concat(Module['preRun'] || [], function () {
  var host = null;
  if (!host && typeof process === 'object' && process.env) {
    var env = process.env;
    host = Object.assign({}, env, kestrixRegionalSettings(
      env.LC_ALL || env.LC_NUMERIC || env.LANG, env.LC_ALL || env.LC_TIME || env.LANG));
    // Which standard streams reach a terminal.
    host.KESTRIX_TERMINAL_OUTPUT = process.stdout.isTTY ? '1' : '0';
    host.KESTRIX_TERMINAL_ERROR = process.stderr.isTTY ? '1' : '0';
  }
  if (!host && typeof navigator === 'object' && navigator.language) {
    // The page's worker: the browser's language.
    host = kestrixRegionalSettings(navigator.language, navigator.language);
  }
  for (var name in host || {}) ENV[name] = String(host[name]);
});
