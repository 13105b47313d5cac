// node page_speed.mjs RUNS FILE...: the page's figures for scripts/bench. In
// headless Chromium, the files chosen once, then RUNS times MAKE (the
// clipboard left out) to the download complete; prints one line per run,
// "ms memory_bytes", memory being the WebAssembly instance's at the end
// (it only grows, so its peak).
import { openPage, make } from './page_harness.mjs';

const [runs, ...files] = process.argv.slice(2);
const session = await openPage();
try {
  const { page } = session;
  await page.uncheck('#Check1');
  await page.setInputFiles('#Chooser', files);
  for (let i = 0; i < Number(runs); ++i) {
    const started = Date.now();
    await make(page, ['uc1.txt']);
    const ms = Date.now() - started;
    const run = JSON.parse(await page.evaluate(() => document.body.dataset.lastRun));
    if (run.status !== 0) throw new Error(`the run ended with status ${run.status}`);
    console.log(`${ms} ${run.memoryBytes} ${Math.round(run.ms)} ${JSON.stringify(run.phases)}`);
  }
} finally {
  await session.close();
}
