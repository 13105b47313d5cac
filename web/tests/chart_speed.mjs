// node chart_speed.mjs MOVES FILE...: the chart's figures in headless
// Chromium. After MAKE: how long the chart's run took to be ready after the
// conversion ended, CHART to the panels drawn, then MOVES zooms and moves
// (+, −, arrows), each from the key to every panel redrawn with the worker's
// points; and the memory of the page's script and of both workers'
// WebAssembly. Prints one line of JSON. With KESTRIX_LIMITS=FILE, the page's
// limits are that file's: the chart draws their lines and shading too.
import { openPage, make } from './page_harness.mjs';

const [moves, ...files] = process.argv.slice(2);
const session = await openPage();
try {
  const { page } = session;
  await page.uncheck('#Check1');
  await page.setInputFiles('#Chooser', files);
  if (process.env.KESTRIX_LIMITS) await page.setInputFiles('#limitsFile', process.env.KESTRIX_LIMITS);
  await make(page, ['uc1.txt']);
  await page.waitForFunction(() => !document.getElementById('Command3').disabled, null, { timeout: 120_000 });
  const run = JSON.parse(await page.evaluate(() => document.body.dataset.lastRun));
  const chartRun = JSON.parse(await page.evaluate(() => document.body.dataset.chartRun));
  const opened = Date.now();
  await page.click('#Command3');
  await page.waitForFunction(() => window.kestrixChart && window.kestrixChart.redraws.length > 0);
  const chartShown = Date.now() - opened;
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
  console.log(JSON.stringify({
    channels: await page.evaluate(() => window.kestrixChart.info.channels.length),
    excursions: await page.evaluate(() => document.querySelector('#chartExcursions .heading').textContent),
    conversionMs: Math.round(run.ms),
    chartReadyAfterConversionMs: Math.round(chartRun.afterConversion),
    chartRunMs: Math.round(chartRun.ms),
    chartShownMs: chartShown,
    redrawMedianMs: +redraws[Math.floor(redraws.length / 2)].toFixed(1),
    redrawWorstMs: +redraws.at(-1).toFixed(1),
    pageHeapMiB: +((metrics.JSHeapTotalSize || 0) / 2 ** 20).toFixed(1),
    conversionWasmMiB: +(run.memoryBytes / 2 ** 20).toFixed(1),
    chartWasmMiB: +(chartRun.memoryBytes / 2 ** 20).toFixed(1),
  }));
} finally {
  await session.close();
}
