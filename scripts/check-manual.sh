#!/usr/bin/env bash
# Checks a manual page against its program's help: the page renders without a warning (as
# lintian renders it), and names every option the help, read from standard input, names.
#   iap-sim --help | scripts/check-manual.sh iap-sim.1.gz
set -euo pipefail
page=${1:?usage: $0 PAGE < HELP}

warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
[ -z "$warnings" ] || { printf '%s renders with warnings:\n%s\n' "$page" "$warnings" >&2; exit 1; }

# Wide enough that no option is broken across lines; hyphens and minus signs as typed.
text=$(LC_ALL=C.UTF-8 MANWIDTH=400 man -l "$page" 2>/dev/null | col -bx | sed 's/‐/-/g; s/−/-/g')
[ -n "$text" ] || { echo "$page renders as nothing" >&2; exit 1; }
options=$(grep -oE '(^|[][[:space:](,|])--?[A-Za-z][A-Za-z0-9-]*' | sed 's/^[^-]*//' | sort -u || true)
missing=()
for option in $options; do
  grep -qE -- "(^|[^A-Za-z0-9-])${option}([^A-Za-z0-9-]|$)" <<<"$text" || missing+=("$option")
done
[ ${#missing[@]} -eq 0 ] || { echo "$page lacks what --help names: ${missing[*]}" >&2; exit 1; }
