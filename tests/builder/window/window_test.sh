#!/usr/bin/env bash
# The waiting window and the error box, watched from outside on a virtual X
# display while window_build_probe runs the build; and the terminal notice
# that stands in for them without a display or with --no-window.
#
#   window_test.sh CASE PROBE SCREENSHOT_CHECK OUTPUT_DIR
#
# The cases that need a display exit with status 77 (skipped) and say why
# when Xvfb or the tools that look at it are missing. Screenshots are left in
# OUTPUT_DIR.
set -euo pipefail

if (($# != 4)); then
  echo "usage: $0 CASE PROBE SCREENSHOT_CHECK OUTPUT_DIR" >&2
  exit 64
fi
case_name=$1
probe=$2
screenshot_check=$3
output_dir=$4

readonly skip_status=77
readonly window_title='scenario-builder'
readonly box_title='scenario-builder: errore'
readonly client_size=(280 179)
readonly label_rect=(64 64 177 53)
readonly binary_files_of_build=$'Vescara_Ormeda_4816.dat\nVescara_Ormeda_4816.sim\nVescara_Ormeda_linea.dat'

work=$(mktemp -d)
build_dir=$work/build
release_file=$work/release
xvfb_pid=
probe_pid=

cleanup() {
  if [[ -n $probe_pid ]] && kill -0 "$probe_pid" 2>/dev/null; then
    kill "$probe_pid" 2>/dev/null || true
    wait "$probe_pid" 2>/dev/null || true
  fi
  if [[ -n $xvfb_pid ]]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  for stream in out err; do
    if [[ -f $work/$stream ]]; then
      echo "--- probe std$stream" >&2
      cat "$work/$stream" >&2
    fi
  done
  exit 1
}

# Retries a command for up to 20 seconds.
wait_for() {
  local tries=200
  until "$@"; do
    ((--tries > 0)) || return 1
    sleep 0.1
  done
}

need_display_tools() {
  local missing=() tool
  for tool in Xvfb xdotool xwininfo xdpyinfo import; do
    command -v "$tool" >/dev/null || missing+=("$tool")
  done
  if ((${#missing[@]})); then
    echo "SKIPPED: no virtual display to test the window on: ${missing[*]} not installed" \
      "(Debian packages xvfb, xdotool, x11-utils and imagemagick; scripts/run-tests installs them)"
    exit "$skip_status"
  fi
}

# Starts a private Xvfb on the first free display number and points DISPLAY at it.
# Without -noreset the server starts over each time its last client leaves,
# and refuses connections meanwhile: the probe, connecting just after
# xdpyinfo has left, would meet a display that is not there.
start_display() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" \
    >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  wait_for test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  export DISPLAY=":$(head -n 1 "$work/display")"
  unset WAYLAND_DISPLAY
  # A loaded machine can take a moment between the server naming its display
  # and answering on it; the program must not meet a display that is not there
  # yet and fall back to the terminal.
  wait_for xdpyinfo >/dev/null 2>&1 || fail "Xvfb on $DISPLAY does not answer"
}

start_probe() {
  "$probe" "$build_dir" "$@" >"$work/out" 2>"$work/err" &
  probe_pid=$!
}

# Waits for the probe to end and checks its exit status.
expect_probe_status() {
  local status=0
  wait "$probe_pid" || status=$?
  probe_pid=
  ((status == $1)) || fail "the probe ended with status $status, expected $1"
}

printed() { grep -qxF -- "$1" "$work/out"; }
expect_printed() { printed "$1" || fail "the probe did not print: $1"; }
wait_printed() { wait_for printed "$1" || fail "the probe never printed: $1"; }
release() { touch "$release_file"; }

binary_files() {
  find "$build_dir" -maxdepth 1 \( -name '*.dat' -o -name '*.sim' \) -printf '%f\n' | sort
}

expect_no_binary_file() {
  local found
  found=$(binary_files)
  [[ -z $found ]] || fail "binary files written: $found"
}

# The visible windows whose title is exactly $1.
visible_windows() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true; }

one_visible_window() {
  local ids
  ids=$(visible_windows "$1")
  [[ -n $ids && $(wc -l <<<"$ids") -eq 1 ]] && echo "$ids"
}

wait_window() {
  local id
  wait_for one_visible_window "$1" >/dev/null || fail "no single visible window titled '$1'"
  id=$(one_visible_window "$1")
  echo "$id"
}

xwininfo_field() { xwininfo -id "$1" | sed -n "s/^ *$2: *//p"; }

# The waiting window seen from outside: its client size, then a screenshot
# in which the label is painted in its rectangle and nothing else is.
check_waiting_window() {
  local id=$1 shot_name=$2
  [[ $(xwininfo_field "$id" 'Map State') == IsViewable ]] || fail "the window is not viewable"
  [[ $(xwininfo_field "$id" Width) == "${client_size[0]}" ]] || fail "client width"
  [[ $(xwininfo_field "$id" Height) == "${client_size[1]}" ]] || fail "client height"
  import -window "$id" "$work/shot.ppm"
  "$screenshot_check" "$work/shot.ppm" "${client_size[@]}" "${label_rect[@]}" ||
    fail "the screenshot does not show the label"
  import -window "$id" "$output_dir/$shot_name.png"
}

case_window_shown_during_build() {
  need_display_tools
  start_display
  start_probe --hold write_line_text --hold write_output_files --hold end --release "$release_file"
  wait_printed 'holding at write_line_text'
  expect_printed 'notice: window'
  expect_printed "window \"$window_title\" client ${client_size[0]}x${client_size[1]} modal 0 children 1"
  expect_printed "  box \"Attendere\" at ${label_rect[0]},${label_rect[1]} size ${label_rect[2]}x${label_rect[3]} font \"Helvetica bold\" size 32"
  local id
  id=$(wait_window "$window_title")
  check_waiting_window "$id" waiting_window
  expect_no_binary_file

  # Still painted at the last step, after the whole compile ran unattended.
  release
  wait_printed 'holding at write_output_files'
  check_waiting_window "$id" waiting_window_last_step

  release
  wait_printed 'holding at end'
  expect_printed 'windows shown: 0'
  [[ -z $(visible_windows "$window_title") ]] || fail "the window is still up after the build"
  release
  expect_probe_status 0
  expect_printed 'exit status 0'
  [[ $(binary_files) == "$binary_files_of_build" ]] || fail "binary files: $(binary_files)"
}

# Forces 1250, checks the box and its one button from inside and outside,
# then closes it with the given xdotool action ("click" or "enter").
error_box_case() {
  local action=$1
  need_display_tools
  start_display
  start_probe --force-1250
  local id
  id=$(wait_window "$box_title")
  wait_for grep -q '^modal window' "$work/out" || fail "the probe never saw a modal window"
  local report
  report=$(sed -n '/^modal window/,$p' "$work/out")
  grep -qE "^modal window \"$box_title\" client [0-9]+x[0-9]+ modal 1 children 2\$" <<<"$report" ||
    fail "the box must be modal and hold exactly a text and a button"
  grep -qE '^  box " Errore n\. 1250" at ' <<<"$report" || fail "the box text"
  local button
  button=$(grep -E '^  button "OK" at [0-9]+,[0-9]+ size [0-9]+x[0-9]+ ' <<<"$report") ||
    fail "the box has no OK button"
  import -window "$id" "$output_dir/error_box.png"

  # The program waits for the user and has written no binary file.
  sleep 0.5
  kill -0 "$probe_pid" 2>/dev/null || fail "the program ended before the box was closed"
  expect_no_binary_file

  if [[ $action == click ]]; then
    local x y w h
    read -r x y w h < <(sed -E 's/^.* at ([0-9]+),([0-9]+) size ([0-9]+)x([0-9]+) .*$/\1 \2 \3 \4/' <<<"$button")
    xdotool mousemove --window "$id" $((x + w / 2)) $((y + h / 2)) click 1
  else
    xdotool windowfocus --sync "$id" key Return
  fi
  expect_probe_status 3
  expect_printed 'exit status 3'
  expect_no_binary_file
}

case_error_box_ok_click_ends_build() { error_box_case click; }
case_error_box_enter_ends_build() { error_box_case enter; }

case_no_window_flag_uses_terminal() {
  need_display_tools
  start_display
  start_probe --no-window --hold write_line_text --release "$release_file"
  wait_printed 'holding at write_line_text'
  expect_printed 'notice: terminal'
  expect_printed 'Attendere'
  [[ -z $(xdotool search --name "$window_title" 2>/dev/null || true) ]] ||
    fail "a window was created despite --no-window"
  release
  expect_probe_status 0
}

case_no_display_uses_terminal() {
  # No display named at all: the fatal error goes to standard error.
  env -u DISPLAY -u WAYLAND_DISPLAY "$probe" "$build_dir" --force-1250 >"$work/out" 2>"$work/err" &
  probe_pid=$!
  expect_probe_status 3
  expect_printed 'notice: terminal'
  expect_printed 'Attendere'
  grep -qxF ' Errore n. 1250' "$work/err" || fail "standard error lacks ' Errore n. 1250'"
  expect_no_binary_file

  # Displays that are named but do not answer: an X display nobody serves,
  # and a Wayland one, which this toolkit cannot use. The same terminal
  # notice, and the build completes instead of the process being ended.
  local number=200
  while [[ -e /tmp/.X11-unix/X$number || -e /tmp/.X$number-lock ]]; do ((++number)); done
  local display_env
  for display_env in "DISPLAY=:$number" "WAYLAND_DISPLAY=wayland-$number"; do
    rm -rf "$build_dir"
    env -u DISPLAY -u WAYLAND_DISPLAY "$display_env" "$probe" "$build_dir" \
      >"$work/out" 2>"$work/err" &
    probe_pid=$!
    expect_probe_status 0
    expect_printed 'notice: terminal'
    [[ ! -s $work/err ]] || fail "standard error with $display_env: $(cat "$work/err")"
    [[ $(binary_files) == "$binary_files_of_build" ]] || fail "binary files: $(binary_files)"
  done
}

# A window module found first that is not this program's (here a library of
# another name put in its place) is refused, said on standard error, and the
# build goes on with the terminal notice.
case_foreign_module_is_refused() {
  local number=200
  while [[ -e /tmp/.X11-unix/X$number || -e /tmp/.X$number-lock ]]; do ((++number)); done
  local other_library
  other_library=$(ldd "$probe" | awk '$1 ~ /^libfmt/ {print $3}')
  [[ -f $other_library ]] || fail "the probe links no libfmt to stand in for the module"
  mkdir "$work/modules"
  cp "$other_library" "$work/modules/scenario-builder-window.so"
  env -u WAYLAND_DISPLAY DISPLAY=":$number" LD_LIBRARY_PATH="$work/modules" "$probe" "$build_dir" \
    >"$work/out" 2>"$work/err" &
  probe_pid=$!
  expect_probe_status 0
  expect_printed 'notice: terminal'
  grep -q "^no waiting window: $work/modules/scenario-builder-window.so was not built with this program" \
    "$work/err" || fail "standard error does not refuse the module: $(cat "$work/err")"
  [[ $(binary_files) == "$binary_files_of_build" ]] || fail "binary files: $(binary_files)"
}

# The program itself, copied where it builds: with no arguments and with
# `build` it takes the window when a display answers (nothing on standard
# output), and the terminal notice with --no-window, alone or after `build`.
case_program_picks_its_notice() {
  [[ -n ${SCENARIO_BUILDER:-} ]] || fail "SCENARIO_BUILDER does not name the program"
  need_display_tools
  start_display
  local home=$work/program
  mkdir -p "$home"
  cp "$SCENARIO_BUILDER" "$home/scenario-builder"
  local args expected status
  for args in "" "--no-window" "build" "build --no-window"; do
    rm -f "$home"/*.dat "$home"/*.sim
    expected=$([[ $args == *--no-window* ]] && echo Attendere || true)
    status=0
    # shellcheck disable=SC2086 # the arguments are words on purpose
    "$home/scenario-builder" $args >"$work/out" 2>"$work/err" || status=$?
    ((status == 0)) || fail "'scenario-builder $args' ended with status $status"
    [[ $(cat "$work/out") == "$expected" ]] ||
      fail "'scenario-builder $args' printed '$(cat "$work/out")', expected '$expected'"
    [[ -z $(xdotool search --name "$window_title" 2>/dev/null || true) ]] ||
      fail "a window is left after 'scenario-builder $args'"
    [[ $(find "$home" -maxdepth 1 \( -name '*.dat' -o -name '*.sim' \) -printf '%f\n' | sort) == \
      "$binary_files_of_build" ]] || fail "'scenario-builder $args' did not write the three files"
  done
}

if ! declare -F "case_$case_name" >/dev/null; then
  echo "unknown case: $case_name" >&2
  exit 64
fi
mkdir -p "$output_dir"
"case_$case_name"
echo "PASS: $case_name"
