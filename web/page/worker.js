// The page's worker: one conversion per message, each in a fresh instance of
// the command (kestrix-worker.wasm, compiled once), over the chosen files
// written into its in-memory file tree. It answers with the exit status, the
// lines the command wrote on standard error, each output as a Blob of
// 1 MiB pieces, the instance's memory at the end (which only grows) and the
// milliseconds of its phases.
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

async function convert(job) {
  const started = performance.now();
  const module = await compiled;
  const messages = [];
  const kestrix = await createKestrix({
    noInitialRun: true,
    instantiateWasm(imports, receive) {
      WebAssembly.instantiate(module, imports).then((instance) => receive(instance));
      return {};
    },
    print: () => {},
    printErr: (line) => messages.push(line),
  });
  const { FS } = kestrix;
  growFilesByDoubling(FS.filesystems.MEMFS, likelyTableBytes(job.files));
  FS.mkdir('/in');
  FS.mkdir('/out');
  // The bytes handed over become the in-memory files' own, not copied.
  for (const file of job.files)
    FS.writeFile(`/in/${file.name}`, new Uint8Array(file.data), { canOwn: true });
  FS.chdir('/in');
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

onmessage = (event) => {
  convert(event.data).then(postMessage, (error) =>
    postMessage({ status: -1, messages: [String(error)], outputs: {} }));
};
