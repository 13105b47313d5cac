// Run before the command starts under Node: its WebAssembly is read from the
// file beside this one, as it is (not decoded from text inside it, nor
// fetched, which Node would try for a path).
Module['wasmBinary'] = require('fs').readFileSync(require('path').join(__dirname, 'kestrix-convert.wasm'));

// The random devices' bytes come from Node's crypto module, loaded the first
// time one is asked for: the runtime looks for a global `crypto` when it
// starts, and Node's global one loads its Web Crypto then, some 10 ms of a
// start-up for a command that hardly ever reads a random byte.
var crypto = {
  getRandomValues: function (array) {
    return require('crypto').randomFillSync(array);
  }
};
