// The chart's Periods view and its print view in headless Chromium: the
// period table is --periods's for days, weeks and months; "Report…" holds the
// PDF report's parts in its order, the files' SHA-256 as Node computes them,
// at most 1,000 excursions and a line for the others; printed to A4, it lays
// out on pages without cutting anything off.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { createHash } from 'node:crypto';
import { copyFileSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { exampleFiles, make, openPage, runNative, temporaryFolder } from './page_harness.mjs';

const screenshots = process.env.KESTRIX_SCREENSHOTS || temporaryFolder('screenshots');
const limits = '[[limit]]\nunit = "°C"\nlow = 2.0\nhigh = 8.0\ndelay = "30m"\ntotal = "2h"\n';

// The native command over copies of `files` and the limits file; returns a
// reader of its outputs.
function native(files, limitsText, args) {
  const folder = temporaryFolder('native');
  for (const file of files) copyFileSync(file, path.join(folder, path.basename(file)));
  writeFileSync(path.join(folder, 'limits.toml'), limitsText);
  const run = runNative(folder, ['-q', '--encoding', 'utf-8', '--limits', 'limits.toml', ...args,
    ...files.map((file) => path.basename(file))]);
  assert.equal(run.status, 0, run.err);
  return (name) => readFileSync(path.join(folder, name), 'utf8').split('\r\n').filter(Boolean)
    .map((line) => line.split('\t'));
}

// The page with `files` and `limitsText` converted and the chart open.
async function chartOf(files, limitsText) {
  const session = await openPage();
  const { page } = session;
  await page.uncheck('#Check1');
  const limitsFile = path.join(temporaryFolder('limits'), 'limits.toml');
  writeFileSync(limitsFile, limitsText);
  await page.setInputFiles('#Chooser', files);
  await page.setInputFiles('#limitsFile', limitsFile);
  await make(page, ['uc1.txt']);
  await page.waitForFunction(() => !document.getElementById('Command3').disabled, null,
    { timeout: 120_000 });
  await page.click('#Command3');
  await page.waitForFunction(() => window.kestrixChart && window.kestrixChart.redraws.length > 0);
  return session;
}

// The print view printed to A4 landscape, its pages as images to look at.
async function printed(page, name) {
  const pdf = path.join(screenshots, `${name}.pdf`);
  await page.pdf({ path: pdf, preferCSSPageSize: true });
  const info = execFileSync('pdfinfo', [pdf], { encoding: 'utf8' });
  assert.match(info, /Page size:\s+841\.\d+ x 59[45]\.\d+ pts \(A4\)/);
  execFileSync('pdftoppm', ['-png', '-r', '60', '-l', '3', pdf, path.join(screenshots, `${name}-page`)]);
  return Number(/Pages:\s+(\d+)/.exec(info)[1]);
}

async function openReport(page) {
  await page.click('#chartReport');
  await page.waitForFunction(() => document.body.dataset.report, null, { timeout: 120_000 });
  assert.equal(await page.evaluate(() => document.body.dataset.report), 'ready');
}

describe('the Periods view and the print view', () => {
  let session;
  let files;
  before(async () => {
    files = exampleFiles();
    session = await chartOf(files, limits);
  });
  after(() => session && session.close());

  test('the Periods view is --periods\'s table for days, weeks and months', async () => {
    const { page } = session;
    const shown = async (choose) => {
      const done = page.evaluate(() => new Promise((resolve) => document.getElementById('periodView')
        .addEventListener('periodsshown', resolve, { once: true })));
      await choose();
      await done;
      // The lines drawn are those in sight, the first ones; the view holds them all.
      const { all, drawn } = await page.evaluate(() => ({
        all: [window.kestrixPeriods.headers, ...window.kestrixPeriods.lines],
        drawn: [...document.querySelectorAll('#periodLines tr:not(.spacer)')].map((row) =>
          [...row.cells].map((c) => c.textContent)),
      }));
      assert.deepEqual(drawn, all.slice(0, drawn.length));
      return all;
    };
    const days = await shown(() => page.click('#tabPeriods'));
    assert.ok(days.length > 10);
    assert.deepEqual(days, native(files, limits, ['--periods', 'p.txt', '--period', 'day'])('p.txt'));
    await page.locator('#chart .views').screenshot({ path: path.join(screenshots, 'periods-days.png') });
    // Scrolled to its end, the view draws the last lines.
    const last = await page.evaluate(() => new Promise((resolve) => {
      const lines = document.querySelector('#periodView .lines');
      lines.addEventListener('scroll', () => requestAnimationFrame(() => resolve(
        [...document.querySelectorAll('#periodLines tr:not(.spacer)')].at(-1).cells[4].textContent)), { once: true });
      lines.scrollTop = lines.scrollHeight;
    }));
    assert.equal(last, days.at(-1)[4]);
    for (const kind of ['week', 'month']) {
      const lines = await shown(() => page.selectOption('#periodChoice', kind));
      assert.deepEqual(lines, native(files, limits, ['--periods', 'p.txt', '--period', kind])('p.txt'), kind);
    }
    // A double-click on a line shows its period in the chart.
    const before = await page.evaluate(() => window.kestrixChart.redraws.length);
    await page.dblclick('#periodLines tbody tr:nth-child(2)');
    await page.waitForFunction((was) => window.kestrixChart.redraws.length > was, before);
    const view = await page.evaluate(() => window.kestrixChart.view);
    const whole = await page.evaluate(() => window.kestrixChart.whole);
    assert.ok(view.to - view.from < (whole.to - whole.from) / 2, JSON.stringify({ view, whole }));
    await page.keyboard.press('Home');
  });

  test('the print view holds the report\'s parts in order, and the files\' SHA-256', async () => {
    const { page } = session;
    await openReport(page);
    const parts = await page.$$eval('#report .content > *', (items) => items.map((item) =>
      (item.matches('header') ? item.querySelector('h1').textContent
        : item.querySelector('h2') ? item.querySelector('h2').textContent : item.tagName)));
    assert.deepEqual(parts.map((part) => part.replace(/:.*/, '')), ['Logger data', 'FIGURE', 'UL',
      'Summary over the whole run', 'Limits and verdicts over the whole run',
      'Excursions over the whole run', 'Files']);
    assert.equal(parts[0], `Logger data: ${files.length} files`);
    const period = await page.textContent('#report .period');
    assert.match(period, /^Period: \d\d\/\d\d\/\d{4} \d\d:\d\d:\d\d to /);
    // A panel image per unit, and a legend line per channel.
    const shown = await page.evaluate(() => ({
      images: [...document.querySelectorAll('#report figure img')].map((img) => img.naturalWidth > 0),
      units: window.kestrixChart.plots.length,
      legend: document.querySelectorAll('#report .legend li').length,
      channels: window.kestrixChart.info.channels.length,
    }));
    assert.equal(shown.images.filter(Boolean).length, shown.units);
    assert.equal(shown.legend, shown.channels);
    // The excursions listed are those of the excursion list file.
    const excursions = await page.$$eval('#report .excursions tr', (rows) =>
      rows.map((row) => [...row.cells].map((cell) => cell.textContent)));
    const expected = native(files, limits, ['--excursions', 'e.txt'])('e.txt');
    // (Side and Duration: the report writes its dates as the chart does, dd/mm/yyyy.)
    const sideAndDuration = (lines) => lines.map((cells) => [cells[4], cells[7]]);
    assert.deepEqual(sideAndDuration(excursions), sideAndDuration(expected));

    const record = await page.$$eval('#report .record tbody tr', (rows) =>
      rows.map((row) => [...row.cells].map((cell) => cell.textContent)));
    const sha = (bytes) => createHash('sha256').update(bytes).digest('hex');
    assert.deepEqual(record, [
      ...files.map((file) => [path.basename(file), String(readFileSync(file).length), sha(readFileSync(file))]),
      ['Limits file: limits.toml', String(Buffer.byteLength(limits)), sha(Buffer.from(limits))]]);
    await page.screenshot({ path: path.join(screenshots, 'report-view.png'), fullPage: true });

    assert.ok(await printed(page, 'report') >= 2);
    // The chart keeps the view reported while the print view is open; Escape closes it.
    const asked = await page.evaluate(() => window.kestrixChart.client.pointsAsked);
    await page.keyboard.press('ArrowRight');
    await page.keyboard.press('Escape');
    assert.equal(await page.isVisible('#report'), false);
    assert.equal(await page.isVisible('#chart'), true);
    assert.equal(await page.evaluate(() => window.kestrixChart.client.pointsAsked), asked);

    // With "In the report" ticked, the period table follows the excursions, a line per --periods line.
    await page.click('#tabPeriods');
    await page.selectOption('#periodChoice', 'week');
    await page.check('#periodReport');
    await openReport(page);
    assert.deepEqual(await page.$$eval('#report .content > section h2', (headings) =>
      headings.slice(-2).map((heading) => heading.textContent)), ['Period table: ISO weeks, over the whole run', 'Files']);
    assert.equal(await page.$$eval('#report .periods tbody tr', (rows) => rows.length),
      native(files, limits, ['--periods', 'p.txt', '--period', 'week'])('p.txt').length - 1);
    assert.ok(await printed(page, 'report-periods') >= 3);
    await page.click('#reportClose');
    await page.uncheck('#periodReport');

    // Zoomed in, the report is of the range in view.
    await page.evaluate(() => window.kestrixChart.zoom(0.25));
    await openReport(page);
    assert.match(await page.textContent('#report .period'), /^Period: .* to .*, part of the run from .* to /);
    assert.match(await page.textContent('#report .summary h2'), /^Summary over the period drawn, /);
    assert.equal(await page.textContent('#report .verdicts h2'), 'Limits and verdicts over the period drawn');
    await page.click('#reportClose');
  });

  test('a file gone since the conversion is named, not hashed as empty', async () => {
    const { page } = session;
    rmSync(files[1]);
    await page.click('#chartReport');
    await page.waitForFunction(() => document.body.dataset.report);
    assert.equal(await page.evaluate(() => document.body.dataset.report), 'failed');
    assert.match(await page.textContent('#report .content'),
      /^The report could not be made: UC002\.PDB: cannot be read again for its SHA-256 /);
    await page.keyboard.press('Escape');
  });
});

describe('the print view of the 101-logger job with excursions by the thousand', () => {
  let session;
  let files;
  const tight = '[[limit]]\nunit = "°C"\nlow = 20.99\nhigh = 21.01\n';
  before(async () => {
    files = exampleFiles('--large');
    session = await chartOf(files, tight);
  });
  after(() => session && session.close());

  test('lists the first 1,000 excursions, then how many more and where they all are', async () => {
    const { page } = session;
    await openReport(page);
    const all = native(files, tight, ['--excursions', 'e.txt'])('e.txt').length - 1;
    assert.ok(all > 1000, `${all} excursions`);
    const listed = await page.$$eval('#report .excursions tbody tr', (rows) => rows.length);
    assert.equal(listed, 1000);
    assert.equal(await page.textContent('#report .more'),
      `and ${all - 1000} more excursions, not listed here: the excursions download (excursions.txt) holds them all`);
    const heading = await page.textContent('#report .excursions h2');
    assert.match(heading, new RegExp(`^Excursions over the whole run: ${all}, \\d+ with an alarm$`));
    await page.screenshot({ path: path.join(screenshots, 'report-large-view.png') });
    assert.ok(await printed(page, 'report-large') > 10);
  });
});
