// "Report…": the print view of the chart, laid out for A4 landscape, which
// the browser prints or saves as PDF. Its parts and their order are those of
// the PDF report of kestrix-convert --report: the files and the "Period:"
// line of what is drawn, the chart of the range in view with its legend, the
// summary over those rows, with limits their verdicts and the excursion list
// (the first `mostExcursions`), the period table when asked for, and last the
// files with their size and SHA-256 and the limits file's.
import { channelColour } from './chart_colours.js';

export const mostExcursions = 1000;

// The printed page's area at 96 pixels per inch: A4 landscape less the
// margins of @page in report.css (10 mm, 8 mm at the foot, 9 mm of footer).
const millimetre = 96 / 25.4;
const pageWidth = Math.floor(277 * millimetre);
const pageHeight = Math.floor((210 - 10 - 17) * millimetre);
const axisHeight = 40;  // the lowest panel's dates

const hex = (buffer) => [...new Uint8Array(buffer)].map((b) => b.toString(16).padStart(2, '0')).join('');

export async function sha256Text(bytes) {
  return hex(await crypto.subtle.digest('SHA-256', bytes));
}

function element(tag, className, text) {
  const made = document.createElement(tag);
  if (className) made.className = className;
  if (text !== undefined) made.textContent = text;
  return made;
}

function swatch(c) {
  const square = element('span', 'swatch');
  square.style.background = channelColour(c);
  return square;
}

// A table of `headers` and `rows` (arrays of texts); `decorate(tr, r)` may
// add to each line.
function table(headers, rows, decorate = () => {}, rightAligned = []) {
  const made = element('table');
  const head = made.createTHead().insertRow();
  headers.forEach((text, i) => head.append(element('th', rightAligned.includes(i) ? 'number' : '', text)));
  const body = made.createTBody();
  rows.forEach((cells, r) => {
    const line = body.insertRow();
    cells.forEach((text, i) => line.append(element('td', rightAligned.includes(i) ? 'number' : '', text)));
    decorate(line, r);
  });
  return made;
}

function section(name, heading, ...content) {
  const part = element('section', `part ${name}`);
  part.append(element('h2', '', heading), ...content);
  return part;
}

// The 1-based table rows of the range in view, within the rows the table holds.
export function rowsInView(view, info) {
  const row = (key) => (key - info.firstKey) / info.step + 1;
  return {
    first: Math.max(info.rows[0], Math.ceil(row(view.from) - 1e-9)),
    last: Math.min(info.rows[1], Math.floor(row(view.to) + 1e-9)),
  };
}

// Each panel of `chart` drawn `height` pixels high across the page, as an
// image, its size given back to the screen's after.
async function panelImages(chart, height) {
  const images = [];
  for (const [p, { plot }] of chart.plots.entries()) {
    const screen = { width: plot.width, height: plot.height };
    const last = p === chart.plots.length - 1;
    plot.setSize({ width: pageWidth, height: height + (last ? axisHeight : 0) });
    await new Promise((resolve) => setTimeout(resolve));  // uPlot draws in a microtask
    images.push(plot.ctx.canvas.toDataURL('image/png'));
    plot.setSize(screen);
  }
  return images;
}

// "dd/mm/yyyy hh:mm", the footer's date of making.
function madeText(date) {
  const two = (n) => String(n).padStart(2, '0');
  return `${two(date.getDate())}/${two(date.getMonth() + 1)}/${date.getFullYear()} ` +
    `${two(date.getHours())}:${two(date.getMinutes())}`;
}

// A CSS string of `text`.
const cssString = (text) => `"${text.replace(/[\\"]/g, '\\$&').replace(/\n/g, ' ')}"`;

// Fills `report` (#report) with the report of `chart` (a ChartView) in its
// present view: `inputs.files` the run's logger files (File objects),
// `inputs.limits` the run's ({name, bytes}) or null; with `periods` (a kind
// of period) the period table of the rows drawn.
export async function makeReport(report, client, chart, { files, limits }, periods = null) {
  const { info } = chart;
  const drawn = rowsInView(chart.view, info);
  const [parts, hashes, limitsHash] = await Promise.all([
    client.report(drawn.first, drawn.last, limits, mostExcursions, periods),
    Promise.all(files.map(async (file) => sha256Text(await file.arrayBuffer().catch((error) => {
      // The file was moved or changed since the conversion.
      throw new Error(`${file.name}: cannot be read again for its SHA-256 (${error.message})`);
    })))),
    limits ? sha256Text(limits.bytes) : null,
  ]);
  if (parts.error) throw new Error(parts.error);
  const content = report.querySelector('.content');
  content.replaceChildren();

  const head = element('header', 'part');
  head.append(element('h1', '', parts.files), element('p', 'files', parts.fileList),
    element('p', 'period', parts.period));
  content.append(head);

  const legend = element('ul', 'legend');
  legend.append(...info.channels.map((channel, c) => {
    const item = element('li');
    item.append(swatch(c), element('span', '', channel.name));
    return item;
  }));
  const figure = element('figure', 'part chart');
  const summaryRight = parts.summary.headers.map((_, i) => i).filter((i) => i >= 2);
  const summary = section('summary', parts.summaryHeading, table(parts.summary.headers,
    parts.summary.rows, (line, r) => line.cells[0].prepend(swatch(r)), summaryRight));
  content.append(figure, legend, summary);
  // The chart takes what the first page leaves beside the legend and the
  // summary (at least 45 % of it), in panels at least 60 pixels high.
  const used = [head, legend, summary].reduce((sum, part) => sum + part.getBoundingClientRect().height, 0);
  const room = Math.max(pageHeight - used - 40, pageHeight * 0.45) - axisHeight;
  const panelHeight = Math.max(60, Math.floor(room / Math.max(1, chart.plots.length)) - 20);
  const images = await panelImages(chart, panelHeight);
  figure.append(...chart.plots.map(({ unit }, p) => {
    const panel = element('div', 'panel');
    const image = element('img');
    image.src = images[p];
    image.alt = `The ${unit} panel`;
    panel.append(image);
    return panel;
  }));


  if (parts.limits) {
    const { verdicts, excursions } = parts.limits;
    content.append(section('verdicts', parts.limits.verdictsHeading, table(verdicts.headers, verdicts.rows,
      (line, r) => {
        line.cells[0].prepend(swatch(r));
        if (verdicts.fail[r]) line.cells[3].classList.add('fail');
      })));
    const list = [];
    if (excursions.rows.length) {
      list.push(table(excursions.headers, excursions.rows, (line, r) => {
        if (excursions.alarm[r]) line.cells[10].classList.add('fail');
      }, [7, 8]));
    }
    const more = parts.limits.excursionCount - excursions.rows.length;
    if (more > 0) {
      list.push(element('p', 'more', `and ${more} more excursion${more === 1 ? '' : 's'}, ` +
        'not listed here: the excursions download (excursions.txt) holds them all'));
    }
    content.append(section('excursions', parts.limits.excursionsHeading, ...list));
  }

  if (parts.periods) {
    const { lines, channels } = parts.periods;
    const right = lines.headers.map((_, i) => i).filter((i) => i >= 2);
    content.append(section('periods', parts.periods.heading, table(lines.headers, lines.rows,
      (line, r) => line.cells[0].prepend(swatch(Number(channels[r]))), right)));
  }

  const record = files.map((file, f) => [file.name, String(file.size), hashes[f]]);
  record.push(limits ? [`Limits file: ${limits.name}`, String(limits.bytes.byteLength), limitsHash]
    : ['Limits file: none', '', '']);
  content.append(section('record', 'Files', table(['File', 'Bytes', 'SHA-256'], record, () => {}, [1])));

  // The footer of every printed page.
  report.querySelector('style').textContent =
    `@page { @bottom-left { font: 7pt system-ui, sans-serif; color: #808080; content: ${
      cssString(`Generated ${madeText(new Date())} by ${parts.version} \u2014 page `)} counter(page); } }`;
  return parts;
}
