// The page's limits in headless Chromium: the editor of the chart window,
// its limits through a limits file and the browser's storage, and what they
// make of the run (the summary's limit columns, the excursion list, the
// excursions download, the chart's lines and shading), each against
// kestrix-convert --limits on the same files.
import assert from 'node:assert/strict';
import { copyFileSync, readFileSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { drawnAfter, exampleFiles, make, openPage, runNative, temporaryFolder } from './page_harness.mjs';

const screenshots = process.env.KESTRIX_SCREENSHOTS || temporaryFolder('screenshots');

// The native command's outputs with `limits` (a limits file's text) on `files`.
function nativeWithLimits(files, limits, args) {
  const folder = temporaryFolder('native');
  for (const file of files) copyFileSync(file, path.join(folder, path.basename(file)));
  writeFileSync(path.join(folder, 'limits.toml'), limits);
  const run = runNative(folder, ['--limits', 'limits.toml', ...args, ...files.map((file) => path.basename(file))]);
  assert.equal(run.status, 0, run.err);
  return (name) => readFileSync(path.join(folder, name));
}

const textLines = (bytes) => bytes.toString('utf8').split('\r\n').filter(Boolean);

// The editor's cells, per line: [name, low, high, delay, total].
const editorCells = (page) => page.$$eval('#limitsTable tbody tr', (rows) => rows.map((row) =>
  [row.cells[0].textContent, ...[...row.querySelectorAll('input')].map((input) => input.value)]));

async function typeCell(page, line, column, text) {
  const input = page.locator('#limitsTable tbody tr').nth(line).locator('input').nth(column);
  await input.fill(text);
}

// Waits for the editor's check of what was typed last.
const checked = (page) => page.evaluate(() => new Promise((resolve) => setTimeout(resolve, 150)));

describe('the limits', () => {
  let session;
  let files;
  before(async () => {
    session = await openPage();
    const { page } = session;
    await page.uncheck('#Check1');
    files = exampleFiles();
    await page.setInputFiles('#Chooser', files);
    await make(page, ['uc1.txt']);
    await page.waitForFunction(() => !document.getElementById('limitsEdit').disabled);
  });
  after(() => session && session.close());

  test('the editor refuses a bad cell with its reason, and keeps its lines in the window\'s order', async () => {
    const { page } = session;
    await page.click('#limitsEdit');
    await page.waitForSelector('#limitsEditor[open]');
    const lines = await editorCells(page);
    const units = lines.findIndex((line) => !line[0].startsWith('Every '));
    assert.ok(units > 0 && lines.slice(units).every((line) => / \u2014 /.test(line[0])), lines.join('|'));
    assert.equal(lines[0][0], 'Every \u00b0C channel');

    await typeCell(page, 0, 0, 'two');
    await checked(page);
    assert.equal(await page.textContent('#limitsProblem'), 'Every \u00b0C channel, Low: \u201ctwo\u201d is not a number');
    assert.equal(await page.getAttribute('#limitsTable tbody tr:first-child input', 'title'),
      'Low: \u201ctwo\u201d is not a number');
    assert.ok(await page.isDisabled('#limitsOk'));
    await page.locator('#limitsEditor').screenshot({ path: path.join(screenshots, 'limits-editor-refused.png') });
    await typeCell(page, 0, 0, '9');
    await typeCell(page, 0, 1, '8');
    await checked(page);
    assert.equal(await page.textContent('#limitsProblem'), 'Every \u00b0C channel, Low: low (9) is above high (8)');
    await typeCell(page, 0, 0, '2');
    await typeCell(page, 0, 2, 'soon');
    await checked(page);
    assert.match(await page.textContent('#limitsProblem'), /^Every °C channel, Delay: “soon” is not a duration/);
    await typeCell(page, 0, 2, '');
    await checked(page);
    assert.ok(await page.isHidden('#limitsProblem'));
    assert.ok(await page.isEnabled('#limitsOk'));

    // A limits file in error is told as the command tells it, the cells kept.
    const folder = temporaryFolder('bad');
    writeFileSync(path.join(folder, 'bad.toml'), '[[limit]]\nunit = "°C"\nhihg = 8.0\n');
    await page.setInputFiles('#limitsEditor input[type=file]', path.join(folder, 'bad.toml'));
    await page.waitForSelector('#limitsMessage:not([hidden])');
    copyFileSync(files[0], path.join(folder, path.basename(files[0])));
    const run = runNative(folder, ['--limits', 'bad.toml', '--excursions', 'e.txt', path.basename(files[0])]);
    assert.equal(await page.textContent('#limitsMessage'), run.err.trim().replace(/^kestrix-convert: /, ''));
    assert.equal(await page.inputValue('#limitsTable tbody tr:first-child input'), '2');
    await page.click('#limitsCancel');
  });

  test('the editor\'s limits go through a limits file and the browser\'s storage unchanged', async () => {
    const { page } = session;
    await page.click('#limitsEdit');
    await page.waitForSelector('#limitsEditor[open]');
    const channel = (await editorCells(page)).findIndex((line) => line[0] === 'Workshop supply \u2014 Wattmeter');
    await typeCell(page, 0, 0, '3,5');
    await typeCell(page, 0, 1, '21');
    await typeCell(page, 0, 2, '1800');
    await typeCell(page, 0, 3, '2h');
    await typeCell(page, channel, 1, '1200');
    await typeCell(page, channel, 2, '90s');
    await checked(page);
    const typed = await editorCells(page);
    const saved = page.waitForEvent('download');
    await page.click('#limitsSaveAs');
    const file = path.join(temporaryFolder('saved'), 'limits.toml');
    await (await saved).saveAs(file);
    assert.match(readFileSync(file, 'utf8'), /\[\[limit\]\]\nunit = "°C"\nlow = 3\.5\nhigh = 21\.0\ndelay = "30m"\ntotal = "2h"/);

    // Cleared, then the file opened again: the same cells, as the editor writes them.
    for (const line of [0, channel]) for (const column of [0, 1, 2, 3]) await typeCell(page, line, column, '');
    await checked(page);
    await page.setInputFiles('#limitsEditor input[type=file]', file);
    await page.waitForFunction(() => document.querySelector('#limitsTable input').value !== '');
    const expected = typed.map((line) => line.slice());
    expected[0] = [typed[0][0], '3.5', '21', '30m', '2h'];
    expected[channel] = [typed[channel][0], '', '1200', '1m30s', ''];
    assert.deepEqual(await editorCells(page), expected);
    await page.screenshot({ path: path.join(screenshots, 'limits-editor.png') });

    // OK keeps them in the browser: a page opened afterwards has them.
    await page.click('#limitsOk');
    await page.waitForSelector('#limitsEditor:not([open])', { state: 'attached' });
    const kept = await page.evaluate(() => JSON.parse(localStorage.getItem('kestrix.limits')));
    assert.equal(kept.text, readFileSync(file, 'utf8'));
    const later = await session.browser.contexts()[0].newPage();
    await later.goto(page.url());
    assert.equal(await later.$eval('#limitsFile', (input) => input.files[0] && input.files[0].name), 'limits.toml');
    await later.close();
  });

  test('the summary\'s limit columns, the excursion list and its download are kestrix-convert --limits\'s', async () => {
    const { page } = session;
    const limits = await page.evaluate(() => JSON.parse(localStorage.getItem('kestrix.limits')).text);
    const native = nativeWithLimits(files, limits,
      ['--encoding', 'utf-8', '--summary', 'summary.txt', '--excursions', 'excursions.txt']);
    const excursions = textLines(native('excursions.txt'));
    assert.ok(excursions.length > 3, 'the limits make excursions of the example files');
    // The download, as the command writes it by default.
    await page.click('#options summary');
    await page.check('#excursions');
    const downloads = await make(page, ['uc1.txt', 'excursions.txt']);
    const download = nativeWithLimits(files, limits, ['-o', 'uc1.txt', '--excursions', 'excursions.txt']);
    assert.ok(downloads['excursions.txt'].equals(download('excursions.txt')));

    await page.waitForFunction(() => !document.getElementById('Command3').disabled);
    await page.click('#Command3');
    // The list is the Excursions tab's, there once limits are applied.
    await page.click('#tabExcursions');
    await page.waitForFunction(() => document.querySelectorAll('#excursionList tbody tr').length > 0);
    const summary = await page.$$eval('#chartSummary tr', (rows) =>
      rows.map((row) => [...row.cells].map((cell) => cell.textContent)));
    assert.deepEqual(summary, textLines(native('summary.txt')).map((line) => line.split('\t')));
    assert.ok(summary[0].includes('Result'));
    const fails = await page.$$eval('#chartSummary td.fail', (cells) => cells.map((cell) => cell.textContent));
    assert.equal(fails.length, summary.filter((line) => line.at(-1) === 'fail').length);

    const heading = await page.textContent('#chartExcursions .heading');
    assert.match(heading, new RegExp(`^Excursions: ${excursions.length - 1}, `));
    const listed = await page.$$eval('#excursionList tr', (rows) =>
      rows.map((row) => [...row.cells].map((cell) => cell.textContent)));
    assert.deepEqual(listed, excursions.slice(0, listed.length).map((line) => line.split('\t')));
    // The last line too, far down the list.
    await page.$eval('#chartExcursions .lines', (box) => { box.scrollTop = box.scrollHeight; });
    await page.waitForFunction((n) => {
      const rows = document.querySelectorAll('#excursionList tbody tr');
      return rows.length && rows[rows.length - 1].dataset.line === String(n - 1);
    }, excursions.length - 1);
    const last = await page.$eval('#excursionList tbody tr:last-child', (row) => [...row.cells].map((c) => c.textContent));
    assert.deepEqual(last, excursions.at(-1).split('\t'));
  });

  test('the chart draws the limit lines and shades the excursions; Enter on a line zooms to it', async () => {
    const { page } = session;
    const shaded = () => page.$$eval('#chart .panel canvas', (canvases) => canvases.map((canvas) => {
      const pixels = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
      // The canvas is clear where nothing is drawn: the shading alone is
      // translucent there, in its own colour.
      let shading = 0;
      for (let i = 0; i < pixels.length; i += 4) {
        const [r, g, b, a] = [pixels[i], pixels[i + 1], pixels[i + 2], pixels[i + 3]];
        if (a > 30 && a < 80 && r > 200 && ((g < 60 && b < 60) || (g > 140 && g < 200 && b < 40))) ++shading;
      }
      return shading;
    }));
    await page.locator('#chart .panels').screenshot({ path: path.join(screenshots, 'limits-chart.png') });
    const panels = await shaded();
    assert.ok(panels[0] > 1000, `the °C panel is shaded: ${panels}`);
    // Enter on a line: the chart over that excursion, its channel shown
    // again when it was hidden.
    const legendOf = (name) => page.locator('#chart .panel').first().locator('.u-legend .u-series', { hasText: name });
    await legendOf('Office north \u2014 Ulmacorder Temp').click();
    await page.$eval('#chartExcursions .lines', (box) => { box.scrollTop = 0; });
    await page.waitForSelector('#excursionList tbody tr[data-line="0"]');
    await page.click('#excursionList tbody tr:first-child');
    await drawnAfter(page, () => page.keyboard.press('ArrowDown').then(() => page.keyboard.press('Enter')));
    const range = await page.evaluate(() => window.kestrixChart.view);
    assert.ok(await page.evaluate(() => window.kestrixChart.plots[0].plot.series[1].show));
    const whole = await page.evaluate(() => window.kestrixChart.whole);
    assert.ok(range.to - range.from < (whole.to - whole.from) / 4, JSON.stringify({ range, whole }));
    await page.screenshot({ path: path.join(screenshots, 'limits-zoomed.png'), fullPage: true });

    // A channel hidden in the legend shades nothing: the °C panel keeps the other's excursions.
    const both = (await shaded())[0];
    await legendOf('K\u00fchlraum \u2014 Ulmacorder Temp').click();
    let one = both;
    for (let tries = 0; tries < 50 && one === both; ++tries) {
      await page.waitForTimeout(100);  // the worker's marks without that channel, drawn
      one = (await shaded())[0];
    }
    assert.ok(one > 0 && one < both, `${one} of ${both}`);

    // A click on a summary line: that channel's first to last value.
    await page.click('#tabSummary');
    await drawnAfter(page, () => page.click('#chartSummary tbody tr:first-child'));
    const shown = await page.evaluate(() => window.kestrixChart.view);
    assert.ok(shown.to - shown.from > range.to - range.from);

    // No limits: the browser forgets them, and the chart's summary and list follow.
    await page.click('#limitsForget');
    await page.waitForFunction(() => !document.querySelector('#chartSummary th:last-child')
      .textContent.startsWith('Result'));
    assert.equal(await page.evaluate(() => localStorage.getItem('kestrix.limits')), null);
    assert.ok(await page.isHidden('#chartExcursions'));
    assert.ok(await page.isHidden('#tabExcursions'));
    assert.equal(await page.$eval('#limitsFile', (input) => input.files.length), 0);
  });
});
