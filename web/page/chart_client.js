// The page's side of the chart's worker: requests answered in turn, each with
// its id. A points request waits while another is out, and only the latest of
// those waiting is sent: a zoom never queues behind ranges no longer in view.
export class ChartClient {
  constructor(worker) {
    this.worker = worker;
    this.nextId = 1;
    this.waiting = new Map();
    this.pointsOut = false;
    this.pointsNext = null;
    this.pointsAsked = 0;  // how many points requests reached the worker
    worker.onmessage = (event) => {
      const answer = event.data;
      const done = this.waiting.get(answer.id);
      this.waiting.delete(answer.id);
      if (done) done(answer);
    };
  }

  ask(job, transfer = []) {
    const id = this.nextId++;
    return new Promise((resolve) => {
      this.waiting.set(id, resolve);
      this.worker.postMessage({ ...job, id }, transfer);
    });
  }

  // The run of `args` over `files` ({name, data}, the data handed over).
  open(files, args) {
    return this.ask({ kind: 'chart-open', files, args }, files.map((file) => file.data));
  }

  // The table's date and cells at a 0-based row, as one tab-separated text.
  row(row) {
    return this.ask({ kind: 'chart-row', row }).then((answer) => answer.cells);
  }

  // The summary of the run as --summary writes it, in UTF-8.
  summary() {
    return this.ask({ kind: 'chart-summary' }).then((answer) => answer.summary);
  }

  // A limits function of the chart's instance (chart_session_limits.cpp,
  // limits_editor_lines.cpp) after `files` ({name: text}) are written under
  // /limits: its JSON answer, or {bytes} or {numbers} for marks and
  // summary_views.
  limits(call, files = {}, args = []) {
    return this.ask({ kind: 'limits', call, files, args });
  }

  // The period table of `kind` ('day', 'week', 'month' or 'all') as
  // --periods writes it, with `limits` ({name, bytes} or null): {text, rows}
  // and the worker's milliseconds.
  periods(kind, limits) {
    const kinds = ['day', 'week', 'month', 'all'];
    return this.ask({ kind: 'chart-periods', period: kinds.indexOf(kind), limits })
      .then((answer) => ({ ...JSON.parse(answer.json), ms: answer.ms }));
  }

  // The print view's parts over the 1-based rows [first, last] (see
  // report_session.hpp), at most `mostExcursions` excursions listed, with
  // the period table of `periods` (a kind as for periods(), or null).
  report(first, last, limits, mostExcursions, periods = null) {
    return this.ask({ kind: 'chart-report', first, last, limits, mostExcursions, periods })
      .then((answer) => JSON.parse(answer.json));
  }

  // The points of [from, to] (seconds) across `columns`; resolves to null
  // when a later request took its place before it was sent.
  points(from, to, columns) {
    return new Promise((resolve) => {
      if (this.pointsNext) this.pointsNext.resolve(null);
      this.pointsNext = { from, to, columns, resolve };
      this.sendPoints();
    });
  }

  sendPoints() {
    if (this.pointsOut || !this.pointsNext) return;
    const { resolve, ...range } = this.pointsNext;
    this.pointsNext = null;
    this.pointsOut = true;
    this.pointsAsked += 1;
    this.ask({ kind: 'chart-points', ...range }).then((answer) => {
      this.pointsOut = false;
      resolve(answer);
      this.sendPoints();
    });
  }
}
