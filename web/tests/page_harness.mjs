// What the page's tests and the speed figures share: the page opened from
// file:// in a folder of its own in headless Chromium (Debian's), the files
// chosen, MAKE pressed and the downloads gathered, and the native command run
// on the same files for comparison.
import { execFileSync, spawnSync } from 'node:child_process';
import { copyFileSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { chromium } from 'playwright-core';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
export const pageFile = process.env.KESTRIX_PAGE || path.join(root, 'dist/kestrix.html');
export const nativeConvert = process.env.KESTRIX_CONVERT || path.join(root, 'build/kestrix-convert');
export const examples = process.env.KESTRIX_EXAMPLES || path.join(root, 'build/examples/kestrix-examples');

export function temporaryFolder(name) {
  return mkdtempSync(path.join(tmpdir(), `kestrix-${name}-`));
}

// The logger files that kestrix-examples writes with `flag` (none: the demo
// files), in a folder of their own; returns their paths in name order.
export function exampleFiles(flag) {
  const folder = temporaryFolder('data');
  execFileSync(examples, flag ? [flag, folder] : [folder], { stdio: 'ignore' });
  const names = execFileSync('ls', [folder], { encoding: 'utf8' }).split('\n').filter(Boolean);
  return names.map((name) => path.join(folder, name));
}

// Opens the page from a copy in a folder of its own, or from `address`;
// every request it makes is kept in `requests`.
export async function openPage({ locale = 'en-US', address } = {}) {
  const browser = await chromium.launch({
    executablePath: process.env.KESTRIX_CHROMIUM || '/usr/bin/chromium',
    // Chromium keeps its sandbox from root, which CI is.
    args: process.getuid && process.getuid() === 0 ? ['--no-sandbox'] : [],
  });
  const context = await browser.newContext({ acceptDownloads: true, locale });
  await context.grantPermissions(['clipboard-read', 'clipboard-write']);
  const page = await context.newPage();
  const requests = [];
  const errors = [];
  page.on('request', (request) => requests.push(request.url()));
  page.on('pageerror', (error) => errors.push(error.message));
  const folder = temporaryFolder('page');
  const copy = path.join(folder, 'kestrix.html');
  copyFileSync(pageFile, copy);
  const url = address || pathToFileURL(copy).href;
  await page.goto(url);
  return {
    browser, page, requests, errors, url,
    async close() {
      await browser.close();
      rmSync(folder, { recursive: true, force: true });
    },
  };
}

// Presses MAKE and waits for `names` to be downloaded and the run to end;
// returns each download's bytes by name.
export async function make(page, names) {
  const downloads = {};
  const arrived = new Promise((resolve) => {
    if (names.length === 0) resolve();
    page.on('download', async (download) => {
      const file = await download.path();
      downloads[download.suggestedFilename()] = readFileSync(file);
      if (names.every((name) => name in downloads)) resolve();
    });
  });
  const before = await page.evaluate(() => document.body.dataset.lastRun || '');
  await page.click('#Command1');
  await page.waitForFunction((last) => (document.body.dataset.lastRun || '') !== last, before,
    { timeout: 300_000 });
  await arrived;
  page.removeAllListeners('download');
  return downloads;
}

// Waits for the chart's next drawing after `action` (window.kestrixChart's
// redraws: one a zoom, move or resize drawn).
export async function drawnAfter(page, action) {
  const before = await page.evaluate(() => (window.kestrixChart ? window.kestrixChart.redraws.length : 0));
  await action();
  await page.waitForFunction((was) => window.kestrixChart && window.kestrixChart.redraws.length > was,
    before);
}

// The native command in `folder` (which holds the inputs) with `args`;
// returns its standard error and status, its outputs left in `folder`.
export function runNative(folder, args, locale = 'C') {
  const run = spawnSync(nativeConvert, args, {
    cwd: folder, env: { ...process.env, LC_ALL: locale }, encoding: 'utf8' });
  return { status: run.status, err: run.stderr };
}
