// The chart's "Periods" view: a choice of days, ISO weeks, months or the
// whole run, and the period table of the run as --periods writes it (a line
// per channel and period), from the worker's run. A double-click on a line,
// or Enter on the line selected, shows that period in the chart.
import { channelColour } from './chart_colours.js';

// The window's choice of period, in its words.
export const periodChoices = [
  ['day', 'Days'], ['week', 'ISO weeks'], ['month', 'Months'], ['all', 'Whole run']];

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
    this.onChange = () => this.show(this.choice.value);
    this.choice.addEventListener('change', this.onChange);
    this.onDoubleClick = (event) => {
      const line = event.target.closest('tbody tr');
      if (line) this.open(line);
    };
    this.onClick = (event) => {
      const line = event.target.closest('tbody tr');
      if (line) this.select(line);
    };
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
      this.table.replaceChildren();
      return;
    }
    this.message.hidden = true;
    const lines = answer.text.split('\r\n').filter(Boolean);
    this.lineRows = answer.rows;
    const [headers, ...rest] = lines.map((line) => line.split('\t'));
    const head = document.createElement('thead');
    const heading = document.createElement('tr');
    heading.append(...(headers || []).map((text) => {
      const cell = document.createElement('th');
      cell.textContent = text;
      return cell;
    }));
    head.append(heading);
    const body = document.createElement('tbody');
    body.append(...rest.map((cells, l) => {
      const line = document.createElement('tr');
      line.append(...cells.map((text, i) => {
        const cell = document.createElement('td');
        cell.textContent = text;
        if (i >= 5) cell.className = 'number';
        return cell;
      }));
      // The channel's colour in the chart beside its lines.
      if (answer.rows[l]) line.cells[0].style.borderLeft = `4px solid ${channelColour(answer.rows[l][2])}`;
      return line;
    }));
    this.table.replaceChildren(head, body);
    this.table.tabIndex = 0;
  }

  select(line) {
    for (const other of this.table.querySelectorAll('tr.selected')) other.classList.remove('selected');
    line.classList.add('selected');
    line.scrollIntoView({ block: 'nearest' });
  }

  open(line) {
    const rows = this.lineRows[line.sectionRowIndex];
    if (rows) this.showRows(rows[0], rows[1]);
  }

  key(event) {
    const lines = this.table.tBodies[0] ? this.table.tBodies[0].rows : [];
    const selected = this.table.querySelector('tbody tr.selected');
    const at = selected ? selected.sectionRowIndex : -1;
    const go = { ArrowDown: at + 1, ArrowUp: at - 1 }[event.key];
    if (go !== undefined) {
      if (lines[go]) this.select(lines[go]);
    } else if (event.key === 'Enter' && selected) {
      this.open(selected);
    } else {
      return;
    }
    event.preventDefault();
    event.stopPropagation();
  }

  destroy() {
    this.choice.removeEventListener('change', this.onChange);
    this.table.removeEventListener('dblclick', this.onDoubleClick);
    this.table.removeEventListener('click', this.onClick);
    this.table.removeEventListener('keydown', this.onKey);
    this.table.replaceChildren();
  }
}
