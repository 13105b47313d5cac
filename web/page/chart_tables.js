// What goes with the chart beside its panels: the tabs of the tables under
// it (Summary, Periods, Excursions), the Periods view, made the first time its
// tab is chosen, and "Report…", the print view of the range in view.
import { PeriodView } from './period_view.js';
import { makeReport } from './report_view.js';

const $ = (id) => document.getElementById(id);
const tabs = ['tabSummary', 'tabPeriods', 'tabExcursions'];

let opened = null;  // {client, panels, chart, inputs, periods}

// Shows the pane of the tab `id`.
export function showTab(id) {
  for (const tab of tabs) {
    const chosen = tab === id;
    $(tab).setAttribute('aria-selected', String(chosen));
    $($(tab).getAttribute('aria-controls')).hidden = !chosen;
  }
  if (id === 'tabPeriods' && opened) periodsOf(opened).show();
}

function periodsOf(state) {
  if (!state.periods) {
    const { info } = state.chart;
    const rowKey = (row1) => info.firstKey + (row1 - 1) * info.step;
    state.periods = new PeriodView($('periodView'), state.client, state.panels, {
      limits: () => state.inputs.limits,
      showRows: (first, last) => state.chart.show(rowKey(first), rowKey(last)),
    });
    window.kestrixPeriods = state.periods;  // for the page's tests
  }
  return state.periods;
}

// The chart `chart` (a ChartView of `panels`) is open; `inputs` are its run's
// logger files (File objects) and limits ({name, bytes} or null).
export function openTables(client, panels, chart, inputs) {
  closeTables();
  opened = { client, panels, chart, inputs, periods: null };
  showTab('tabSummary');
}

export function closeTables() {
  closeReport();
  if (opened && opened.periods) opened.periods.destroy();
  opened = null;
  $('periodChoice').value = 'day';
  $('periodReport').checked = false;
}

let making = false;  // a report being made

async function openReport() {
  if (!opened || making) return;
  making = true;
  const report = $('report');
  document.body.classList.add('reporting');
  report.hidden = false;
  delete document.body.dataset.report;
  try {
    const periods = $('periodReport').checked ? $('periodChoice').value : null;
    await makeReport(report, opened.client, opened.chart, opened.inputs, periods);
    document.body.dataset.report = 'ready';
  } catch (error) {
    report.querySelector('.content').textContent = `The report could not be made: ${error.message}`;
    document.body.dataset.report = 'failed';
  } finally {
    making = false;
  }
  window.scrollTo(0, 0);
  $('reportPrint').focus();
}

function closeReport() {
  if ($('report').hidden) return;
  $('report').hidden = true;
  document.body.classList.remove('reporting');
  $('chart').scrollIntoView();
}

for (const tab of tabs) $(tab).addEventListener('click', () => showTab(tab));
$('chartReport').addEventListener('click', openReport);
$('reportClose').addEventListener('click', closeReport);
$('reportPrint').addEventListener('click', () => window.print());
// In the print view the chart's keys are not the chart's: it stays as the
// report shows it. Escape closes the view.
document.addEventListener('keydown', (event) => {
  if ($('report').hidden) return;
  if (event.key === 'Escape') closeReport();
  event.stopImmediatePropagation();
}, true);
