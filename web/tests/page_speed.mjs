// node page_speed.mjs RUNS FILE...: the page's figures for scripts/bench. In
// headless Chromium, the files chosen once, then RUNS times MAKE (the
// clipboard left out) to the download complete; prints one line per run:
//   ms memory_bytes run_ms set_up_ms command_ms outputs_ms
// ms from MAKE to the download saved (not counting this script reading it
// back), memory the WebAssembly instance's at the end (it only grows, so its
// peak), run_ms from MAKE to the run's end in the page (the files read, the
// worker's run, the download started), then the worker's phases: a fresh
// instance with the files in memory, the command, the outputs into Blobs.
import { openPage, make } from './page_harness.mjs';

const [runs, ...files] = process.argv.slice(2);
const session = await openPage();
try {
  const { page } = session;
  await page.uncheck('#Check1');
  await page.setInputFiles('#Chooser', files);
  for (let i = 0; i < Number(runs); ++i) {
    let saved = 0;
    const onDownload = async (download) => {
      await download.path();
      saved = Date.now();
    };
    page.on('download', onDownload);
    const started = Date.now();
    await make(page, ['uc1.txt']);
    page.off('download', onDownload);
    const ms = (saved || Date.now()) - started;
    const run = JSON.parse(await page.evaluate(() => document.body.dataset.lastRun));
    if (run.status !== 0) throw new Error(`the run ended with status ${run.status}`);
    const { setUp, command, outputs } = run.phases;
    console.log([ms, run.memoryBytes, run.ms, setUp, command, outputs].map(Math.round).join(' '));
  }
} finally {
  await session.close();
}
