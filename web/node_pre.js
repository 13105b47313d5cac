// Run before the command starts under Node: its WebAssembly is read from the
// file beside this one, as it is (not decoded from text inside it, nor
// fetched, which Node would try for a path).
Module['wasmBinary'] = require('fs').readFileSync(require('path').join(__dirname, 'kestrix-convert.wasm'));
