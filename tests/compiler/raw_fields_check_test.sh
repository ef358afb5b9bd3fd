#!/usr/bin/env bash
# Holds raw_fields_check.sh to its word: each line below is put alone in a
# file of a small source tree, and the check must fail on it or pass it as the
# table says.
set -euo pipefail
check=$(dirname "$0")/raw_fields_check.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# expected status | file | line
cases=(
  '1|compiler/signals.cpp|cell.param1 = speed;'
  '1|viewer/route_tables.cpp|return held->param4;'
  '1|builder/inspect.cpp|number(r . group2_c)'
  '1|documents/card.cpp|if (station.flag_b != 0) {}'
  '1|fuzz/probe.cpp|const auto& line = stations.slots[line_parameter_slot];'
  '1|bench/probe.cpp|stations.slots[compiler::train_parameter_slot].start = 4;'
  '1|compiler/line_elements.cpp|slots[progressive_slot_first + i].finish += 100;'
  '1|compiler/line_reader.cpp|r.model.stations.slots[line_parameter_slot].finish = row.length;'
  '1|compiler/decompile.cpp|return cut && c.param1 == protection_code;'
  '1|scenario/probe.cpp|return table.slots[86].position;'
  '1|compiler/probe.h|x = slots[85].departure_time;'
  # Unrelated names, and what the check lets through.
  '0|compiler/compile.cpp|slots[route_parameter_slot].name = settings.route_base_name;'
  '0|compiler/competition_codes.cpp|std::string_view(stations.slots[train_parameter_slot].name)'
  '0|compiler/probe.cpp|const std::string_view names[] = {"flag_a", "group1_a", "param1"};'
  '0|compiler/probe.cpp|row.param10 = my_param1 + group3_a + flag_d + params1;'
  '0|compiler/probe.cpp|last = slots[slot].finish + slots[80].start + slots[8].position;'
  '0|compiler/probe.cpp|const auto x = slots[860].start;'
  '0|compiler/probe.cpp|std::int16_t param1 = 0;'
  # The views, the encoders and the decoders may.
  '0|compiler/cell_views.cpp|cell.param1 = slowdown.speed;'
  '0|compiler/slot_views.cpp|stations.slots[train_parameter_slot].group1_a = train.sand;'
  '0|compiler/encoding.cpp|put_i16(out, cell.param4);'
  '0|compiler/decoding.cpp|r.flag_c = read_u8(in);'
  # Files the check does not read.
  '0|tests/compiler/probe_test.cpp|EXPECT_EQ(cell.param1, 30);'
  '0|compiler/notes.txt|cell.param1'
)

failures=0
for c in "${cases[@]}"; do
  IFS='|' read -r expected file line <<<"$c"
  rm -rf "$work/tree"
  mkdir -p "$work/tree/compiler" "$work/tree/$(dirname "$file")"
  echo 'int unrelated = 0;' >"$work/tree/compiler/model.h"
  echo "$line" >"$work/tree/$file"
  status=0
  "$check" "$work/tree" >/dev/null 2>&1 || status=$?
  if [[ $status != "$expected" ]]; then
    echo "FAILED: $file: $line: status $status, expected $expected"
    failures=$((failures + 1))
  fi
done
echo "$((${#cases[@]} - failures)) passed, $failures failed"
[[ $failures == 0 ]]
