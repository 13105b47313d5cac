#!/usr/bin/env bash
# write_outputs.sh DATA OUT COMMAND...
# Runs the command (a kestrix-convert: the native one, or `node
# build-web/kestrix-convert.js`) over the logger files in DATA with every
# output and option the two builds share, and leaves each output, the
# standard error and the exit status in OUT, one file each, for `diff -r`
# against the other build's. DATA holds examples/ (the four demo files),
# large/ (the 101-logger job), noisy/ (the same, dithered) and downloads/ (a
# year of weekly downloads).
set -euo pipefail
data="$1" out="$2"
shift 2
command=("$@")
mkdir -p "$out"
limits="$out/limits.toml"
printf '[[limit]]\nunit = "°C"\nlow = 2.0\nhigh = 8.0\ndelay = "30m"\ntotal = "2h"\n' >"$limits"

# case NAME LOCALE FOLDER ARGS...: one run in FOLDER, its outputs named NAME.*
case_() {
  local name="$1" locale="$2" folder="$3"
  shift 3
  local files=("$data/$folder"/UC*.PDB) status=0
  LC_ALL="$locale" TZ=America/St_Johns "${command[@]}" "$@" "${files[@]}" \
    >"$out/$name.stdout" 2>"$out/$name.stderr" || status=$?
  echo "$status" >"$out/$name.status"
  # The messages name the files by their paths, which differ between the runs.
  sed -i "s|$data/||g; s|$out/||g" "$out/$name.stderr"
}

for locale in C de_DE.UTF-8; do
  l=${locale%%.*}
  case_ "$l-table" "$locale" examples -o "$out/$l-table.txt"
  case_ "$l-stdout" "$locale" examples
  case_ "$l-utf8" "$locale" examples --encoding utf-8 -o "$out/$l-utf8.txt"
  case_ "$l-iso" "$locale" examples --dates iso --utc-offset +01:00 -o "$out/$l-iso.txt"
  case_ "$l-csv" "$locale" examples --format csv --utc-offset -03:30 -o "$out/$l-csv.csv"
  case_ "$l-overflowed" "$locale" examples --include-overflowed -o "$out/$l-overflowed.txt"
  case_ "$l-window" "$locale" examples --from 2024-01-01 --to "2030-01-01 12:00" \
    -o "$out/$l-window.txt" --summary "$out/$l-window.summary"
  case_ "$l-limits" "$locale" examples --limits "$limits" --summary "$out/$l-limits.summary" \
    --excursions "$out/$l-limits.excursions" --periods "$out/$l-limits.periods" \
    --gaps "$out/$l-limits.gaps"
  for period in day week month all; do
    case_ "$l-periods-$period" "$locale" examples --period "$period" \
      --periods "$out/$l-periods-$period.txt"
  done
  case_ "$l-join" "$locale" downloads --join --joins "$out/$l-join.joins" \
    --gaps "$out/$l-join.gaps" -o "$out/$l-join.txt"
done
case_ large C large -q -o "$out/large.txt"
case_ large-outputs C noisy -q --limits "$limits" --summary "$out/large.summary" \
  --excursions "$out/large.excursions" --periods "$out/large.periods" --period week
case_ usage C examples --from 2024-13-01
# A damaged file among good ones: cut short, and with its header overwritten.
mkdir -p "$data/damaged"
cp "$data/examples/UC001.PDB" "$data/damaged/UC001.PDB"
head -c 3000 "$data/examples/UC002.PDB" >"$data/damaged/UC002.PDB"
{ head -c 16 /dev/zero; tail -c +17 "$data/examples/UC003.PDB"; } >"$data/damaged/UC003.PDB"
printf "not a logger file\n" >"$data/damaged/UC004.PDB"
case_ damaged C damaged -o "$out/damaged.txt"
case_ damaged-3 C damaged --summary "$out/damaged-3.summary" -o "$out/damaged-3.txt"
case_ strict C examples --strict -q --encoding utf-8 --from 2000-01-01 --to 2000-01-02
