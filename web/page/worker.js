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
// about twice.
function growFilesByDoubling(memfs) {
  memfs.expandFileStorage = (node, wanted) => {
    const capacity = node.contents ? node.contents.length : 0;
    if (capacity >= wanted) return;
    const contents = new Uint8Array(Math.max(wanted, 2 * capacity, 256));
    if (node.usedBytes > 0) contents.set(node.contents.subarray(0, node.usedBytes), 0);
    node.contents = contents;
  };
}

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
  growFilesByDoubling(FS.filesystems.MEMFS);
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
