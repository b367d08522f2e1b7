#!/usr/bin/env bash
# Runs a command beside a throw-away PostgreSQL server reached through ODBC:
#
#     scripts/pg.sh COMMAND [ARGS...]
#
# A new cluster is made in a temporary folder, started on a free local port as an
# unprivileged user, and the PostgreSQL ODBC driver is registered in an odbcinst.ini of our
# own (ODBCSYSINI), never in the system's. The command runs with
#
#     MG_TEST_ODBC   an ODBC connection string of a database the command may fill and empty
#     MG_PG_PORT     the server's port,  MG_PG_BIN  the server's programs,
#     MG_PG_CTL      a script that stops the server at once ("stop") and starts it ("start"),
#     MG_PG_SOCKET   the folder of its socket (the administrator "mg" logs in there without
#                    a password; the program's login "tallowby" comes through TCP with one)
#     ODBCSYSINI, ODBCINSTINI   our driver registration
#
# and the server is stopped and everything removed when the command ends, however it ends.
# The exit status is the command's.
set -euo pipefail

pgbin=${MG_PG_BIN:-/usr/lib/postgresql/15/bin}
[ -x "$pgbin/initdb" ] || { echo "pg.sh: no PostgreSQL server programs in $pgbin" >&2; exit 2; }
driver=""
for d in /usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so /usr/lib/aarch64-linux-gnu/odbc/psqlodbcw.so \
         /usr/lib/*/odbc/psqlodbcw.so /usr/lib/odbc/psqlodbcw.so; do
  [ -f "$d" ] && { driver=$d; break; }
done
[ -n "$driver" ] || { echo "pg.sh: the PostgreSQL ODBC driver (odbc-postgresql) is not installed" >&2; exit 2; }

# The server refuses to run as root: it runs as an unprivileged user.
run_as=()
owner=$(id -un)
if [ "$(id -u)" -eq 0 ]; then
  owner=postgres
  id "$owner" >/dev/null 2>&1 || owner=nobody
  run_as=(runuser -u "$owner" --)
fi

dir=$(mktemp -d /tmp/mg-pg.XXXXXX)
chmod 755 "$dir"
started=0
cleanup() {
  local rc=$?
  if [ "$started" = 1 ]; then
    "${run_as[@]}" "$pgbin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$dir"
  exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mkdir "$dir/data" "$dir/sock" "$dir/log" "$dir/odbc"
chown "$owner" "$dir/data" "$dir/sock" "$dir/log" 2>/dev/null || true
"${run_as[@]}" "$pgbin/initdb" -D "$dir/data" -U mg --auth-local=trust --auth-host=scram-sha-256 -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 ||
  { cat "$dir/initdb.log" >&2; exit 2; }

# A free port: ask the kernel for one, then start on it (a race with another program is
# caught by the start failing, and retried).
for attempt in 1 2 3 4 5; do
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])' 2>/dev/null ||
         echo $((20000 + RANDOM % 20000)))
  server_options="-p $port -k $dir/sock -c listen_addresses=127.0.0.1 -c fsync=off -c full_page_writes=off -c max_connections=60 -c deadlock_timeout=200ms"
  if "${run_as[@]}" "$pgbin/pg_ctl" -D "$dir/data" -l "$dir/log/server.log" -w -t 30 \
       -o "$server_options" start >/dev/null 2>&1; then
    started=1
    break
  fi
done
[ "$started" = 1 ] || { echo "pg.sh: the server did not start" >&2; cat "$dir/log/server.log" >&2 || true; exit 2; }

# The administrator comes in through the socket; everyone else through TCP with a password,
# so that a wrong login fails as on the practice's server.
"${run_as[@]}" "$pgbin/psql" -h "$dir/sock" -p "$port" -U mg -d postgres -q -v ON_ERROR_STOP=1 \
  -c "CREATE ROLE tallowby LOGIN CREATEDB PASSWORD '7kub3'" -c "CREATE DATABASE marrowgate OWNER tallowby" >/dev/null

cat >"$dir/odbc/odbcinst.ini" <<EOF
[PostgreSQL Unicode]
Description=PostgreSQL ODBC driver
Driver=$driver
EOF
: >"$dir/odbc/odbc.ini"

# The server's own stop and start, for tests that stop it under a running import:
#     $MG_PG_CTL stop     (at once, as a power cut or a killed service would)
#     $MG_PG_CTL start    (on the same port, waiting until it takes connections)
cat >"$dir/ctl" <<EOF
#!/usr/bin/env bash
case "\$1" in
  stop)  exec ${run_as[*]} "$pgbin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 ;;
  start) exec ${run_as[*]} "$pgbin/pg_ctl" -D "$dir/data" -l "$dir/log/server.log" -w -t 30 -o "$server_options" start >/dev/null 2>&1 ;;
  *) echo "usage: \$0 stop|start" >&2; exit 2 ;;
esac
EOF
chmod 755 "$dir/ctl"

export ODBCSYSINI="$dir/odbc" ODBCINSTINI=odbcinst.ini ODBCINI="$dir/odbc/odbc.ini"
export MG_PG_PORT=$port MG_PG_BIN=$pgbin MG_PG_HOST=127.0.0.1 MG_PG_SOCKET=$dir/sock MG_PG_CTL=$dir/ctl
export MG_TEST_ODBC="Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=$port;Database=marrowgate;Uid=tallowby;Pwd=7kub3"
echo "pg.sh: PostgreSQL on 127.0.0.1:$port (data in $dir)" >&2

set +e
"$@"
rc=$?
set -e
exit $rc
