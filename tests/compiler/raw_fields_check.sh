#!/usr/bin/env bash
# Fails when source code outside the typed views, the encoders and the decoders
# reaches into the generic fields of a cell or a table slot: a cell's param1 to
# param4, a slot's group and flag fields, or any field but the name of a
# parameter slot (81 to 86). Everything else reads and writes them through the
# views of compiler/cell_views.h and compiler/slot_views.h.
#
# Usage: raw_fields_check.sh SOURCE_ROOT
set -euo pipefail
root=$1

# The files that may touch the raw fields, each with its reason.
allowed=(
  compiler/model.h           # declares them
  compiler/cell_views.h      # the cell views
  compiler/cell_views.cpp
  compiler/slot_views.h      # the slot views
  compiler/slot_views.cpp
  compiler/encoding.h        # the encoders
  compiler/encoding.cpp
  compiler/decoding.h        # the decoders, and the tools' field lists
  compiler/decoding.cpp
  # A text row's own fields, named after the slot fields they fill: not the model.
  scenario/service_points.h
  scenario/service_text.cpp
  bench/large_scenario.cpp
  # To convert to the views: a station's own flags and groups, which the
  # service reader copies from its row and the row recovery copies back.
  compiler/service_reader.cpp
  compiler/row_recovery.cpp
  # To convert to the views: the slot a cell names, in the conflict's words.
  compiler/diagnostics.cpp
)

# A member access to a generic field: `.param1`, `->group2_b`, `.flag_c`.
generic_field='(\.|->)\s*(param[1-4]|group[12]_[abc]|flag_[abc])\b'
# A parameter slot reached by its index, for anything but its name.
parameter_slot='slots\s*\[\s*(compiler::)?(progressive_slot_first|line_parameter_slot|route_parameter_slot|train_parameter_slot|8[1-6])\b[^]]*\](?!\s*\.\s*name\b)'

cd "$root"
found=0
scanned=0
while IFS= read -r -d '' file; do
  file=${file#./}
  scanned=$((scanned + 1))
  for ok in "${allowed[@]}"; do
    [[ $file == "$ok" ]] && continue 2
  done
  status=0
  grep -nHP "(?:$generic_field)|(?:$parameter_slot)" "$file" || status=$?
  case $status in
    0) found=1 ;;
    1) ;;
    *) echo "could not search $file" >&2; exit 2 ;;
  esac
done < <(find ./compiler ./builder ./viewer ./documents ./scenario ./bench ./fuzz \
           \( -name '*.cpp' -o -name '*.h' \) -print0 2>/dev/null)

if [[ $scanned == 0 ]]; then
  echo "no source files under $root" >&2
  exit 2
fi
if [[ $found != 0 ]]; then
  echo "raw fields of a cell or a slot touched above: use the views of" \
       "compiler/cell_views.h and compiler/slot_views.h" >&2
  exit 1
fi
echo "no raw field access outside the views, the encoders and the decoders"
