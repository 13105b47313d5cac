// The "Limits…" editor, as the chart window's: a line per unit of the run
// (its unit-wide rule, in bold) above a line per channel (the rule of that
// logger's channel), each with low, high, delay and total. A bad value stays
// in its cell, marked, with the reason in its tool tip and under the table;
// nothing is applied or saved while one is left. The lines, the checks and
// the limits file's text come from the worker (limits_editor_lines.cpp), by
// the same reader and rules as the command.
import { defaultLimitsName } from './limits_set.js';

const columns = ['Channel', 'Unit', 'Low', 'High', 'Delay', 'Total'];
const help = 'Low and high in the channel\'s unit; delay: how long an excursion may last ' +
  'before it raises an alarm; total: the time on one side that fails the channel. ' +
  'Durations such as 90s, 30m, 2h or 1h30m. A channel\'s own line beats its unit\'s.';

function element(tag, properties = {}, children = []) {
  const made = Object.assign(document.createElement(tag), properties);
  made.append(...children);
  return made;
}

export class LimitsEditor {
  // `client`: the chart's worker (ChartClient); `apply(limits)` takes the
  // limits of OK ({name, text}, or null for none); `download(blob, name)`
  // saves a file.
  constructor(client, { apply, download }) {
    this.client = client;
    this.apply = apply;
    this.download = download;
    this.checked = 0;  // the last check asked for
    this.build();
  }

  build() {
    const button = (id, text, title) => element('button', { type: 'button', id, textContent: text, title });
    this.table = element('table', { id: 'limitsTable' }, [
      element('thead', {}, [element('tr', {}, columns.map((name) => element('th', { textContent: name })))]),
      element('tbody')]);
    this.message = element('div', { id: 'limitsMessage', role: 'alert', hidden: true });
    this.problem = element('div', { id: 'limitsProblem', hidden: true });
    this.ok = button('limitsOk', 'OK', 'Keeps the limits in this browser and applies them');
    this.saveAs = button('limitsSaveAs', 'Save as\u2026', 'Saves the limits as a file');
    const open = button('limitsOpen', 'Open\u2026', 'Opens a limits file');
    const cancel = button('limitsCancel', 'Cancel');
    this.chooser = element('input', { type: 'file', accept: '.toml', hidden: true });
    this.dialog = element('dialog', { id: 'limitsEditor' }, [
      element('h2', { textContent: 'Limits' }), this.message,
      element('div', { className: 'lines' }, [this.table]), this.problem,
      element('p', { className: 'help', textContent: help }),
      element('div', { className: 'buttons' }, [open, this.saveAs, element('span'), this.ok, cancel]),
      this.chooser]);
    this.dialog.setAttribute('aria-label', 'Limits');
    document.body.append(this.dialog);

    this.ok.addEventListener('click', () => this.accept());
    cancel.addEventListener('click', () => this.dialog.close());
    this.saveAs.addEventListener('click', () => this.save());
    open.addEventListener('click', () => this.chooser.click());
    this.chooser.addEventListener('change', () => {
      if (this.chooser.files[0]) this.openFile(this.chooser.files[0]);
      this.chooser.value = '';
    });
    this.table.addEventListener('input', () => this.check());
    // A limits file dropped on the editor is opened in it.
    this.dialog.addEventListener('dragover', (event) => event.preventDefault());
    this.dialog.addEventListener('drop', (event) => {
      event.preventDefault();
      event.stopPropagation();
      const file = [...event.dataTransfer.files].find((f) => /\.toml$/i.test(f.name));
      if (file) this.openFile(file);
    });
  }

  get isOpen() { return this.dialog.open; }

  // Opens the editor on `limits` ({name, text} or null).
  async open(limits) {
    this.name = limits ? limits.name : defaultLimitsName;
    let lines = await this.client.limits('lines', { name: this.name, text: limits ? limits.text : '' });
    let told = '';
    if (lines.answer.error) {
      // A bad file is not edited over unknowingly: the editor starts empty.
      told = `${lines.answer.error}\n\nThe editor starts empty; OK replaces the file.`;
      lines = await this.client.limits('lines', { name: this.name, text: '' });
    }
    this.fill(lines.answer);
    this.tell(told);
    if (!this.dialog.open) this.dialog.showModal();
    await this.check();
  }

  tell(text) {
    this.message.textContent = text;
    this.message.hidden = !text;
  }

  fill({ lines, kept }) {
    this.kept = kept;
    this.inputs = [];
    this.table.tBodies[0].replaceChildren(...lines.map((line) => {
      const name = element('td', { textContent: line.name, title: line.tip });
      if (line.whole) name.className = 'whole';
      const cells = line.cells.map((text, c) => element('input', {
        type: 'text', value: text, disabled: !line.editable, spellcheck: false, autocomplete: 'off',
        ariaLabel: `${line.name}, ${columns[c + 2]}` }));
      this.inputs.push(cells);
      return element('tr', {}, [name, element('td', { textContent: line.unit }),
        ...cells.map((input) => element('td', {}, [input]))]);
    }));
  }

  // Checks every cell; resolves to the worker's answer (faults, problem, and
  // the limits file's text when none), or null when a later check was asked.
  async check() {
    const asked = ++this.checked;
    const cells = this.inputs.map((line) => line.map((input) => input.value.replace(/[\t\r\n]/g, ' '))
      .join('\t')).join('\n');
    const { answer } = await this.client.limits('check', { cells, kept: this.kept });
    if (asked !== this.checked) return null;
    const faults = new Map(answer.faults.map(([line, column, why]) => [`${line}:${column}`, why]));
    this.inputs.forEach((line, l) => line.forEach((input, c) => {
      const why = faults.get(`${l}:${c}`);
      input.classList.toggle('bad', Boolean(why));
      input.title = why || '';
    }));
    this.problem.textContent = answer.problem;
    this.problem.hidden = !answer.problem;
    this.ok.disabled = this.saveAs.disabled = Boolean(answer.problem);
    return answer;
  }

  async openFile(file) {
    const text = await file.text();
    const { answer } = await this.client.limits('lines', { name: file.name, text });
    if (answer.error) {
      this.tell(answer.error);
      return;
    }
    this.name = file.name;
    this.fill(answer);
    this.tell('');
    await this.check();
  }

  async save() {
    const answer = await this.check();
    if (!answer || answer.problem) return;
    this.download(new Blob([answer.text], { type: 'application/toml' }), this.name);
  }

  async accept() {
    const answer = await this.check();
    if (!answer || answer.problem) return;
    this.dialog.close();
    // Limits without a rule check nothing: none are kept.
    await this.apply(answer.rules > 0 ? { name: this.name, text: answer.text } : null);
  }
}
