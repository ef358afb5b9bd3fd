#!/usr/bin/env bash
# The six files of the build without arguments, held to their SHA-256 digests.
# A change to any byte must come with an edit of embedded_build.sha256 and the
# reason in the commit message.
set -euo pipefail
program=$1
digests=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$program" "$work/"
(cd "$work" && ./"$(basename "$program")" --no-window >/dev/null)
rm "$work/$(basename "$program")"
# Exactly the six files, each with its digest.
diff <(cd "$work" && ls | sort) <(awk '{print $2}' "$digests" | sort)
(cd "$work" && sha256sum --check --quiet "$digests")
