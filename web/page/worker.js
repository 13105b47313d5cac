// The page's worker: one conversion per message, each in a fresh instance of
// the command (kestrix-worker.wasm, compiled once), over the chosen files
// written into its in-memory file tree. It answers with the exit status, the
// lines the command wrote on standard error, each output as a Blob of
// 1 MiB pieces, the instance's memory at the end (which only grows) and the
// milliseconds of its phases.
//
// A message with a `kind` is the chart's (chart_session.cpp): "chart-open"
// converts the files once more in an instance of its own that stays, to be
// asked for points ("chart-points") and for a row's cells ("chart-row").
import createKestrix from 'kestrix-worker-glue';
import wasmBytes from 'kestrix-worker-wasm';

const compiled = WebAssembly.compile(wasmBytes);
const pieceBytes = 1 << 20;

// The in-memory files grow by an eighth once past 1 MiB, which copies a
// table of 70 MB some forty times over as it is written; doubling copies it
// about twice, each copy into fresh pages, a fifth of the command's time. A
// file that outgrows 1 MiB is given `largeBytes` at once instead (the table's
// likely size), and doubles from there: a table no larger is never copied.
// The room it does not fill is never written, so the system need not back it
// with memory (Linux does not).
const smallFileBytes = 1 << 20;
function growFilesByDoubling(memfs, largeBytes) {
  memfs.expandFileStorage = (node, wanted) => {
    const capacity = node.contents ? node.contents.length : 0;
    if (capacity >= wanted) return;
    const doubled = Math.max(wanted, 2 * capacity, 256);
    const size = doubled > smallFileBytes ? Math.max(doubled, largeBytes) : doubled;
    const contents = new Uint8Array(size);
    if (node.usedBytes > 0) contents.set(node.contents.subarray(0, node.usedBytes), 0);
    node.contents = contents;
  };
}

// The table of the 101-logger job is some three times the size of its inputs.
const likelyTableBytes = (files) => 4 * files.reduce((sum, file) => sum + file.data.byteLength, 0);

function newInstance(messages) {
  return compiled.then((module) => createKestrix({
    noInitialRun: true,
    instantiateWasm(imports, receive) {
      WebAssembly.instantiate(module, imports).then((instance) => receive(instance));
      return {};
    },
    print: () => {},
    printErr: (line) => messages.push(line),
  }));
}

// The chosen files in the instance's /in, its working folder.
function writeInputs(FS, files) {
  growFilesByDoubling(FS.filesystems.MEMFS, likelyTableBytes(files));
  FS.mkdir('/in');
  // The bytes handed over become the in-memory files' own, not copied.
  for (const file of files) FS.writeFile(`/in/${file.name}`, new Uint8Array(file.data), { canOwn: true });
  FS.chdir('/in');
}

async function convert(job) {
  const started = performance.now();
  const messages = [];
  const kestrix = await newInstance(messages);
  const { FS } = kestrix;
  writeInputs(FS, job.files);
  FS.mkdir('/out');
  const ready = performance.now();
  const status = kestrix.callMain(job.args);
  const converted = performance.now();
  const outputs = {};
  for (const name of job.outputs) {
    const path = `/out/${name}`;
    if (!FS.analyzePath(path).exists) continue;
    const node = FS.lookupPath(path).node;
    const size = node.usedBytes;
    const pieces = [];
    for (let at = 0; at < size; at += pieceBytes)
      pieces.push(node.contents.subarray(at, Math.min(size, at + pieceBytes)));
    outputs[name] = new Blob(pieces);
    FS.unlink(path);
  }
  const phases = { setUp: ready - started, command: converted - ready, outputs: performance.now() - converted };
  return { status, messages, outputs, memoryBytes: kestrix.HEAP8.buffer.byteLength, phases };
}

let chart = null;  // the instance holding the chart's run

function text(kestrix, pointer) {
  const bytes = kestrix.HEAPU8;
  return new TextDecoder().decode(bytes.subarray(pointer, bytes.indexOf(0, pointer)));
}

async function openChart(job) {
  const started = performance.now();
  chart = null;
  const kestrix = await newInstance([]);
  const { FS } = kestrix;
  writeInputs(FS, job.files);
  FS.mkdir('/chart');
  FS.writeFile('/chart/args', job.args.map((arg) => `${arg}\0`).join(''));
  const panels = JSON.parse(text(kestrix, kestrix._kestrix_chart_open()));
  if (!panels.error) chart = kestrix;
  return { panels, ms: performance.now() - started, memoryBytes: kestrix.HEAP8.buffer.byteLength };
}

// The points of [from, to] (chart_points.hpp): per channel a few numbers in
// `index` (its first pair, its pair count, its lowest and highest value, a
// value in view or not), then `pairs` of (seconds after `from`, value), NaN
// where a line breaks; with the Period line of the rows in view and the
// milliseconds it took.
function chartPoints(job) {
  const started = performance.now();
  if (!chart) return { index: new Float64Array(0), pairs: new Float32Array(0), period: '' };
  const indexCount = chart._kestrix_chart_points(job.from, job.to, job.columns);
  const indexAt = chart._kestrix_chart_index() / 8;
  const index = chart.HEAPF64.slice(indexAt, indexAt + indexCount);
  const pairsAt = chart._kestrix_chart_pairs() / 4;
  const pairs = chart.HEAPF32.slice(pairsAt, pairsAt + 2 * chart._kestrix_chart_pair_count());
  const period = text(chart, chart._kestrix_chart_period(job.from, job.to));
  return { from: job.from, to: job.to, index, pairs, period, ms: performance.now() - started };
}

// The limits' jobs (chart_session_limits.cpp, limits_editor_lines.cpp): the
// texts given written under /limits, then one of their functions called. The
// chart's instance answers them; before there is one, an instance of their
// own reads limits files.
let spare = null;
async function limitsInstance() {
  if (chart) return chart;
  if (!spare) spare = await newInstance([]);
  return spare;
}

async function limitsJob(job) {
  const kestrix = await limitsInstance();
  const { FS } = kestrix;
  if (!FS.analyzePath('/limits').exists) FS.mkdir('/limits');
  for (const [name, content] of Object.entries(job.files || {})) FS.writeFile(`/limits/${name}`, content);
  const call = (name, ...args) => kestrix[`_kestrix_limits_${name}`](...args);
  switch (job.call) {
    case 'marks': {
      const at = call('marks');
      return { bytes: kestrix.HEAPU8.slice(at, at + call('marks_count')) };
    }
    case 'summary_views': {
      const at = call('summary_views') / 8;
      return { numbers: kestrix.HEAPF64.slice(at, at + call('summary_count')) };
    }
    default:
      return { answer: JSON.parse(text(kestrix, call(job.call, ...(job.args || [])))) };
  }
}

// The limits a periods or report request hands over ({name, bytes or text}, or none),
// as the one file of /chart/limits that the chart's instance reads.
function writeLimits(limits) {
  const { FS } = chart;
  if (!FS.analyzePath('/chart/limits').exists) FS.mkdir('/chart/limits');
  for (const name of FS.readdir('/chart/limits'))
    if (name !== '.' && name !== '..') FS.unlink(`/chart/limits/${name}`);
  if (limits) FS.writeFile(`/chart/limits/${limits.name}`, limits.bytes || limits.text);
}

const noChart = JSON.stringify({ error: 'no chart' });
// The period table as --periods writes it, period: 0 day, 1 week, 2 month, 3 all.
function chartPeriods(job) {
  if (!chart) return { json: noChart };
  writeLimits(job.limits);
  const started = performance.now();
  const json = text(chart, chart._kestrix_chart_periods(job.period));
  return { json, ms: performance.now() - started };
}
// The report's parts over the 1-based rows [first, last], with the period
// table of job.periods ('day', 'week', 'month', 'all' or none).
function chartReport(job) {
  if (!chart) return { json: noChart };
  writeLimits(job.limits);
  const periods = ['day', 'week', 'month', 'all'].indexOf(job.periods);
  return {
    json: text(chart, chart._kestrix_chart_report(job.first, job.last, job.mostExcursions, periods)),
  };
}

const chartJobs = {
  limits: limitsJob,
  'chart-periods': chartPeriods,
  'chart-report': chartReport,
  'chart-open': openChart,
  'chart-points': chartPoints,
  'chart-row': (job) => ({ cells: chart ? text(chart, chart._kestrix_chart_row(job.row)) : '' }),
  'chart-summary': () => ({ summary: chart ? text(chart, chart._kestrix_chart_summary()) : '' }),
};

onmessage = (event) => {
  const job = event.data;
  if (job.kind) {
    Promise.resolve(job).then(chartJobs[job.kind]).then(
      // Arrays of numbers are handed over, not copied.
      (answer) => postMessage({ id: job.id, ...answer },
        Object.values(answer).filter(ArrayBuffer.isView).map((array) => array.buffer)),
      (error) => postMessage({ id: job.id, error: String(error) }));
    return;
  }
  convert(event.data).then(postMessage, (error) =>
    postMessage({ status: -1, messages: [String(error)], outputs: {} }));
};
