// The page's worker: one conversion per message, each in a fresh instance of
// the command (kestrix-worker.wasm, compiled once), over the chosen files
// written into its in-memory file tree. It answers with the exit status, the
// lines the command wrote on standard error, each output as a Blob of
// 1 MiB pieces, the input files' bytes handed back, the instance's memory at
// the end (which only grows) and the milliseconds of its phases.
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
  // The input files' bytes go back, unchanged, for the chart's run.
  const inputs = job.files.map((file) => file.data);
  return { status, messages, outputs, inputs, memoryBytes: kestrix.HEAP8.buffer.byteLength, phases };
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

// [x..., then as many values per channel], NaN where a line breaks.
function chartPoints(job) {
  if (!chart) return { points: new Float64Array(0) };
  const at = chart._kestrix_chart_points(job.from, job.to, job.columns) / 8;
  const answer = chart.HEAPF64.slice(at, at + chart._kestrix_chart_count());
  return { points: answer.subarray(1), count: answer[0] };
}

const chartJobs = {
  'chart-open': openChart,
  'chart-points': chartPoints,
  'chart-row': (job) => ({ cells: chart ? text(chart, chart._kestrix_chart_row(job.row)) : '' }),
  'chart-summary': () => ({ summary: chart ? text(chart, chart._kestrix_chart_summary()) : '' }),
};

onmessage = (event) => {
  const job = event.data;
  if (job.kind) {
    Promise.resolve(job).then(chartJobs[job.kind]).then(
      (answer) => postMessage({ id: job.id, ...answer },
        answer.points ? [answer.points.buffer] : []),
      (error) => postMessage({ id: job.id, error: String(error) }));
    return;
  }
  convert(event.data).then((answer) => postMessage(answer, answer.inputs), (error) =>
    postMessage({ status: -1, messages: [String(error)], outputs: {} }));
};
