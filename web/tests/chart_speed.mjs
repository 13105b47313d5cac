// node chart_speed.mjs MOVES FILE...: the chart's figures in headless
// Chromium, with a limit on every channel (a limits file of a rule per unit,
// chosen as a user would, so that the chart's run reads it too). After MAKE:
// how long the chart's run took to be ready after the conversion ended, CHART
// to the panels drawn and the summary shown (their sum: the chart ready after
// the conversion), then
// MOVES zooms and moves (+, −, arrows), each from the key to every panel
// redrawn with the worker's points, and those redraws' parts (the worker's
// points, the time the answer waited to reach the page, the drawing); the
// main thread's longest task meanwhile, and the page's memory: its renderer
// process's (the page, its workers and their WebAssembly: proportional set)
// and of it the page's script heap and both workers' WebAssembly. Prints one
// line of JSON. KESTRIX_LIMITS=FILE takes that limits file instead.
import { readFileSync, readdirSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import { openPage, make, temporaryFolder } from './page_harness.mjs';

// A low and a high limit for every unit the loggers write.
const limits = [['\u00b0C', 18, 22], ['%RH', 45, 65], ['Watts', 200, 1500], ['Volts', 220, 240],
  ['Pulses', 0, 100], ['Seconds', 5, 55]]
  .map(([unit, low, high]) => `[[limit]]\nunit = "${unit}"\nlow = ${low}.0\nhigh = ${high}.0\n`).join('\n');

// KiB of proportional set of the page's renderer process (Linux): the largest
// of the renderers of the browser this script started, the others being its
// spares.
function rendererKib(ancestor) {
  const children = new Map();
  for (const name of readdirSync('/proc').filter((entry) => /^\d+$/.test(entry))) {
    try {
      const stat = readFileSync(`/proc/${name}/stat`, 'utf8');
      const parent = Number(stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1]);
      children.set(Number(name), parent);
    } catch { /* gone meanwhile */ }
  }
  const descends = (pid) => {
    for (let p = pid; p > 1; p = children.get(p) || 0) if (p === ancestor) return true;
    return false;
  };
  let kib = 0;
  for (const pid of children.keys()) {
    if (!descends(pid)) continue;
    try {
      if (!readFileSync(`/proc/${pid}/cmdline`, 'utf8').includes('--type=renderer')) continue;
      const pss = /^Pss:\s+(\d+)/m.exec(readFileSync(`/proc/${pid}/smaps_rollup`, 'utf8'));
      if (pss) kib = Math.max(kib, Number(pss[1]));
    } catch { /* gone meanwhile */ }
  }
  return kib;
}

const [moves, ...files] = process.argv.slice(2);
const limitsFile = path.join(temporaryFolder('limits'), 'limits.toml');
writeFileSync(limitsFile, limits);
const session = await openPage();
try {
  const { page } = session;
  await page.uncheck('#Check1');
  await page.setInputFiles('#Chooser', files);
  await page.setInputFiles('#limitsFile', process.env.KESTRIX_LIMITS || limitsFile);
  await make(page, ['uc1.txt']);
  await page.waitForFunction(() => !document.getElementById('Command3').disabled, null, { timeout: 120_000 });
  const run = JSON.parse(await page.evaluate(() => document.body.dataset.lastRun));
  const chartRun = JSON.parse(await page.evaluate(() => document.body.dataset.chartRun));
  const opened = Date.now();
  await page.click('#Command3');
  await page.waitForFunction(() => window.kestrixChart && window.kestrixChart.redraws.length > 0 &&
    document.querySelectorAll('#chartSummary tbody tr').length > 0);
  const chartShown = Date.now() - opened;
  // The main thread's tasks from here on.
  await page.evaluate(() => {
    window.longestTask = 0;
    new PerformanceObserver((list) => {
      for (const entry of list.getEntries()) window.longestTask = Math.max(window.longestTask, entry.duration);
    }).observe({ type: 'longtask' });
  });
  const keys = ['+', '+', 'ArrowRight', 'ArrowLeft', '+', '-', 'ArrowRight', '-', '+', 'ArrowLeft'];
  for (let i = 0; i < Number(moves); ++i) {
    const before = await page.evaluate(() => window.kestrixChart.redraws.length);
    await page.keyboard.press(keys[i % keys.length]);
    await page.waitForFunction((n) => window.kestrixChart.redraws.length > n, before);
  }
  const redraws = (await page.evaluate(() => window.kestrixChart.redraws)).slice(1).sort((a, b) => a - b);
  const cdp = await page.context().newCDPSession(page);
  await cdp.send('Performance.enable');
  const metrics = Object.fromEntries((await cdp.send('Performance.getMetrics')).metrics
    .map((m) => [m.name, m.value]));
  const round = (ms) => +ms.toFixed(1);
  const phases = await page.evaluate(() => window.kestrixChart.phaseMedians());
  console.log(JSON.stringify({
    channels: await page.evaluate(() => window.kestrixChart.info.channels.length),
    excursions: await page.evaluate(() => document.querySelector('#chartExcursions .heading').textContent),
    conversionMs: Math.round(run.ms),
    chartReadyAfterConversionMs: Math.round(chartRun.afterConversion),
    chartRunMs: Math.round(chartRun.ms),
    chartShownMs: chartShown,
    chartReadyMs: Math.round(chartRun.afterConversion) + chartShown,
    redrawMedianMs: round(redraws[Math.floor(redraws.length / 2)]),
    redrawWorstMs: round(redraws.at(-1)),
    redrawWorkerMs: round(phases.worker),
    redrawWaitedMs: round(phases.waited),
    redrawDrawMs: round(phases.draw),
    // Tasks of 50 ms or more only, which the browser reports; 0: none.
    longestTaskMs: round(await page.evaluate(() => window.longestTask)),
    rendererMiB: round(rendererKib(process.pid) / 1024),
    pageHeapMiB: round((metrics.JSHeapTotalSize || 0) / 2 ** 20),
    conversionWasmMiB: round(run.memoryBytes / 2 ** 20),
    chartWasmMiB: round(chartRun.memoryBytes / 2 ** 20),
  }));
} finally {
  await session.close();
}
