// The excursion list under the chart, as the window's Excursions tab: one
// line per excursion of the limits applied, by channel and then by start,
// under the columns of the excursions download, each line as that file
// writes it. A run may have a hundred thousand excursions: the lines are
// asked of the worker a page at a time, as they come into view. A
// double-click or Enter on a line zooms the chart to that excursion.
const columns = ['Title', 'Logger', 'Label', 'Unit', 'Side', 'Start', 'End', 'Duration', 'Peak',
  'Peak at', 'Alarm', 'Note'];
const rightAligned = new Set([7, 8]);
const alarmColumn = 10;
const lineHeight = 20;  // px, as style.css sets them
const pageLines = 200;

export class ExcursionList {
  // `element`: the list's place; `client`: the chart's worker; `zoom(from,
  // to, channel)`: shows the chart's channel over those keys.
  constructor(element, client, zoom) {
    this.element = element;
    this.client = client;
    this.zoom = zoom;
    this.heading = document.createElement('div');
    this.heading.className = 'heading';
    this.box = document.createElement('div');
    this.box.className = 'lines';
    this.box.tabIndex = 0;
    this.box.title = 'Double-click or press Enter to zoom to an excursion';
    this.spacer = document.createElement('div');
    this.table = document.createElement('table');
    this.table.id = 'excursionList';
    const head = this.table.createTHead().insertRow();
    for (const name of columns) head.append(Object.assign(document.createElement('th'), { textContent: name }));
    this.body = this.table.createTBody();
    this.spacer.append(this.table);
    this.box.append(this.spacer);
    element.replaceChildren(this.heading, this.box);
    this.box.addEventListener('scroll', () => this.showLines());
    this.box.addEventListener('click', (event) => this.lineEvent(event, false));
    this.box.addEventListener('dblclick', (event) => this.lineEvent(event, true));
    this.box.addEventListener('keydown', (event) => this.key(event));
    this.set(null);
  }

  // Lists the excursions of the limits applied (the worker's answer), or none.
  set(applied) {
    this.count = applied ? applied.excursions : 0;
    this.pages = new Map();  // page number: a promise of {lines, views}
    this.selected = -1;
    this.element.hidden = !applied;
    this.heading.textContent = !applied ? '' : this.count === 0 ? 'Excursions: none'
      : `Excursions: ${this.count}, ${applied.alarms} with an alarm \u2014 double-click or Enter zooms to one`;
    this.spacer.style.height = `${(this.count + 1) * lineHeight}px`;
    this.box.scrollTop = 0;
    this.body.replaceChildren();
    if (this.count > 0) this.showLines();
  }

  page(n) {
    if (!this.pages.has(n)) {
      this.pages.set(n, this.client.limits('excursions', {}, [n * pageLines, pageLines])
        .then(({ answer }) => answer));
    }
    return this.pages.get(n);
  }

  // The lines in view under the column names, which stay at the top.
  async showLines() {
    const first = Math.min(Math.floor(this.box.scrollTop / lineHeight), Math.max(this.count - 1, 0));
    const end = Math.min(this.count, first + Math.ceil(this.box.clientHeight / lineHeight));
    const count = this.count;
    const wanted = [];
    for (let n = Math.floor(first / pageLines); n * pageLines < end; ++n) wanted.push(this.page(n));
    const pages = await Promise.all(wanted);
    if (count !== this.count) return;
    const firstPage = Math.floor(first / pageLines);
    const lineAt = (i) => {
      const page = pages[Math.floor(i / pageLines) - firstPage];
      return page && { text: page.lines[i % pageLines], view: page.views[i % pageLines] };
    };
    const rows = [];
    for (let i = first; i < end; ++i) {
      const line = lineAt(i);
      if (!line || line.text === undefined) break;
      const row = document.createElement('tr');
      row.dataset.line = String(i);
      if (i === this.selected) row.className = 'selected';
      line.text.split('\t').forEach((text, c) => {
        const cell = row.insertCell();
        cell.textContent = text;
        if (rightAligned.has(c)) cell.className = 'number';
        if (c === alarmColumn && text === 'yes') cell.className = 'alarm';
      });
      rows.push(row);
    }
    this.body.replaceChildren(...rows);
    this.table.style.transform = `translateY(${first * lineHeight}px)`;
  }

  async lineEvent(event, activate) {
    const row = event.target.closest('tr[data-line]');
    if (!row) return;
    await this.select(Number(row.dataset.line));
    if (activate) await this.activate();
  }

  async select(line) {
    this.selected = Math.min(Math.max(line, 0), this.count - 1);
    // Within the lines shown under the column names.
    const first = Math.floor(this.box.scrollTop / lineHeight);
    const shown = Math.max(1, Math.floor(this.box.clientHeight / lineHeight) - 1);
    if (this.selected < first) this.box.scrollTop = this.selected * lineHeight;
    else if (this.selected >= first + shown) this.box.scrollTop = (this.selected - shown + 1) * lineHeight;
    await this.showLines();
  }

  async activate() {
    if (this.selected < 0) return;
    const answer = await this.page(Math.floor(this.selected / pageLines));
    const view = answer.views[this.selected % pageLines];
    if (view) await this.zoom(view[0], view[1], view[2]);
  }

  key(event) {
    const moves = { ArrowDown: 1, ArrowUp: -1, PageDown: 10, PageUp: -10 };
    if (event.key === 'Enter') this.activate();
    else if (event.key in moves) this.select(Math.max(this.selected, 0) + (this.selected < 0 ? 0 : moves[event.key]));
    else return;
    event.preventDefault();
    event.stopPropagation();
  }
}
