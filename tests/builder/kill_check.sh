#!/usr/bin/env bash
# tests/builder/kill_check.sh PROGRAM GEN_LARGE [KILLS]
#
# Kills builds at random moments, KILLS times (default 200): the embedded
# build into one folder, often two of them at once, and the compile of a
# 1,000 km line into another. After every kill each output in the folder is
# whole (byte for byte the reference build's, or absent), and no temporary
# file a run left survives the next run into that folder, which takes the
# folder's lock and clears them. A last run into each folder must end
# cleanly and leave nothing but its outputs: no lock file, no temporary file,
# no description text.
set -euo pipefail
program=$(realpath "$1")
gen_large=$(realpath "$2")
kills=${3:-200}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

mkdir ref built texts ref_large large
"$program" build --no-window --out ref >/dev/null
mapfile -t generated < <("$gen_large" --length 1000000 --out texts)
large_args=(compile "${generated[2]}" "${generated[3]}")
"$program" "${large_args[@]}" --out ref_large >/dev/null
"$program" export-sources --out ref >/dev/null  # the texts a killed build may leave

# Every file in $1 is whole: the same bytes as its namesake in $2, or a
# temporary or lock file a killed run may leave (counted in $left).
left=0
check_whole() {
  local folder=$1 reference=$2 file name
  for file in "$folder"/* "$folder"/.[!.]*; do
    [[ -e $file ]] || continue
    name=$(basename "$file")
    case $name in
      *.tmp | .scenario-builder.lock) left=$((left + 1)) ;;
      *) cmp -s "$file" "$reference/$name" || fail "$folder/$name is not whole after kill $i" ;;
    esac
  done
}

random_delay() {  # $1: milliseconds at most
  printf '0.%03d' $((RANDOM % $1))
}

temporaries_seen=0
for ((i = 1; i <= kills; i++)); do
  if ((i % 4 == 0)); then
    # The compile of the longest line, killed while it writes 20 MB.
    "$program" "${large_args[@]}" --out large >/dev/null 2>&1 &
    pid=$!
    sleep "$(random_delay 60)"
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    left=0
    check_whole large ref_large
  else
    # One build, or two at once, one of which is killed.
    "$program" build --no-window --out built >/dev/null 2>&1 &
    pid=$!
    other=
    if ((i % 2 == 1)); then
      "$program" build --no-window --out built >/dev/null 2>"$work/other.err" &
      other=$!
    fi
    sleep "$(random_delay 12)"
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    if [[ -n $other ]]; then
      # The other run, if not killed, finishes: it either waited for the
      # killed one and built, or ran first.
      status=0
      wait "$other" || status=$?
      ((status == 0)) || fail "the run beside the killed one ended with $status: $(cat "$work/other.err")"
    fi
    left=0
    check_whole built ref
  fi
  if compgen -G "built/*.tmp" >/dev/null || compgen -G "large/*.tmp" >/dev/null; then
    temporaries_seen=$((temporaries_seen + 1))
  fi
done

# A last run into each folder takes over whatever the kills left.
"$program" build --no-window --out built >/dev/null || fail "the last build failed"
"$program" "${large_args[@]}" --out large >/dev/null || fail "the last compile failed"
for pair in "built ref" "large ref_large"; do
  set -- $pair
  left=0
  check_whole "$1" "$2"
  ((left == 0)) || fail "$1 holds files the runs left: $(ls -A "$1")"
done
[[ $(ls -A built | wc -l) -eq 6 ]] || fail "built holds $(ls -A built)"
[[ $(ls -A large | wc -l) -eq 3 ]] || fail "large holds $(ls -A large)"
echo "$kills kills: every output whole; $temporaries_seen kills left a temporary file, each removed by the next run"
