// The command line of one conversion, from the window's check boxes and the
// options panel: the arguments of kestrix-convert, which writes each output
// into /out/ under the name it is downloaded as.
export const tableNames = { tsv: 'uc1.txt', csv: 'uc1.csv' };

// `form` holds the controls' values (see readForm), `files` the names of
// the files to convert in list order, `limitsName` the limits file's or null.
export function commandLine(form, files, limitsName) {
  const table = form.csv ? tableNames.csv : tableNames.tsv;
  const args = ['-o', `/out/${table}`];
  const outputs = [table];
  const add = (option, name) => {
    args.push(option, `/out/${name}`);
    outputs.push(name);
  };
  if (form.csv) args.push('--format', 'csv');
  if (form.encoding !== 'windows-1252') args.push('--encoding', form.encoding);
  if (form.dates === 'iso') args.push('--dates', 'iso');
  if (form.utcOffset) args.push('--utc-offset', form.utcOffset);
  if (form.from) args.push('--from', form.from);
  if (form.to) args.push('--to', form.to);
  if (form.overflowed) args.push('--include-overflowed');
  if (form.join) args.push('--join');
  if (form.summary) add('--summary', 'summary.txt');
  if (limitsName) args.push('--limits', limitsName);
  if (form.excursions) add('--excursions', 'excursions.txt');
  if (form.joins) add('--joins', 'joins.txt');
  if (form.gaps) add('--gaps', 'gaps.txt');
  if (form.periods) {
    add('--periods', 'periods.txt');
    args.push('--period', form.period);
  }
  args.push('--', ...files);
  return { args, outputs, table };
}

// The values commandLine reads, from the page's controls.
export function readForm(document) {
  const value = (id) => document.getElementById(id).value.trim();
  const ticked = (id) => document.getElementById(id).checked;
  return {
    csv: ticked('csv'),
    encoding: value('encoding'),
    dates: value('dates'),
    utcOffset: value('utcOffset'),
    from: value('from'),
    to: value('to'),
    overflowed: ticked('Check2'),
    join: ticked('Check3'),
    summary: ticked('summary'),
    excursions: ticked('excursions'),
    joins: ticked('joins'),
    gaps: ticked('gaps'),
    periods: ticked('periods'),
    period: value('period'),
  };
}
