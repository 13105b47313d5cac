// The page on the largest job, 101 loggers with full memories: a table of some
// 70 MB, far past the room the worker's in-memory files start with, comes out
// as the native one, twice in a row (each run in a fresh instance).
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { exampleFiles, make, openPage, runNative } from './page_harness.mjs';

let files;
let session;
before(async () => {
  files = exampleFiles('--large');
  session = await openPage();
});
after(() => session && session.close());

test('the 101-logger table is the native one, run after run', async () => {
  const folder = path.dirname(files[0]);
  const native = runNative(folder, ['-q', '-o', 'native.txt', ...files.map((f) => path.basename(f))]);
  assert.equal(native.status, 0, native.err);
  const expected = readFileSync(path.join(folder, 'native.txt'));
  const { page } = session;
  await page.uncheck('#Check1');
  await page.setInputFiles('#Chooser', files);
  for (let run = 1; run <= 2; ++run) {
    const downloads = await make(page, ['uc1.txt']);
    assert.equal(downloads['uc1.txt'].length, expected.length, `run ${run}`);
    assert.ok(downloads['uc1.txt'].equals(expected), `run ${run}`);
  }
});
