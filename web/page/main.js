// The page: the window's controls wired to the command in a worker. Files are
// chosen or dropped, listed in name order and converted with MAKE; every
// output is downloaded, and with Check1 the table goes onto the clipboard too.
// After the conversion, a second worker converts the same files for the chart,
// which CHART (Command3) shows once it is done.
import { ChartClient } from './chart_client.js';
import { ChartView } from './chart_view.js';
import { commandLine, readForm } from './command_line.js';
import { addFiles, looksLikeLoggerFile } from './file_list.js';
import { ExcursionList } from './excursion_list.js';
import { LimitOverlay, hiddenChannels } from './limit_overlay.js';
import { LimitsEditor } from './limits_editor.js';
import { limitsAsFile, storedLimits, storeLimits } from './limits_set.js';
import { closeTables, openTables, showTab } from './chart_tables.js';

/* global KESTRIX_WORKER_SOURCE */
const $ = (id) => document.getElementById(id);
const workerSource = URL.createObjectURL(
  new Blob([KESTRIX_WORKER_SOURCE], { type: 'text/javascript' }));
let worker = new Worker(workerSource);
const chartClient = new ChartClient(new Worker(workerSource));
let chartRun = null;  // the chart's run of the last conversion: a promise of its panels
let chartView = null;
let chartInputs = null;  // the logger files of the chart's run, for its report

let entries = [];  // {file, selected}, in name order
let limits = storedLimits();  // {name, text} of the page's limits, or null
let running = false;

function showFiles() {
  const list = $('File1');
  list.replaceChildren(...entries.map((entry, i) => {
    const option = new Option(entry.file.name, String(i), false, entry.selected);
    if (!looksLikeLoggerFile(entry.file.name)) {
      option.title = 'Not a name such as UC***.PDB';
      option.className = 'other';
    }
    return option;
  }));
  const selected = entries.filter((entry) => entry.selected).length;
  $('fileCount').textContent = entries.length
    ? `${entries.length} file${entries.length === 1 ? '' : 's'}, ${selected} selected ` +
      '(Ctrl+click selects or unselects one, Shift+click a range)'
    : '';
}

function takeFiles(files) {
  const loggers = [];
  for (const file of files) {
    if (/\.toml$/i.test(file.name)) chooseLimits(file);
    else loggers.push(file);
  }
  if (loggers.length) {
    entries = addFiles(entries, loggers);
    showFiles();
  }
}

// A limits file chosen or dropped becomes the page's limits, for the
// conversion and the chart alike.
// A conversion started meanwhile waits for them (limitsRead).
let limitsRead = Promise.resolve();
function chooseLimits(file) {
  $('excursions').checked = true;
  $('options').open = true;
  showLimitsFile(file);
  limitsRead = file.text().then((text) => setLimits({ name: file.name, text }, file));
  return limitsRead;
}

// The chooser shows the name of the page's limits (`file`, or one made of them).
function showLimitsFile(file) {
  const input = $('limitsFile');
  $('limitsForget').hidden = !limits && !file;
  if (!limits && !file) {
    input.value = '';
    return;
  }
  if (file && input.files[0] === file) return;
  const transfer = new DataTransfer();
  transfer.items.add(file || limitsAsFile(limits));
  input.files = transfer.files;
}

// The command's standard error, as the page shows it: without the program's
// name in front, and without the pointer to --help that has no place here.
function shownMessages(lines) {
  return lines
    .filter((line) => line && !line.startsWith('Done...') && !line.startsWith('Try '))
    .map((line) => line.replace(/^kestrix-convert: /, ''));
}

function showMessages(lines) {
  $('messages').replaceChildren(...lines.map((line) => {
    const item = document.createElement('li');
    item.textContent = line;
    return item;
  }));
}

function download(blob, name) {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(blob);
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 60_000);
}

async function copyToClipboard(blob, encoding) {
  const text = new TextDecoder(encoding).decode(await blob.arrayBuffer());
  await navigator.clipboard.writeText(text);
}

// A run's instance, its input files and its table in memory (some 130 MiB
// for the 101-logger job) are garbage once it has answered, but an idle
// worker may keep them for as long as it stays idle: the worker that ran is
// let go, which frees them at once, and a fresh one readies itself for the
// next run (its outputs are Blobs, which outlive it).
function runJob(job, transfer) {
  return new Promise((resolve) => {
    worker.onmessage = (event) => {
      worker.terminate();
      worker = new Worker(workerSource);
      resolve(event.data);
    };
    worker.postMessage(job, transfer);
  });
}

// The window's limits on one run: 101 files, or 10,000 downloads to join.
const maxFiles = 101;
const maxJoinedFiles = 10000;

// What stops a run before it starts, as the window says it, or null.
function refusal(count, join) {
  if (count === 0) return { status: 'No file selected' };
  const most = join ? maxJoinedFiles : maxFiles;
  if (count <= most) return null;
  let message = `${count} files selected; at most ${most} can be converted at once`;
  if (!join && count <= maxJoinedFiles)
    message += ` (${maxJoinedFiles} when joining the downloads of each logger)`;
  return { status: message, message };
}

async function make() {
  if (running) return;
  const chosenCount = entries.filter((entry) => entry.selected).length;
  const refused = refusal(chosenCount, $('Check3').checked);
  if (refused) {
    $('etat').value = refused.status;
    showMessages(refused.message ? [refused.message] : []);
    return;
  }
  running = true;
  $('Command1').disabled = true;
  await limitsRead.catch(() => {});
  closeChart();
  $('Command3').disabled = true;
  $('limitsEdit').disabled = true;
  chartRun = null;
  const started = performance.now();
  $('etat').value = '...';
  showMessages([]);
  const progress = setTimeout(() => { $('progress').hidden = false; }, 500);
  try {
    const form = readForm(document);
    const chosen = entries.filter((entry) => entry.selected).map((entry) => entry.file);
    const limitsFile = limits && limitsAsFile(limits);
    const inputs = limitsFile ? [...chosen, limitsFile] : chosen;
    const files = await Promise.all(inputs.map(async (file) => ({
      name: file.name, data: await file.arrayBuffer() })));
    const line = commandLine(form, chosen.map((file) => file.name), limitsFile && limitsFile.name);
    const runInputs = { files: chosen };
    const result = await runJob(
      { files, args: line.args, outputs: line.outputs },
      files.map((file) => file.data));
    const messages = shownMessages(result.messages);
    // "Done..." as the run tells it, or what stopped it.
    const status = result.messages.filter((text) => text.startsWith('Done...')).pop();
    if (status) $('etat').value = status;
    else if (result.status !== 0 && messages.length) $('etat').value = messages[0];
    for (const name of line.outputs) if (result.outputs[name]) download(result.outputs[name], name);
    // The chart's run once the table is on its way, not beside the conversion,
    // which it would slow: over the bytes the worker hands back.
    const chartStarted = performance.now();
    const chartOpened = result.status === 0 ? openChartRun(inputs, result.inputs, line.args) : null;
    const table = result.outputs[line.table];
    if (table && $('Check1').checked) {
      const encoding = form.csv || form.encoding === 'utf-8' ? 'utf-8' : 'windows-1252';
      await copyToClipboard(table, encoding).catch((error) => {
        messages.push(`The table could not be put on the clipboard: ${error.message}`);
      });
    }
    showMessages(messages);
    const converted = performance.now();
    if (result.status === 0 && table) {
      chartRun = chartOpened;
      chartInputs = runInputs;
      chartOpened.then((answer) => {
        if (chartRun !== chartOpened) return;
        const panels = answer.panels;
        $('Command3').disabled = !panels || Boolean(panels.error);
        $('limitsEdit').disabled = $('Command3').disabled;
        document.body.dataset.chartRun = JSON.stringify({
          ms: answer.ms, sinceStart: performance.now() - chartStarted,
          afterConversion: performance.now() - converted, memoryBytes: answer.memoryBytes,
          error: panels && panels.error });
      });
    }
    document.body.dataset.lastRun = JSON.stringify({
      status: result.status, ms: converted - started, memoryBytes: result.memoryBytes,
      phases: result.phases });
  } finally {
    clearTimeout(progress);
    $('progress').hidden = true;
    $('Command1').disabled = false;
    running = false;
  }
}

// The chart's worker converts `chosen` (the limits file too) once more with
// `args`, over the bytes the conversion handed back (read again when it did
// not).
async function openChartRun(chosen, returned, args) {
  const files = await Promise.all(chosen.map(async (file, i) => ({
    name: file.name,
    data: returned && returned[i] && returned[i].byteLength === file.size
      ? returned[i] : await file.arrayBuffer(),
  })));
  return chartClient.open(files, args);
}

function closeChart() {
  closeTables();
  if (chartView) chartView.destroy();
  chartView = null;
  $('chart').hidden = true;
}

// CHART: the panels of the last conversion over the whole run.
async function openChart() {
  if (!chartRun || running) return;
  const { panels } = await chartRun;
  if (!panels || panels.error) return;
  closeChart();
  $('chart').hidden = false;
  $('chartPeriod').textContent = `Period: ${panels.period}`;
  chartView = new ChartView($('chart'), chartClient, panels);
  window.kestrixChart = chartView;  // for the page's tests and speed figures
  excursionList = new ExcursionList($('chartExcursions'), chartClient, zoomToExcursion);
  // The Periods view and the report take the page's limits as they are when
  // asked, those the chart shows.
  openTables(chartClient, panels, chartView, {
    files: chartInputs.files,
    get limits() {
      return limits && { name: limits.name, bytes: new TextEncoder().encode(limits.text) };
    },
  });
  await Promise.all([chartView.showWhole(), applyLimits()]);
  $('chart').focus();
  $('chart').scrollIntoView();
}

// The summary under the chart: the lines of --summary, its first line the headers.
async function showSummary() {
  const lines = (await chartClient.summary()).split('\r\n').filter(Boolean);
  const row = (line, tag) => {
    const tr = document.createElement('tr');
    tr.append(...line.split('\t').map((text) => {
      const cell = document.createElement(tag);
      cell.textContent = text;
      return cell;
    }));
    return tr;
  };
  const head = document.createElement('thead');
  const body = document.createElement('tbody');
  if (lines.length) head.append(row(lines[0], 'th'));
  body.append(...lines.slice(1).map((line) => row(line, 'td')));
  // With limits, a channel that fails them says so in red.
  const result = lines.length ? lines[0].split('\t').indexOf('Result') : -1;
  for (const tr of body.rows)
    if (result >= 0 && tr.cells[result] && tr.cells[result].textContent === 'fail') tr.cells[result].className = 'fail';
  $('chartSummary').replaceChildren(head, body);
}

// A click on a summary line shows that channel from its first value to its last.
let summaryViews = null;  // the chart's: per line, [fromKey, toKey]
$('chartSummary').addEventListener('click', async (event) => {
  const tr = event.target.closest('tbody tr');
  if (!tr || !chartView) return;
  const view = chartView;
  if (!summaryViews || summaryViews.chart !== view) {
    summaryViews = { chart: view, keys: chartClient.limits('summary_views').then((answer) => answer.numbers) };
  }
  const keys = await summaryViews.keys;
  const line = tr.sectionRowIndex;
  const [from, to] = [keys[2 * line], keys[2 * line + 1]];
  if (view === chartView && Number.isFinite(from)) await view.show(from, to);
});

// The page's limits applied to the chart's run: its summary, its limit
// lines and shading and the excursion list follow them.
let applying = 0;
let excursionList = null;
// The list makes the lines in sight: none while its tab is hidden.
$('tabExcursions').addEventListener('click', () => excursionList && excursionList.showLines());
async function applyLimits() {
  const asked = ++applying;
  const view = chartView;
  const { answer } = await chartClient.limits('apply',
    { name: limits ? limits.name : '', text: limits ? limits.text : '' });
  if (asked !== applying) return;
  if (answer.error) {
    const told = [...$('messages').children].map((item) => item.textContent);
    showMessages([...told, `The limits were not applied: ${answer.error}`]);
  }
  if (!view || view !== chartView) return;
  const set = !answer.error && answer.rules > 0;
  const marks = set ? (await chartClient.limits('marks', { hidden: hiddenChannels(view) })).bytes : null;
  if (asked !== applying || view !== chartView) return;
  excursionList.set(set ? answer : null);
  $('tabExcursions').hidden = !set;
  if (!set && $('tabExcursions').getAttribute('aria-selected') === 'true') showTab('tabSummary');
  await Promise.all([view.setOverlay(set ? new LimitOverlay(view.info, answer, marks) : null), showSummary()]);
}

// An excursion of the list: its channel shown (and its summary line
// marked), the chart over the excursion and half its length either side.
function zoomToExcursion(from, to, channel) {
  if (!chartView) return null;
  for (const { plot, channels } of chartView.plots) {
    const s = channels.findIndex((c) => c.c === channel) + 1;
    if (s > 0 && !plot.series[s].show) plot.setSeries(s, { show: true });
  }
  const lines = $('chartSummary').tBodies[0];
  if (lines) [...lines.rows].forEach((tr, i) => tr.classList.toggle('selected', i === channel));
  return chartView.show(from, to);
}

// A channel hidden or shown in the legend: its excursions' shading too.
$('chart').addEventListener('seriesshown', async () => {
  const view = chartView;
  if (!view || !view.overlay) return;
  const { overlay } = view;
  const { bytes } = await chartClient.limits('marks', { hidden: hiddenChannels(view) });
  if (view !== chartView || view.overlay !== overlay) return;
  overlay.setMarks(bytes);
  for (const { plot } of view.plots) plot.redraw(false);
});

// The page's limits become `next` ({name, text} or null), kept in the
// browser, and apply at once.
async function setLimits(next, file) {
  limits = next;
  storeLimits(limits);
  showLimitsFile(file);
  await applyLimits();
}

const limitsEditor = new LimitsEditor(chartClient, { apply: (next) => setLimits(next), download });
$('limitsEdit').addEventListener('click', () => chartRun && !running && limitsEditor.open(limits));
$('limitsForget').addEventListener('click', () => setLimits(null));
showLimitsFile();  // the limits kept from an earlier visit

$('Command3').addEventListener('click', openChart);
// The Period line: the rows drawn, as the window writes them.
$('chart').addEventListener('chartdrawn', (event) => {
  $('chartPeriod').textContent = `Period: ${event.detail.period}`;
});
$('chartClose').addEventListener('click', closeChart);
$('chartZoomIn').addEventListener('click', () => chartView && chartView.zoom(0.5));
$('chartZoomOut').addEventListener('click', () => chartView && chartView.zoom(2));
$('chartWhole').addEventListener('click', () => chartView && chartView.showWhole());
// The chart's keys wherever the focus is, but in a field or a list.
document.addEventListener('keydown', (event) => {
  if (!chartView || event.ctrlKey || event.metaKey || event.altKey) return;
  if (event.target.closest && event.target.closest('input, select, textarea')) return;
  chartView.key(event);
});

$('Chooser').addEventListener('change', (event) => {
  takeFiles(event.target.files);
  event.target.value = '';
});
$('limitsFile').addEventListener('change', (event) => {
  if (event.target.files[0]) chooseLimits(event.target.files[0]);
  else showLimitsFile();  // the choice given up: the limits stay
});
$('File1').addEventListener('change', () => {
  for (const option of $('File1').options) entries[Number(option.value)].selected = option.selected;
  showFiles();
});
$('File1').addEventListener('dblclick', make);
$('Command1').addEventListener('click', make);
document.addEventListener('dragover', (event) => {
  event.preventDefault();
  document.body.classList.add('dragging');
});
document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
document.addEventListener('drop', (event) => {
  event.preventDefault();
  document.body.classList.remove('dragging');
  takeFiles(event.dataTransfer.files);
});
