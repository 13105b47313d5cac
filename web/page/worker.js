// The page's worker: one conversion per message, each in a fresh instance of
// the command (kestrix-worker.wasm, compiled once), over the chosen files
// written into its in-memory file tree. It answers with the exit status, the
// lines the command wrote on standard error, each output as a Blob of
// 1 MiB pieces, and the instance's memory at the end (which only grows).
import createKestrix from 'kestrix-worker-glue';
import wasmBytes from 'kestrix-worker-wasm';

const compiled = WebAssembly.compile(wasmBytes);
const pieceBytes = 1 << 20;

async function convert(job) {
  const module = await compiled;
  const messages = [];
  const kestrix = await createKestrix({
    noInitialRun: true,
    instantiateWasm(imports, receive) {
      WebAssembly.instantiate(module, imports).then((instance) => receive(instance));
      return {};
    },
    print: () => {},
    printErr: (line) => {
      messages.push(line);
      postMessage({ kind: 'message', line });
    },
  });
  const { FS } = kestrix;
  FS.mkdir('/in');
  FS.mkdir('/out');
  for (const file of job.files) FS.writeFile(`/in/${file.name}`, new Uint8Array(file.data));
  FS.chdir('/in');
  const status = kestrix.callMain(job.args);
  const outputs = {};
  for (const name of job.outputs) {
    const path = `/out/${name}`;
    if (!FS.analyzePath(path).exists) continue;
    const node = FS.lookupPath(path).node;
    const size = node.usedBytes;
    const pieces = [];
    for (let at = 0; at < size; at += pieceBytes)
      pieces.push(node.contents.slice(at, Math.min(size, at + pieceBytes)));
    outputs[name] = new Blob(pieces);
    FS.unlink(path);
  }
  return { kind: 'done', status, messages, outputs, memoryBytes: kestrix.HEAP8.buffer.byteLength };
}

onmessage = (event) => {
  convert(event.data).then(postMessage, (error) =>
    postMessage({ kind: 'done', status: -1, messages: [String(error)], outputs: {} }));
};
