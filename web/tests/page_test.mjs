// The page as a user meets it, in headless Chromium: opened from file://,
// files chosen, MAKE, and every download compared byte for byte with what the
// native kestrix-convert writes for the same files and options.
import assert from 'node:assert/strict';
import { copyFileSync, mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import http from 'node:http';
import { after, before, describe, test } from 'node:test';
import {
  exampleFiles, make, openPage, pageFile, runNative, temporaryFolder,
} from './page_harness.mjs';

const screenshots = process.env.KESTRIX_SCREENSHOTS || temporaryFolder('screenshots');

// A folder holding copies of `files` (and `extra` {name: text}), where the
// native command runs with relative names, as the page's worker does.
function nativeFolder(files, extra = {}) {
  const folder = temporaryFolder('native');
  for (const file of files) copyFileSync(file, path.join(folder, path.basename(file)));
  for (const [name, text] of Object.entries(extra)) writeFileSync(path.join(folder, name), text);
  return folder;
}

function native(files, args, { extra, locale } = {}) {
  const folder = nativeFolder(files, extra);
  const run = runNative(folder, [...args, ...files.map((file) => path.basename(file))], locale);
  return { ...run, read: (name) => readFileSync(path.join(folder, name)) };
}

async function messages(page) {
  return page.$$eval('#messages li', (items) => items.map((item) => item.textContent));
}

const limits = '[[limit]]\nunit = "°C"\nlow = 2.0\nhigh = 8.0\ndelay = "30m"\ntotal = "2h"\n';

describe('the page', () => {
  let demo;
  let session;
  before(async () => {
    demo = exampleFiles();
    session = await openPage();
  });
  after(() => session && session.close());

  test('lists the files in name order, the logger files selected, and keeps the window\'s words', async () => {
    const { page } = session;
    const other = path.join(temporaryFolder('other'), 'notes.txt');
    writeFileSync(other, 'not a logger file');
    await page.setInputFiles('#Chooser', [demo[2], other, demo[0], demo[3], demo[1]]);
    const entries = await page.$$eval('#File1 option', (options) =>
      options.map((option) => [option.textContent, option.selected]));
    assert.deepEqual(entries, [
      ['notes.txt', false], ['UC001.PDB', true], ['UC002.PDB', true], ['UC003.PDB', true],
      ['UC004.PDB', true]]);
    assert.equal(await page.title(), 'ULMACORDER');
    for (const [id, text] of [
      ['Command1', 'MAKE'],
      ['Label1', 'Files to convert must have a name such as :  UC***.PDB'],
      ['Label3', '(To be pasted in a spreadsheet)']]) {
      assert.equal(await page.textContent(`#${id}`), text);
    }
    for (const [id, text] of [
      ['Check1', 'Copy data to clipboard'], ['Check2', 'Include all overflowed data'],
      ['Check3', 'Join downloads of each logger']]) {
      assert.equal((await page.textContent(`label:has(#${id})`)).trim(), text);
    }
    assert.equal(await page.isChecked('#Check1'), true);
    assert.equal(await page.getAttribute('#options', 'open'), null, 'the options start closed');
    await page.screenshot({ path: path.join(screenshots, 'page-files.png'), fullPage: true });
  });

  test('MAKE downloads uc1.txt as the native table and puts its text on the clipboard', async () => {
    const { page } = session;
    const downloads = await make(page, ['uc1.txt']);
    const expected = native(demo, ['-o', 'uc1.txt']);
    assert.equal(expected.status, 0);
    assert.ok(downloads['uc1.txt'].equals(expected.read('uc1.txt')));
    assert.equal(await page.inputValue('#etat'), 'Done...');
    const clipboard = await page.evaluate(() => navigator.clipboard.readText());
    assert.equal(clipboard, new TextDecoder('windows-1252').decode(expected.read('uc1.txt')));
    await page.screenshot({ path: path.join(screenshots, 'page-done.png'), fullPage: true });
  });

  test('unselected files are left out', async () => {
    const { page } = session;
    await page.selectOption('#File1', ['1', '3']);  // UC001 and UC003 of the five entries
    const downloads = await make(page, ['uc1.txt']);
    const expected = native([demo[0], demo[2]], ['-o', 'uc1.txt']);
    assert.ok(downloads['uc1.txt'].equals(expected.read('uc1.txt')));
  });

  test('each option\'s output is the native one', async () => {
    const { page } = session;
    await page.selectOption('#File1', ['1', '2', '3', '4']);
    await page.click('#options summary');
    const limitsFile = path.join(temporaryFolder('limits'), 'limits.toml');
    writeFileSync(limitsFile, limits);
    const cases = [
      { set: { encoding: 'utf-8', dates: 'iso', utcOffset: '+01:00', from: '2026-05-01', to: '2026-06-01 12:00' },
        args: ['--encoding', 'utf-8', '--dates', 'iso', '--utc-offset', '+01:00', '--from', '2026-05-01',
          '--to', '2026-06-01 12:00', '-o', 'uc1.txt'],
        outputs: ['uc1.txt'] },
      { tick: ['csv', 'Check2'], args: ['--format', 'csv', '--include-overflowed', '-o', 'uc1.csv'],
        outputs: ['uc1.csv'] },
      { tick: ['summary', 'excursions', 'gaps', 'periods'], set: { period: 'week' }, limits: true,
        args: ['-o', 'uc1.txt', '--summary', 'summary.txt', '--limits', 'limits.toml', '--excursions',
          'excursions.txt', '--gaps', 'gaps.txt', '--periods', 'periods.txt', '--period', 'week'],
        outputs: ['uc1.txt', 'summary.txt', 'excursions.txt', 'gaps.txt', 'periods.txt'] },
    ];
    for (const c of cases) {
      await page.evaluate(() => {
        for (const id of ['csv', 'Check2', 'summary', 'excursions', 'gaps', 'periods', 'joins'])
          document.getElementById(id).checked = false;
        for (const id of ['utcOffset', 'from', 'to']) document.getElementById(id).value = '';
        document.getElementById('encoding').value = 'windows-1252';
        document.getElementById('dates').value = 'regional';
        document.getElementById('period').value = 'day';
      });
      for (const [id, value] of Object.entries(c.set || {})) {
        if (await page.$eval(`#${id}`, (element) => element.tagName === 'SELECT'))
          await page.selectOption(`#${id}`, value);
        else await page.fill(`#${id}`, value);
      }
      for (const id of c.tick || []) await page.check(`#${id}`);
      if (c.limits) await page.setInputFiles('#limitsFile', limitsFile);
      const downloads = await make(page, c.outputs);
      const expected = native(demo, c.args, { extra: { 'limits.toml': limits } });
      assert.equal(expected.status, 0, expected.err);
      for (const name of c.outputs)
        assert.ok(downloads[name].equals(expected.read(name)), `${name} of ${c.args.join(' ')}`);
    }
    await page.screenshot({ path: path.join(screenshots, 'page-options.png'), fullPage: true });
  });

  test('joined downloads and their list are the native ones', async () => {
    const downloads = exampleFiles('--downloads');
    const joined = await openPage();
    try {
      const { page } = joined;
      await page.setInputFiles('#Chooser', downloads);
      await page.check('#Check3');
      await page.click('#options summary');
      await page.check('#joins');
      const got = await make(page, ['uc1.txt', 'joins.txt']);
      const expected = native(downloads, ['--join', '-o', 'uc1.txt', '--joins', 'joins.txt']);
      assert.equal(expected.status, 0, expected.err);
      assert.ok(got['uc1.txt'].equals(expected.read('uc1.txt')));
      assert.ok(got['joins.txt'].equals(expected.read('joins.txt')));
    } finally {
      await joined.close();
    }
  });

  test('a limits file in error is told with its line and column, as the command tells it', async () => {
    const { page } = session;
    const bad = '[[limit]]\nunit = "°C"\nhihg = 8.0\n';
    const file = path.join(temporaryFolder('limits'), 'limits.toml');
    writeFileSync(file, bad);
    await page.setInputFiles('#limitsFile', file);
    await make(page, []);
    const expected = native(demo, ['-o', 'uc1.txt', '--limits', 'limits.toml', '--excursions', 'e.txt'],
      { extra: { 'limits.toml': bad } });
    assert.equal(expected.status, 2);
    const told = expected.err.trim().replace(/^kestrix-convert: /, '');
    assert.match(told, /^limits\.toml:3:1: /);
    assert.deepEqual(await messages(page), [told]);
  });
});

describe('bad input', () => {
  let session;
  after(() => session && session.close());

  test('MAKE without a file selected says so, as the window does', async () => {
    session = await openPage();
    await session.page.click('#Command1');
    assert.equal(await session.page.inputValue('#etat'), 'No file selected');
    await session.close();
    session = null;
  });

  test('a damaged file is named with its problem, the list kept, and the page goes on', async () => {
    const [good, second] = exampleFiles();
    const folder = temporaryFolder('damaged');
    const bad = path.join(folder, 'UC005.PDB');
    writeFileSync(bad, 'not a logger file\n');
    const cut = path.join(folder, 'UC006.PDB');
    writeFileSync(cut, readFileSync(second).subarray(0, 3000));
    session = await openPage();
    const { page } = session;
    await page.setInputFiles('#Chooser', [good, bad]);
    await make(page, []);
    assert.deepEqual(await messages(page), ['UC005.PDB: not a logger file (18 bytes, too short for one)']);
    assert.equal(await page.inputValue('#etat'), 'UC005.PDB: not a logger file (18 bytes, too short for one)');
    assert.equal(await page.$$eval('#File1 option', (options) => options.length), 2);
    await page.screenshot({ path: path.join(screenshots, 'page-damaged.png'), fullPage: true });

    // A file cut short is converted with a warning, as the window tells it.
    await page.setInputFiles('#Chooser', [cut]);
    await page.selectOption('#File1', ['0', '2']);  // UC001 and UC006
    const downloads = await make(page, ['uc1.txt']);
    const expected = native([good, cut], ['-o', 'uc1.txt']);
    assert.ok(downloads['uc1.txt'].equals(expected.read('uc1.txt')));
    assert.equal(await page.inputValue('#etat'), 'Done... inconsistent file(s)');
    assert.deepEqual(await messages(page),
      ['warning: UC006.PDB: the file holds 1,436 of the 2,016 samples it announces']);
    assert.deepEqual(session.errors, []);
  });
});

describe('dropping files', () => {
  test('logger files dropped are listed, a limits file dropped is taken as the limits', async () => {
    const files = exampleFiles();
    const session = await openPage();
    try {
      const { page } = session;
      const dropped = [...files.slice(0, 2), 'limits.toml'].map((file) => ({
        name: path.basename(file),
        data: (file.endsWith('.toml') ? Buffer.from(limits) : readFileSync(file)).toString('base64'),
      }));
      const transfer = await page.evaluateHandle((items) => {
        const data = new DataTransfer();
        for (const item of items) {
          const bytes = Uint8Array.from(atob(item.data), (c) => c.charCodeAt(0));
          data.items.add(new File([bytes], item.name));
        }
        return data;
      }, dropped);
      await page.dispatchEvent('body', 'drop', { dataTransfer: transfer });
      assert.deepEqual(await page.$$eval('#File1 option', (options) => options.map((o) => o.textContent)),
        ['UC001.PDB', 'UC002.PDB']);
      assert.equal(await page.$eval('#limitsFile', (input) => input.files[0].name), 'limits.toml');
      assert.equal(await page.isChecked('#excursions'), true);
      const downloads = await make(page, ['uc1.txt', 'excursions.txt']);
      const expected = native(files.slice(0, 2),
        ['-o', 'uc1.txt', '--limits', 'limits.toml', '--excursions', 'excursions.txt'],
        { extra: { 'limits.toml': limits } });
      assert.ok(downloads['excursions.txt'].equals(expected.read('excursions.txt')));
    } finally {
      await session.close();
    }
  });
});

describe('without a network', () => {
  test('the page makes no request after it has loaded and cannot make one', async () => {
    const session = await openPage();
    try {
      const { page, requests, url } = session;
      await page.setInputFiles('#Chooser', exampleFiles());
      await make(page, ['uc1.txt']);
      const refused = await page.evaluate(() =>
        fetch('http://127.0.0.1:9/').then(() => 'fetched', (error) => error.name));
      assert.equal(refused, 'TypeError');
      const elsewhere = requests.filter((address) => address !== url && !address.startsWith('blob:'));
      assert.deepEqual(elsewhere, []);
    } finally {
      await session.close();
    }
  });
});

describe('the 101-logger job', () => {
  test('shows a progress bar while it runs and downloads the native table', async () => {
    const files = exampleFiles('--large');
    const session = await openPage();
    try {
      const { page } = session;
      await page.uncheck('#Check1');
      await page.setInputFiles('#Chooser', files);
      await page.evaluate(() => {
        const bar = document.getElementById('progress');
        window.progressShown = false;
        new MutationObserver(() => { window.progressShown ||= !bar.hidden; })
          .observe(bar, { attributes: true });
      });
      const table = (await make(page, ['uc1.txt']))['uc1.txt'];
      const run = JSON.parse(await page.evaluate(() => document.body.dataset.lastRun));
      if (run.ms > 600) assert.equal(await page.evaluate(() => window.progressShown), true);
      assert.equal(await page.isHidden('#progress'), true);
      assert.ok(table.equals(native(files, ['-o', 'uc1.txt']).read('uc1.txt')));
    } finally {
      await session.close();
    }
  });
});

describe('one file', () => {
  test('the page holds everything it needs, in at most 3 MB', () => {
    const html = readFileSync(pageFile, 'utf8');
    assert.ok(html.length <= 3e6, `${html.length} bytes`);
    assert.doesNotMatch(html, /<(script|img|iframe)[^>]+src=|<link[^>]+href=/i);
    assert.match(html, /connect-src 'none'/);
  });

  test('served by a web server, it converts as from file://', async () => {
    const html = readFileSync(pageFile);
    const server = http.createServer((request, response) => {
      response.writeHead(request.url === '/kestrix.html' ? 200 : 404, { 'Content-Type': 'text/html' });
      response.end(request.url === '/kestrix.html' ? html : '');
    });
    await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
    const address = `http://127.0.0.1:${server.address().port}/kestrix.html`;
    const session = await openPage({ address });
    try {
      const files = exampleFiles();
      await session.page.setInputFiles('#Chooser', files);
      const downloads = await make(session.page, ['uc1.txt']);
      assert.ok(downloads['uc1.txt'].equals(native(files, ['-o', 'uc1.txt']).read('uc1.txt')));
      const elsewhere = session.requests.filter((url) => url !== address && !url.startsWith('blob:'));
      assert.deepEqual(elsewhere, []);
    } finally {
      await session.close();
      server.close();
    }
  });
});

describe('regional settings', () => {
  test('a German browser gets the table of the de_DE locale', async (t) => {
    const probe = runNative(temporaryFolder('probe'), ['--version'], 'de_DE.UTF-8');
    if (probe.err.includes('locale')) t.skip('no de_DE locale here');
    const files = exampleFiles();
    const session = await openPage({ locale: 'de-DE' });
    try {
      await session.page.setInputFiles('#Chooser', files);
      const downloads = await make(session.page, ['uc1.txt']);
      const expected = native(files, ['-o', 'uc1.txt'], { locale: 'de_DE.UTF-8' });
      assert.ok(downloads['uc1.txt'].equals(expected.read('uc1.txt')));
      assert.ok(expected.read('uc1.txt').includes(','), 'a comma for a decimal mark');
    } finally {
      await session.close();
    }
  });
});

mkdirSync(screenshots, { recursive: true });
