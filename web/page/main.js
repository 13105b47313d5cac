// The page: the window's controls wired to the command in a worker. Files are
// chosen or dropped, listed in name order and converted with MAKE; every
// output is downloaded, and with Check1 the table goes onto the clipboard too.
// After the conversion, a second worker converts the same files for the chart,
// which CHART (Command3) shows once it is done.
import { ChartClient } from './chart_client.js';
import { ChartView } from './chart_view.js';
import { commandLine, readForm } from './command_line.js';
import { addFiles, looksLikeLoggerFile } from './file_list.js';

/* global KESTRIX_WORKER_SOURCE */
const $ = (id) => document.getElementById(id);
const workerSource = URL.createObjectURL(
  new Blob([KESTRIX_WORKER_SOURCE], { type: 'text/javascript' }));
const worker = new Worker(workerSource);
const chartClient = new ChartClient(new Worker(workerSource));
let chartRun = null;  // the chart's run of the last conversion: a promise of its panels
let chartView = null;

let entries = [];  // {file, selected}, in name order
let limitsFile = null;
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

function chooseLimits(file) {
  limitsFile = file;
  const input = $('limitsFile');
  if (input.files[0] !== file) {
    // A file dropped on the page: the chooser shows its name too.
    const transfer = new DataTransfer();
    transfer.items.add(file);
    input.files = transfer.files;
  }
  $('excursions').checked = true;
  $('options').open = true;
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

function runJob(job, transfer) {
  return new Promise((resolve) => {
    worker.onmessage = (event) => resolve(event.data);
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
  closeChart();
  $('Command3').disabled = true;
  chartRun = null;
  const started = performance.now();
  $('etat').value = '...';
  showMessages([]);
  const progress = setTimeout(() => { $('progress').hidden = false; }, 500);
  try {
    const form = readForm(document);
    const chosen = entries.filter((entry) => entry.selected).map((entry) => entry.file);
    const inputs = limitsFile ? [...chosen, limitsFile] : chosen;
    const files = await Promise.all(inputs.map(async (file) => ({
      name: file.name, data: await file.arrayBuffer() })));
    const line = commandLine(form, chosen.map((file) => file.name), limitsFile && limitsFile.name);
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
    const chartOpened = result.status === 0 ? openChartRun(chosen, result.inputs, line.args) : null;
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
      chartOpened.then((answer) => {
        if (chartRun !== chartOpened) return;
        const panels = answer.panels;
        $('Command3').disabled = !panels || Boolean(panels.error);
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

// The chart's worker converts `chosen` once more with `args`, over the bytes
// the conversion handed back (read again when it did not).
async function openChartRun(chosen, returned, args) {
  const files = await Promise.all(chosen.map(async (file, i) => ({
    name: file.name,
    data: returned && returned[i] && returned[i].byteLength === file.size
      ? returned[i] : await file.arrayBuffer(),
  })));
  return chartClient.open(files, args);
}

function closeChart() {
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
  await Promise.all([chartView.showWhole(), showSummary()]);
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
  $('chartSummary').replaceChildren(head, body);
}

$('Command3').addEventListener('click', openChart);
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
  else limitsFile = null;
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
