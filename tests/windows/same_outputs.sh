#!/usr/bin/env bash
# The Windows build writes the bytes the Linux build writes: for the example
# files and the 101-logger job, the table (tsv, csv, ISO dates) and every
# text output, both programs are run on the same files and their outputs
# compared byte for byte. The exe runs under Wine (WINEPREFIX and WINEDEBUG
# as the caller set them); a table to standard output is compared too, which
# catches a stream that is not binary.
# usage: same_outputs.sh LINUX_BUILD_DIR KESTRIX_CONVERT_EXE WINE SCRATCH_DIR
set -euo pipefail
linux_build="$1" exe="$2" wine="$3" scratch="$4"
linux="$linux_build/kestrix-convert"
examples="$linux_build/examples/kestrix-examples"
for program in "$linux" "$examples" "$exe"; do
  [[ -x "$program" ]] || { echo "missing $program" >&2; exit 1; }
done

rm -rf "$scratch"
mkdir -p "$scratch/examples" "$scratch/large" "$scratch/linux" "$scratch/windows"
"$examples" "$scratch/examples" >/dev/null
"$examples" --large "$scratch/large" >/dev/null
cat >"$scratch/limits.toml" <<'TOML'
[[limit]]
unit = "°C"
low = 20.0
high = 26.0
delay = "30m"

[[limit]]
unit = "%RH"
high = 60.0
TOML

compared=0 failed=0
# The locale both programs run in: Linux takes its decimal mark and
# separators from it, Wine makes it the Windows user's regional settings.
locale=C
# same NAME DATA_DIR ARGS...: one run of each program in DATA_DIR, the
# arguments' OUT/ standing for a folder of that program's own; every file it
# writes there, its standard output and its standard error compared.
same() {
  local name="$1" data="$2"
  shift 2
  local side arg
  for side in linux windows; do
    rm -rf "${scratch:?}/$side/out" && mkdir -p "$scratch/$side/out"
    local args=()
    for arg in "$@"; do args+=("${arg/#OUT\//$scratch/$side/out/}"); done
    if [[ $side == linux ]]; then
      (cd "$data" && LC_ALL="$locale" "$linux" "${args[@]}" >"$scratch/$side/stdout" \
        2>"$scratch/$side/stderr") || echo "exit $?" >>"$scratch/$side/stderr"
    else
      (cd "$data" && LC_ALL="$locale" "$wine" "$exe" "${args[@]}" >"$scratch/$side/stdout" \
        2>"$scratch/$side/stderr") || echo "exit $?" >>"$scratch/$side/stderr"
    fi
  done
  local file
  for file in stdout stderr $(cd "$scratch/linux/out" && ls); do
    local a="$scratch/linux/$file" b="$scratch/windows/$file"
    [[ $file == std* ]] || a="$scratch/linux/out/$file" b="$scratch/windows/out/$file"
    compared=$((compared + 1))
    if ! cmp -s "$a" "$b"; then
      failed=$((failed + 1))
      echo "DIFFERENT: $name: $file" >&2
      cmp "$a" "$b" >&2 || true
    fi
  done
}

limits="$scratch/limits.toml"
for data in examples large; do
  dir="$scratch/$data"
  mapfile -t files < <(cd "$dir" && ls UC*.PDB)
  same "$data: table" "$dir" -o OUT/table.txt "${files[@]}"
  same "$data: table to standard output" "$dir" -q "${files[@]}"
  same "$data: csv" "$dir" --format csv -o OUT/table.csv "${files[@]}"
  same "$data: iso dates" "$dir" --dates iso -o OUT/iso.txt "${files[@]}"
  same "$data: text outputs" "$dir" --summary OUT/summary.txt --periods OUT/periods.txt \
    --gaps OUT/gaps.txt "${files[@]}"
  same "$data: limits" "$dir" --limits "$limits" --summary OUT/summary.txt \
    --excursions OUT/excursions.txt --periods OUT/weeks.txt --period week --dates iso "${files[@]}"
  same "$data: joins" "$dir" --join --joins OUT/joins.txt -o OUT/joined.txt "${files[@]}"
done
# A German user's decimal comma and dotted dates.
locale=de_DE.UTF-8
dir="$scratch/examples"
mapfile -t files < <(cd "$dir" && ls UC*.PDB)
same "examples, de_DE: table" "$dir" -o OUT/table.txt "${files[@]}"
if ! grep -qE '[0-9],[0-9]' "$scratch/windows/out/table.txt"; then
  failed=$((failed + 1))
  echo "DIFFERENT: examples, de_DE: no decimal comma in the Windows table" >&2
fi
same "examples, de_DE: text outputs" "$dir" --summary OUT/summary.txt --periods OUT/periods.txt \
  "${files[@]}"
echo "$((compared - failed)) passed, $failed failed"
((failed > 0)) || rm -rf "${scratch:?}"
((failed == 0))
