// node build_page.mjs BUILD_DIR OUTPUT: bundles the page with esbuild into
// one file, OUTPUT (dist/kestrix.html): the worker (its code, the command's
// Emscripten glue and its WebAssembly from BUILD_DIR) as a text that the
// page starts from a Blob URL, the page's script and styles inline.
import { readFile, writeFile, mkdir } from 'node:fs/promises';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import * as esbuild from 'esbuild';

const here = path.dirname(fileURLToPath(import.meta.url));
const [buildDir, output] = process.argv.slice(2).map((p) => path.resolve(p));
if (!buildDir || !output) {
  console.error('usage: node build_page.mjs BUILD_DIR OUTPUT');
  process.exit(2);
}

// The two files of the WebAssembly build under names the worker imports.
const webBuild = {
  name: 'kestrix-web-build',
  setup(build) {
    const files = {
      'kestrix-worker-glue': path.join(buildDir, 'kestrix-worker.js'),
      'kestrix-worker-wasm': path.join(buildDir, 'kestrix-worker.wasm'),
    };
    build.onResolve({ filter: /^kestrix-worker-(glue|wasm)$/ }, (args) => ({ path: files[args.path] }));
  },
};

const common = { bundle: true, write: false, minify: true, target: 'es2020', logLevel: 'warning' };
const worker = await esbuild.build({
  ...common,
  entryPoints: [path.join(here, 'page/worker.js')],
  format: 'iife',
  loader: { '.wasm': 'binary' },
  // Reached only under Node (platform/memory/file_system.cpp), never in the page.
  external: ['fs'],
  plugins: [webBuild],
});
const page = await esbuild.build({
  ...common,
  entryPoints: [path.join(here, 'page/main.js')],
  format: 'iife',
  define: { KESTRIX_WORKER_SOURCE: JSON.stringify(worker.outputFiles[0].text) },
});
const styles = await esbuild.build({ ...common, entryPoints: [path.join(here, 'page/style.css')] });

// Inline code must not end its element early.
const script = page.outputFiles[0].text.replace(/<\/(script)/gi, '<\\/$1');
const template = await readFile(path.join(here, 'page/kestrix.html'), 'utf8');
const html = template
  .replace('<!-- style -->', () => `<style>${styles.outputFiles[0].text}</style>`)
  .replace('<!-- script -->', () => `<script>${script}</script>`);
await mkdir(path.dirname(output), { recursive: true });
await writeFile(output, html);
console.log(`${path.relative(process.cwd(), output)}: ${(html.length / 1e6).toFixed(2)} MB`);
