#!/usr/bin/env bash
# Checks udev rule files as udev would read them: `udevadm verify` where the installed udev has
# it (253 and later); otherwise a parse of its own that refuses a malformed line, an unknown key,
# an operator the key does not take, and a GOTO without its LABEL. Prints each fault as
# FILE:LINE: what; exits 1 when there is one.
#   scripts/check-udev-rules.sh FILE...
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: $0 FILE..." >&2; exit 2; }

if udevadm verify --help >/dev/null 2>&1; then
  exec udevadm verify --resolve-names=never "$@"
fi

status=0
for file in "$@"; do
  awk -v file="$file" '
    function fault(what) { printf "%s:%d: %s\n", file, start, what; faults++ }
    function check(rule,    key, attr, op, clause, n) {
      n = 0
      while (rule != "") {
        if (!match(rule, /^[A-Z_]+/)) { fault("no key at \"" rule "\""); return }
        key = substr(rule, 1, RLENGTH); rule = substr(rule, RLENGTH + 1)
        attr = ""
        if (match(rule, /^\{[^{}"]*\}/)) { attr = substr(rule, 2, RLENGTH - 2); rule = substr(rule, RLENGTH + 1) }
        sub(/^[ \t]+/, "", rule)
        if (!match(rule, /^(==|!=|\+=|-=|:=|=)/)) { fault(key ": no operator"); return }
        op = substr(rule, 1, RLENGTH); rule = substr(rule, RLENGTH + 1)
        sub(/^[ \t]+/, "", rule)
        if (!match(rule, /^[er]?"([^"\\]|\\.)*"/)) { fault(key ": the value is not a quoted string"); return }
        clause = substr(rule, 1, RLENGTH); rule = substr(rule, RLENGTH + 1)
        n++
        if (!(key in kinds)) fault("unknown key " key)
        else if (kinds[key] == "match" && op != "==" && op != "!=") fault(key " only compares (== or !=), not " op)
        else if (kinds[key] == "assign" && (op == "==" || op == "!=")) fault(key " only assigns, not " op)
        else if (kinds[key] == "label" && op != "=") fault(key " takes =, not " op)
        if (key in needsAttr && attr == "") fault(key " needs {name}")
        if (attr != "" && !(key in takesAttr)) fault(key " takes no {" attr "}")
        if (key == "LABEL") { clause = substr(clause, index(clause, "\"") + 1); labels[substr(clause, 1, length(clause) - 1)] = 1 }
        if (key == "GOTO") { clause = substr(clause, index(clause, "\"") + 1); gotos[substr(clause, 1, length(clause) - 1)] = start }
        sub(/^[ \t]*/, "", rule)
        if (rule == "") break
        if (substr(rule, 1, 1) != ",") { fault("expected , before \"" rule "\""); return }
        rule = substr(rule, 2); sub(/^[ \t]+/, "", rule)
        if (rule == "") fault("a , ends the line")
      }
    }
    BEGIN {
      split("ACTION DEVPATH KERNEL KERNELS SUBSYSTEM SUBSYSTEMS DRIVERS ATTRS TAGS TEST PROGRAM RESULT CONST", m, " ")
      for (i in m) kinds[m[i]] = "match"
      split("NAME SYMLINK DRIVER ATTR SYSCTL ENV TAG IMPORT", b, " ")
      for (i in b) kinds[b[i]] = "both"
      split("OWNER GROUP MODE OPTIONS RUN SECLABEL", a, " ")
      for (i in a) kinds[a[i]] = "assign"
      kinds["LABEL"] = "label"; kinds["GOTO"] = "label"
      split("ATTR ATTRS SYSCTL ENV IMPORT SECLABEL CONST", n, " ")
      for (i in n) needsAttr[n[i]] = 1
      split("ATTR ATTRS SYSCTL ENV IMPORT SECLABEL CONST TEST RUN", t, " ")
      for (i in t) takesAttr[t[i]] = 1
    }
    {
      if (pending == "") start = NR
      line = pending $0
      if (line ~ /\\$/) { pending = substr(line, 1, length(line) - 1); next }
      pending = ""
      sub(/^[ \t]+/, "", line); sub(/[ \t]+$/, "", line)
      if (line == "" || line ~ /^#/) next
      check(line)
    }
    END {
      if (pending != "") { start = NR; fault("the last line goes on past the end") }
      for (target in gotos) if (!(target in labels)) { start = gotos[target]; fault("GOTO \"" target "\" has no LABEL") }
      exit faults > 0
    }
  ' "$file" || status=1
done
exit $status
