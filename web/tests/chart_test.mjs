// The page's chart in headless Chromium, opened from file://: CHART after
// MAKE, a panel per unit that draws, zooms that ask the worker for points
// again, and a read-out that is the table's row.
import assert from 'node:assert/strict';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { drawnAfter, exampleFiles, make, openPage, runNative, temporaryFolder } from './page_harness.mjs';
import { copyFileSync, readFileSync } from 'node:fs';

const screenshots = process.env.KESTRIX_SCREENSHOTS || temporaryFolder('screenshots');
const windowUnits = ['\u00b0C', '%RH', 'Watts', 'Volts', 'Pulses', 'Seconds'];

// Per panel: its unit as shown, the axis's label, and how many of the
// canvas's pixels are in a saturated colour (the channels' lines).
function panelsDrawn(page) {
  return page.$$eval('#chart .panel', (panels) => panels.map((panel) => {
    const canvas = panel.querySelector('canvas');
    const pixels = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    let coloured = 0;
    for (let i = 0; i < pixels.length; i += 4) {
      const [r, g, b, a] = [pixels[i], pixels[i + 1], pixels[i + 2], pixels[i + 3]];
      if (a > 200 && Math.max(r, g, b) - Math.min(r, g, b) > 90) ++coloured;
    }
    return { unit: panel.querySelector('h3').textContent, coloured };
  }));
}

const timeRange = (page) => page.evaluate(() => {
  const x = window.kestrixChart.plots.at(-1).plot.scales.x;
  return { from: x.min, to: x.max, asked: window.kestrixChart.client.pointsAsked };
});

// A date of the table, dd/mm/yy hh:mm:ss, as the window's Period line writes it.
const windowDate = (date) => date.replace(/^(\d\d\/\d\d\/)(\d\d) /, '$120$2 ');

describe('the chart', () => {
  let session;
  let table;
  let dates;  // of the table's rows
  let files;
  before(async () => {
    session = await openPage();
    const { page } = session;
    await page.uncheck('#Check1');
    files = exampleFiles();
    await page.setInputFiles('#Chooser', files);
    table = (await make(page, ['uc1.txt']))['uc1.txt'];
    dates = new TextDecoder('windows-1252').decode(table).split('\r\n')
      .filter((line) => /^\d\d\/\d\d\/\d\d /.test(line)).map((line) => line.split('\t')[0]);
    await page.waitForFunction(() => !document.getElementById('Command3').disabled);
    await drawnAfter(page, () => page.click('#Command3'));
  });
  after(() => session && session.close());

  test('draws a panel per unit, in the window\'s order, each with its unit', async () => {
    const { page } = session;
    const panels = await panelsDrawn(page);
    const units = panels.map((panel) => panel.unit);
    assert.ok(units.length >= 2, `panels: ${units}`);
    assert.deepEqual(units, windowUnits.filter((unit) => units.includes(unit)).concat(
      units.filter((unit) => !windowUnits.includes(unit))));
    for (const panel of panels) assert.ok(panel.coloured > 200, `the ${panel.unit} panel is blank`);
    const labels = await page.evaluate(() => window.kestrixChart.plots.map(({ plot }) => plot.axes[1].label));
    assert.deepEqual(labels, units);
    // The legend names each channel "Title — Label".
    const legend = await page.$$eval('#chart .u-legend .u-series:not(:first-child) .u-label',
      (labels) => labels.map((label) => label.textContent));
    assert.ok(legend.length > 0 && legend.every((name) => / \u2014 /.test(name)), legend.join());
    assert.deepEqual(session.requests.filter((url) => url !== session.url && !url.startsWith('blob:')),
      [], 'no request after the page has loaded');
    await page.screenshot({ path: path.join(screenshots, 'chart-whole.png'), fullPage: true });
  });

  test('each zoom and move narrows or shifts the range and asks the worker again', async () => {
    const { page } = session;
    const whole = await timeRange(page);
    await drawnAfter(page, () => page.keyboard.press('+'));
    const zoomed = await timeRange(page);
    assert.ok(zoomed.to - zoomed.from < (whole.to - whole.from) * 0.6, JSON.stringify({ whole, zoomed }));
    assert.ok(zoomed.asked > whole.asked);

    await drawnAfter(page, () => page.keyboard.press('ArrowRight'));
    const moved = await timeRange(page);
    assert.ok(moved.from > zoomed.from && moved.asked > zoomed.asked);

    // A drag across a fifth of the lowest panel.
    const lowest = page.locator('#chart .panel:last-child .u-over');
    await lowest.scrollIntoViewIfNeeded();
    const box = await lowest.boundingBox();
    await drawnAfter(page, async () => {
      await page.mouse.move(box.x + box.width * 0.4, box.y + box.height / 2);
      await page.mouse.down();
      await page.mouse.move(box.x + box.width * 0.6, box.y + box.height / 2, { steps: 5 });
      await page.mouse.up();
    });
    const dragged = await timeRange(page);
    assert.ok(dragged.to - dragged.from < (moved.to - moved.from) * 0.3, JSON.stringify({ moved, dragged }));
    assert.ok(dragged.asked > moved.asked);
    await page.screenshot({ path: path.join(screenshots, 'chart-zoomed.png'), fullPage: true });

    await drawnAfter(page, () => page.keyboard.press('Home'));
    assert.deepEqual((await timeRange(page)).from, whole.from);
  });

  test('the read-out at a row is the table\'s line at that row, overflow and blanks included', async () => {
    const { page } = session;
    const lines = new TextDecoder('windows-1252').decode(table).split('\r\n');
    // The first row of data is the first line that starts with a date.
    const firstRow = lines.findIndex((line) => /^\d\d\/\d\d\/\d\d /.test(line));
    const wanted = [
      lines.findIndex((line, i) => i >= firstRow && line.includes('\toverflow')),
      lines.findIndex((line, i) => i >= firstRow && /\t\t|\t$/.test(line)),
      lines.findIndex((line, i) => i >= firstRow &&
        line.split('\t').slice(1).every((cell) => /^-?\d/.test(cell))),
    ];
    for (const line of wanted) {
      assert.ok(line >= firstRow, 'the example files hold an overflow and a blank');
      const row = line - firstRow;
      const at = await page.evaluate(async (r) => {
        const chart = window.kestrixChart;
        const key = chart.info.firstKey + r * chart.info.step;
        await chart.show(key - 5 * chart.info.step, key + 5 * chart.info.step);
        const { plot } = chart.plots.at(-1);
        plot.over.scrollIntoView({ block: 'center' });
        const box = plot.over.getBoundingClientRect();
        return { x: box.left + plot.valToPos(key, 'x'), y: box.top + box.height / 2 };
      }, row);
      const shown = page.evaluate((r) => new Promise((resolve) => {
        const chart = document.getElementById('chart');
        const check = () => chart.querySelector('.readout').dataset.row === String(r);
        if (check()) resolve();
        chart.addEventListener('readout', () => check() && resolve());
      }), row);
      await page.mouse.move(at.x, at.y);
      await shown;
      const readout = await page.$$eval('#chart .readout > *', (items) => items.map((item, i) =>
        (i === 0 ? item.textContent : item.querySelector('output').textContent)));
      assert.deepEqual(readout, lines[line].split('\t'), `row ${row}`);
    }
  });

  test('the summary under the chart is --summary\'s', async () => {
    const folder = temporaryFolder('native');
    for (const file of files) copyFileSync(file, path.join(folder, path.basename(file)));
    const run = runNative(folder, ['--encoding', 'utf-8', '--summary', 'summary.txt',
      ...files.map((file) => path.basename(file))]);
    assert.equal(run.status, 0, run.err);
    const expected = readFileSync(path.join(folder, 'summary.txt'), 'utf8').split('\r\n').filter(Boolean)
      .map((line) => line.split('\t'));
    const shown = await session.page.$$eval('#chartSummary tr', (rows) =>
      rows.map((row) => [...row.cells].map((cell) => cell.textContent)));
    assert.deepEqual(shown, expected);
  });

  test('the Period line names the rows drawn, for the whole run and after a zoom', async () => {
    const { page } = session;
    const period = () => page.textContent('#chartPeriod');
    await drawnAfter(page, () => page.keyboard.press('Home'));
    assert.equal(await period(), `Period: ${windowDate(dates[0])} to ${windowDate(dates.at(-1))}`);
    await drawnAfter(page, () => page.keyboard.press('+'));
    await drawnAfter(page, () => page.keyboard.press('ArrowRight'));
    // The rows on or inside the time axis's ends.
    const { first, last } = await page.evaluate(() => {
      const { info, plots } = window.kestrixChart;
      const x = plots[0].plot.scales.x;
      const row = (key) => (key - info.firstKey) / info.step;
      return { first: Math.ceil(row(x.min) - 1e-6), last: Math.floor(row(x.max) + 1e-6) };
    });
    assert.ok(first > 0 && last < dates.length - 1 && first < last, `${first} to ${last}`);
    assert.equal(await period(), `Period: ${windowDate(dates[first])} to ${windowDate(dates[last])}`);
  });

  test('the panels fill the chart\'s width and follow the window\'s', async () => {
    const { page } = session;
    const widths = () => page.evaluate(() => ({
      chart: document.querySelector('#chart').clientWidth,
      panels: document.querySelector('#chart .panels').clientWidth,
      plots: [...document.querySelectorAll('#chart .uplot')].map((plot) => plot.getBoundingClientRect().width),
      columns: window.kestrixChart.columns(),
      asked: window.kestrixChart.client.pointsAsked,
    }));
    const filled = (w) => w.panels >= w.chart - 40 && w.plots.every((plot) => Math.abs(plot - w.panels) <= 1);
    const wide = await widths();
    assert.ok(filled(wide), JSON.stringify(wide));
    await drawnAfter(page, () => page.setViewportSize({ width: 900, height: 720 }));
    const narrow = await widths();
    assert.ok(filled(narrow) && narrow.panels < wide.panels - 300, JSON.stringify({ wide, narrow }));
    // The points asked again, for fewer pixel columns.
    assert.ok(narrow.columns < wide.columns && narrow.asked > wide.asked, JSON.stringify({ wide, narrow }));
    await page.screenshot({ path: path.join(screenshots, 'chart-900.png'), fullPage: true });
    await drawnAfter(page, () => page.setViewportSize({ width: 1280, height: 720 }));
    assert.ok(filled(await widths()));
  });
});
