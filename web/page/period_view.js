// The chart's "Periods" view: a choice of days, ISO weeks, months or the
// whole run, and the period table of the run as --periods writes it (a line
// per channel and period), from the worker's run; `lines` holds its cells,
// and the lines in sight are made as the table scrolls. A double-click on a
// line, or Enter on the line selected, shows that period in the chart.
import { channelColour } from './chart_colours.js';

// The window's choice of period, in its words.
export const periodChoices = [
  ['day', 'Days'], ['week', 'ISO weeks'], ['month', 'Months'], ['all', 'Whole run']];

// Every line of the table is this high (report.css), so that only the lines
// in sight need be made: a long run's days times its channels are thousands.
const lineHeight = 20;
const spareLines = 20;  // made above and below those in sight

export class PeriodView {
  // `element`: the view's pane (#periodView); `limits()`: the run's limits
  // ({name, bytes} or null); `showRows(first, last)`: shows 1-based rows in the chart.
  constructor(element, client, panels, { limits, showRows }) {
    this.element = element;
    this.client = client;
    this.panels = panels;
    this.limits = limits;
    this.showRows = showRows;
    this.choice = element.querySelector('#periodChoice');
    this.table = element.querySelector('#periodLines');
    this.message = element.querySelector('.message');
    this.kind = null;
    this.shown = null;  // the promise of the last table asked for
    this.lineRows = [];
    this.body = null;
    this.onChange = () => this.show(this.choice.value);
    this.choice.addEventListener('change', this.onChange);
    this.scroller = element.querySelector('.lines');
    this.lineHeight = lineHeight;
    this.lines = [];
    this.headers = [];
    this.selected = -1;
    const lineOf = (event) => {
      const row = event.target.closest('tbody tr[data-line]');
      return row ? Number(row.dataset.line) : -1;
    };
    this.onDoubleClick = (event) => {
      if (lineOf(event) >= 0) this.open(lineOf(event));
    };
    this.onClick = (event) => {
      if (lineOf(event) >= 0) this.select(lineOf(event));
    };
    this.onScroll = () => this.drawLines();
    this.scroller.addEventListener('scroll', this.onScroll, { passive: true });
    this.onKey = (event) => this.key(event);
    this.table.addEventListener('dblclick', this.onDoubleClick);
    this.table.addEventListener('click', this.onClick);
    this.table.addEventListener('keydown', this.onKey);
  }

  // Asks for the table of `kind` and shows it; resolves once it is shown.
  show(kind = this.choice.value) {
    this.choice.value = kind;
    if (kind === this.kind && this.shown) return this.shown;
    this.kind = kind;
    const asked = this.client.periods(kind, this.limits()).then((answer) => {
      if (this.kind !== kind) return;
      this.fill(answer);
      this.element.dispatchEvent(new CustomEvent('periodsshown', { detail: { kind } }));
    });
    this.shown = asked;
    return asked;
  }

  fill(answer) {
    if (answer.error) {
      this.message.textContent = answer.error;
      this.message.hidden = false;
      this.headers = [];
      this.lines = [];
      this.table.replaceChildren();
      return;
    }
    this.message.hidden = true;
    const [headers, ...lines] = answer.text.split('\r\n').filter(Boolean).map((line) => line.split('\t'));
    this.headers = headers || [];
    this.lines = lines;
    this.lineRows = answer.rows;
    this.selected = -1;
    // Each column as wide as its longest text: the lines drawn change as
    // the view scrolls, the columns do not.
    const widths = this.headers.map((text) => text.length);
    for (const cells of lines) {
      for (let i = 0; i < cells.length; ++i) if (cells[i].length > widths[i]) widths[i] = cells[i].length;
    }
    const columns = document.createElement('colgroup');
    columns.append(...widths.map((width) => {
      const column = document.createElement('col');
      column.style.width = `${width + 2}ch`;
      return column;
    }));
    const head = document.createElement('thead');
    const heading = document.createElement('tr');
    heading.append(...this.headers.map((text) => {
      const cell = document.createElement('th');
      cell.textContent = text;
      return cell;
    }));
    head.append(heading);
    this.body = document.createElement('tbody');
    this.table.replaceChildren(columns, head, this.body);
    this.table.style.width = `${widths.reduce((sum, width) => sum + width + 2, 0)}ch`;
    this.table.tabIndex = 0;
    this.drawn = null;
    this.scroller.scrollTop = 0;
    this.drawLines();
  }

  // The lines in sight (and a few either side) between two spacers as
  // high as the lines they stand for.
  drawLines() {
    if (!this.body) return;
    const height = this.lineHeight;
    const first = Math.max(0, Math.floor(this.scroller.scrollTop / height) - spareLines);
    const end = Math.min(this.lines.length,
      first + Math.ceil((this.scroller.clientHeight || 400) / height) + 2 * spareLines);
    if (this.drawn && this.drawn.first === first && this.drawn.end === end) return;
    this.drawn = { first, end };
    const spacer = (lines) => {
      const row = document.createElement('tr');
      row.className = 'spacer';
      const cell = document.createElement('td');
      cell.colSpan = Math.max(1, this.headers.length);
      cell.style.height = `${lines * height}px`;
      row.append(cell);
      return row;
    };
    const rows = [];
    for (let l = first; l < end; ++l) {
      const row = document.createElement('tr');
      row.dataset.line = String(l);
      if (l === this.selected) row.className = 'selected';
      const cells = this.lines[l];
      for (let i = 0; i < cells.length; ++i) {
        const cell = document.createElement('td');
        cell.textContent = cells[i];
        if (i >= 5) cell.className = 'number';
        row.append(cell);
      }
      // The channel's colour in the chart beside its lines.
      const rowsOf = this.lineRows[l];
      if (rowsOf && row.cells[0]) row.cells[0].style.borderLeft = `4px solid ${channelColour(rowsOf[2])}`;
      rows.push(row);
    }
    this.body.replaceChildren(spacer(first), ...rows, spacer(this.lines.length - end));
    // The spacers stand for lines as high as those drawn.
    const drawnHeight = rows.length ? rows[0].getBoundingClientRect().height : 0;
    if (drawnHeight > 0 && Math.abs(drawnHeight - height) > 0.01) {
      this.lineHeight = drawnHeight;
      this.drawn = null;
      this.drawLines();
    }
  }

  // The line `l` selected, and scrolled into sight.
  select(l) {
    if (l < 0 || l >= this.lines.length) return;
    this.selected = l;
    const height = this.lineHeight;
    const top = this.scroller.scrollTop;
    const header = this.table.tHead ? this.table.tHead.offsetHeight : 0;
    const sight = this.scroller.clientHeight - header;
    if (l * height < top) this.scroller.scrollTop = l * height;
    else if ((l + 1) * height > top + sight) this.scroller.scrollTop = (l + 1) * height - sight;
    // The lines drawn stay (a double-click's second click finds the first's line).
    for (const row of this.body.rows) row.classList.toggle('selected', row.dataset.line === String(l));
    this.drawLines();
  }

  open(l) {
    const rows = this.lineRows[l];
    if (rows) this.showRows(rows[0], rows[1]);
  }

  key(event) {
    const go = { ArrowDown: this.selected + 1, ArrowUp: this.selected - 1 }[event.key];
    if (go !== undefined) this.select(go);
    else if (event.key === 'Enter' && this.selected >= 0) this.open(this.selected);
    else return;
    event.preventDefault();
    event.stopPropagation();
  }

  destroy() {
    this.choice.removeEventListener('change', this.onChange);
    this.table.removeEventListener('dblclick', this.onDoubleClick);
    this.table.removeEventListener('click', this.onClick);
    this.table.removeEventListener('keydown', this.onKey);
    this.scroller.removeEventListener('scroll', this.onScroll);
    this.table.replaceChildren();
    this.body = null;
  }
}
