#!/usr/bin/env bash
# Writes past the file size limit (ulimit -f): build, compile and view each
# end with status 1 and a message naming the file, leave their folder
# unlocked, and no file stands under an output's name unless it is whole
# (each is compared with the same file written without the limit).
set -euo pipefail
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
passes=0

mkdir -p "$work/whole" "$work/texts"
"$program" build --no-window --out "$work/whole" >/dev/null
"$program" export-sources --out "$work/texts" >/dev/null
line=$(ls "$work/texts"/*_linea.txt)
service=$(ls "$work/texts"/*-.txt)
"$program" view "$line" "$service" -o "$work/whole/page.html" >/dev/null

# A limit of 64 KiB: the track plan (1.4 MB) and the page cannot be written.
run_limited() {
  local name=$1 out=$2
  shift 2
  mkdir -p "$out"
  local status=0
  (ulimit -f 64 && exec "$program" "$@") >"$work/stdout" 2>"$work/stderr" || status=$?
  local said
  said=$(cat "$work/stderr")
  local ok=1
  if [[ $status -ne 1 ]]; then ok=0; echo "FAIL $name: status $status (1 expected)"; fi
  if ! grep -q 'File too large' <<<"$said" || ! grep -qE '\.(dat|html|sim)' <<<"$said"; then
    ok=0
    echo "FAIL $name: no message naming the file: $said"
  fi
  if [[ -e "$out/.scenario-builder.lock" ]]; then ok=0; echo "FAIL $name: the lock is left"; fi
  for file in "$out"/*; do
    [[ -e "$file" ]] || continue
    local base
    base=$(basename "$file")
    if [[ "$base" == *.tmp ]]; then ok=0; echo "FAIL $name: a temporary is left: $base"; continue; fi
    if [[ -e "$work/whole/$base" ]] && ! cmp -s "$file" "$work/whole/$base"; then
      ok=0
      echo "FAIL $name: $base is not whole"
    fi
  done
  if ((ok)); then
    passes=$((passes + 1))
    echo "ok   $name: $said"
  else
    failures=$((failures + 1))
  fi
}

run_limited "build" "$work/build" build --no-window --out "$work/build"
run_limited "compile" "$work/compile" compile "$line" "$service" --out "$work/compile"
run_limited "view" "$work/view" view "$line" "$service" -o "$work/view/page.html"

echo "$passes passed, $failures failed"
((failures == 0))
