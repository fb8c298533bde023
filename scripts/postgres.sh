#!/usr/bin/env bash
# A private PostgreSQL server for the tests and benchmarks, in a folder of its own, on this
# machine only: trust authentication (but for the role iap_password over TCP, which must give its
# password), a Unix socket in the folder and 127.0.0.1 on a free port.
#   postgres.sh start DIR   starts it with a database "iaptest"; prints its URL and writes it to
#                           DIR/url (the socket's form to DIR/socket-url)
#   postgres.sh stop DIR    stops it and removes DIR
# initdb refuses root: as root the server runs as the system user postgres, which owns DIR.
# Debian's own cluster, if its package made one, is neither used nor touched.
set -euo pipefail
action=${1:-}
dir=${2:-}
if [ -z "$dir" ] || { [ "$action" != start ] && [ "$action" != stop ]; }; then
  echo "usage: $0 start|stop DIR" >&2
  exit 2
fi
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -n "$bin" ] || { echo "PostgreSQL's server is not installed (scripts/install-deps.sh --for-tests)" >&2; exit 1; }
as_owner=()
if [ "$(id -u)" -eq 0 ]; then
  id -u postgres >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin postgres
  as_owner=(runuser -u postgres --)
fi

if [ "$action" = stop ]; then
  if [ -f "$dir/data/postmaster.pid" ]; then
    "${as_owner[@]}" "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null
  fi
  # Only a folder this script made is removed, whatever was named by mistake.
  if [ -f "$dir/initdb.log" ]; then rm -rf "$dir"; fi
  exit 0
fi

mkdir -p "$dir"
# The socket must be reachable by whoever runs the tests; the data stays private.
chmod 755 "$dir"
if [ ${#as_owner[@]} -gt 0 ]; then
  chown postgres: "$dir"
  runuser -u postgres -- test -x "$dir" || { echo "$dir: the user postgres cannot reach it (a parent folder is closed)" >&2; exit 1; }
fi
"${as_owner[@]}" "$bin/initdb" -D "$dir/data" -U postgres -A trust -E UTF8 --locale=C --no-sync >"$dir/initdb.log" 2>&1 ||
  { cat "$dir/initdb.log" >&2; exit 1; }
# One role must give its password, so that the tests see a password reach the server.
"${as_owner[@]}" sed -i '1i host all iap_password 127.0.0.1/32 scram-sha-256' "$dir/data/pg_hba.conf"
# A port another program holds makes the start fail; the next try takes another.
for attempt in 1 2 3 4 5 6 7 8 9 10; do
  port=$((20000 + RANDOM % 30000))
  if "${as_owner[@]}" "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 \
       -o "-p $port -k $dir -c listen_addresses=127.0.0.1" start >/dev/null; then
    "${as_owner[@]}" "$bin/createdb" -h "$dir" -p "$port" -U postgres iaptest
    echo "postgresql://postgres@127.0.0.1:$port/iaptest" >"$dir/url"
    echo "postgresql://postgres@localhost:$port/iaptest?host=$dir" >"$dir/socket-url"
    cat "$dir/url"
    exit 0
  fi
done
cat "$dir/server.log" >&2
exit 1
