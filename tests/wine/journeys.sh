# The Windows program under Wine, driven from the command line as the practice's users run it.
# Sourced by scripts/windows-test.sh (inside scripts/pg.sh, with a Wine prefix made): uses
# its $wine, $work, $MG_WINE_EMBEDDED and pass/fail/skip.
#
#     journeys WINDOWS_PROGRAM LINUX_PROGRAM

psql_admin() { "$MG_PG_BIN/psql" -h "$MG_PG_SOCKET" -p "$MG_PG_PORT" -U mg -v ON_ERROR_STOP=1 -qAt "$@"; }

# A vorn.ini for a database of the test server, with Windows line ends.
server_ini() {
  printf '[database]\r\ndriver=odbc\r\nodbcdriver=PostgreSQL Unicode\r\ndialect=postgresql\r\nserver=127.0.0.1\r\nport=%s\r\ndatabase=%s\r\n' \
    "$MG_PG_PORT" "$1" >"$2/vorn.ini"
}

# Every row of every table of a server database, one line each, sorted; columns of a time of
# day or a moment (when a run posted), and the station and folder a run was made from, are
# left out, so two runs of the same day from two folders compare.
server_rows() {
  local db=$1 table cols
  for table in $(psql_admin -d "$db" -c "SELECT table_name FROM information_schema.tables WHERE table_schema = 'public' ORDER BY 1"); do
    cols=$(psql_admin -d "$db" -c "SELECT string_agg(quote_ident(column_name), ',' ORDER BY ordinal_position) FROM information_schema.columns
             WHERE table_schema = 'public' AND table_name = '$table' AND data_type NOT LIKE 'time%'
               AND NOT (table_name = 'mg_importruns' AND column_name IN ('station', 'folder'))")
    psql_admin -d "$db" -c "COPY (SELECT '$table', $cols FROM \"$table\") TO STDOUT" | LC_ALL=C sort
  done
}

# The Unix name of a folder as the Windows program sees it (Wine's drive Z: is /).
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# Runs the Windows program in a folder; its messages go to messages.txt there.
win() {
  local dir=$1
  shift
  (cd "$dir" && "$wine" "$windows_program" "$@" >>messages.txt 2>&1)
}

# More attachments in an embedded demo database: copies FROM to TO of the demo's own, each
# with new tracking references, so that an import runs long enough to be met while it runs.
more_attachments() {
  python3 - "$1" "$2" "$3" <<'EOF'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
cols = [r[1] for r in db.execute("PRAGMA table_info(DiaryAttachments)") if not r[5] or r[1] == "TRACKREFERENCE"]
copy = ["TRACKREFERENCE + ?" if c == "TRACKREFERENCE" else c for c in cols]
for k in range(int(sys.argv[2]), int(sys.argv[3]) + 1):
    db.execute("INSERT INTO DiaryAttachments (%s) SELECT %s FROM DiaryAttachments WHERE TRACKREFERENCE < 30000"
               % (",".join(cols), ",".join(copy)), (k * 10000,))
db.commit()
EOF
}

# Runs the outlay import in the background (its Unix process id in $import_pid) and waits
# until it holds the lock of the database (its lock file names a process).
start_import() {
  local dir=$1 lock=$2
  rm -f "$lock"  # a lock file left by an earlier run holds nothing, but names its process
  (cd "$dir" && exec "$wine" "$windows_program" import-outlays >>messages.txt 2>&1) &
  import_pid=$!
  for _ in $(seq 1 300); do
    grep -q '^pid=[1-9]' "$lock" 2>/dev/null && break
    sleep 0.1
  done
}

# The comparison with the Linux program: the same demo on two server databases, the same
# dry runs, imports and rows.
journey_same_rows() {
  local linux=$1 side
  if [ ! -x "$linux" ]; then
    skip "same rows as the Linux program: no Linux program at $linux (build it first)"
    return
  fi
  for side in linux windows; do
    psql_admin -d postgres -c "CREATE DATABASE mg_$side OWNER tallowby"
    mkdir -p "$work/$side"
    server_ini "mg_$side" "$work/$side"
  done
  (cd "$work/linux" && "$linux" init-db --demo && "$linux" import-outlays --dry-run --csv outlays.csv &&
    "$linux" import-fees --dry-run --csv fees.csv && "$linux" import-outlays && "$linux" import-fees) >"$work/linux/messages.txt" 2>&1 ||
    { cat "$work/linux/messages.txt"; fail "same rows: the Linux program's runs"; return; }
  local w=$work/windows
  win "$w" init-db --demo && win "$w" import-outlays && win "$w" import-fees ||
    { cat "$w/messages.txt"; fail "same rows: the Windows program's runs"; return; }
  if diff <(server_rows mg_linux) <(server_rows mg_windows) >"$work/rows.diff"; then
    pass "init-db --demo and both imports give the same rows under Wine as on Linux ($(server_rows mg_windows | wc -l) rows)"
  else
    head -40 "$work/rows.diff"
    fail "the Windows program's rows differ from the Linux program's"
  fi
  # The dry runs copy the server's tables into an embedded database.
  if [ "$MG_WINE_EMBEDDED" != 1 ]; then
    skip "dry runs under Wine: no winsqlite3.dll (Windows' own SQLite is not part of Wine) and no stand-in could be built"
    return
  fi
  psql_admin -d postgres -c "DROP DATABASE mg_windows" -c "CREATE DATABASE mg_windows OWNER tallowby"
  rm -f "$w"/Quillerton.ini*
  if win "$w" init-db --demo && win "$w" import-outlays --dry-run --csv outlays.csv && win "$w" import-fees --dry-run --csv fees.csv &&
    cmp -s "$work/linux/outlays.csv" "$w/outlays.csv" && cmp -s "$work/linux/fees.csv" "$w/fees.csv"; then
    pass "both dry runs give the same rows under Wine as on Linux"
  else
    tail -5 "$w/messages.txt"
    diff "$work/linux/outlays.csv" "$w/outlays.csv" | head -10
    diff "$work/linux/fees.csv" "$w/fees.csv" | head -10
    fail "the dry runs under Wine"
  fi
}

# The INI files in each of their encodings, with Windows line ends, in folders and with a
# database file whose names have non-ASCII letters; the tracking reference written back in
# the file's own encoding, its other lines kept.
journey_encodings() {
  if [ "$MG_WINE_EMBEDDED" != 1 ]; then
    skip "INI encodings and non-ASCII names: no winsqlite3.dll in Wine for the embedded database"
    return
  fi
  local enc dir ok=1 bytes
  for enc in ansi utf8 utf16; do
    dir="$work/Kanzlei Müller/$enc Akten"
    mkdir -p "$dir"
    local vorn=$'[database]\r\n; Datenbank der Kanzlei Müller\r\ndriver=sqlite\r\ndatabase=Akten Ørsted.db\r\n'
    local quill=$'; Zähler der Auslagen\r\n[DocumentOutlays]\r\nLastTrackRef=0\r\n'
    case $enc in
      ansi) printf '%s' "$vorn" | iconv -f UTF-8 -t CP1252 >"$dir/vorn.ini"
            printf '%s' "$quill" | iconv -f UTF-8 -t CP1252 >"$dir/Quillerton.ini" ;;
      utf8) printf '\xef\xbb\xbf%s' "$vorn" >"$dir/vorn.ini"
            printf '\xef\xbb\xbf%s' "$quill" >"$dir/Quillerton.ini" ;;
      utf16) { printf '\xff\xfe'; printf '%s' "$vorn" | iconv -f UTF-8 -t UTF-16LE; } >"$dir/vorn.ini"
             { printf '\xff\xfe'; printf '%s' "$quill" | iconv -f UTF-8 -t UTF-16LE; } >"$dir/Quillerton.ini" ;;
    esac
    if ! win "$dir" init-db --demo "Akten Ørsted.db" || ! win "$dir" import-outlays || [ ! -f "$dir/Akten Ørsted.db" ]; then
      tail -5 "$dir/messages.txt"
      ok=0
      continue
    fi
    local text
    case $enc in
      ansi) text=$(iconv -f CP1252 -t UTF-8 "$dir/Quillerton.ini") ;;
      utf8) [ "$(head -c3 "$dir/Quillerton.ini" | od -An -tx1 | tr -d ' ')" = efbbbf ] || ok=0
            text=$(tail -c +4 "$dir/Quillerton.ini") ;;
      utf16) [ "$(head -c2 "$dir/Quillerton.ini" | od -An -tx1 | tr -d ' ')" = fffe ] || ok=0
             text=$(tail -c +3 "$dir/Quillerton.ini" | iconv -f UTF-16LE -t UTF-8) ;;
    esac
    bytes=$(printf '%s' "$text" | tr -d '\r' | grep -c '' || true)
    if ! printf '%s' "$text" | grep -q $'^; Zähler der Auslagen\r$' || ! printf '%s' "$text" | grep -q $'^LastTrackRef=20021\r$' ||
       [ "$(printf '%s' "$text" | grep -c $'\r$')" -ne "$bytes" ]; then
      echo "Quillerton.ini ($enc) after the import:"
      printf '%s\n' "$text" | cat -A | head
      ok=0
    fi
  done
  if [ "$ok" = 1 ]; then
    pass "vorn.ini and Quillerton.ini as ANSI, UTF-8 and UTF-16 with CRLF, in 'Kanzlei Müller', database 'Akten Ørsted.db': read, and written back in their encoding"
  else
    fail "INI encodings and non-ASCII names under Wine"
  fi
}

# Two outlay imports at once on one embedded database from two folders: the second is refused
# by the lock file (LockFileEx), naming the folder where the first runs; then Ctrl+C ends an
# import after its cycle, and the next run posts the rest, each attachment once.
journey_lock_and_ctrl_c() {
  if [ "$MG_WINE_EMBEDDED" != 1 ]; then
    skip "two imports at once and Ctrl+C: no winsqlite3.dll in Wine for the embedded database"
    return
  fi
  local base="$work/Sozietät" db first second lock rc
  first="$base/Büro Nord"
  second="$base/Büro Süd"
  mkdir -p "$first" "$second"
  db="$base/Praxis Ølund.db"
  printf '[database]\r\ndriver=sqlite\r\ndatabase=%s\r\n' "$(winpath "$db")" | tee "$first/vorn.ini" >"$second/vorn.ini"
  win "$first" init-db --demo "$(winpath "$db")" || { tail -3 "$first/messages.txt"; fail "two imports: init-db"; return; }
  # The demo's outlays are posted up to its Quillerton.ini, made beside it: the first folder
  # starts there.
  cp "$base/Quillerton.ini" "$first/Quillerton.ini"
  local seeded
  seeded=$(sqlite3 "$db" "SELECT count(*) FROM BatchDetails")
  more_attachments "$db" 1 30
  lock="$db.outlay-import.lock"
  start_import "$first" "$lock"
  win "$second" import-outlays && rc=0 || rc=$?
  local rc1
  wait "$import_pid" && rc1=0 || rc1=$?
  if [ "$rc" -ne 0 ] && grep -q "Another outlay import is running on this database, on .* in $(winpath "$first" | sed 's/\\/\\\\/g') (process [0-9]*) since" "$second/messages.txt" &&
     [ "$rc1" -eq 0 ] && [ ! -e "$second/Quillerton.ini" ]; then
    pass "a second import from another folder is refused by the lock file, naming the folder where the first runs"
  else
    echo "first (exit $rc1):"; tail -3 "$first/messages.txt"
    echo "second (exit $rc):"; tail -5 "$second/messages.txt"
    fail "two imports at once under Wine"
  fi

  # Ctrl+C: Wine turns SIGINT into the console's Ctrl+C for the program. The demo and its 30
  # copies are posted; 60 more copies follow, each to be posted once, whatever the stop.
  local per_set before after total
  per_set=$(( ($(sqlite3 "$db" "SELECT count(*) FROM BatchDetails") - seeded) / 31 ))
  more_attachments "$db" 31 90
  before=$(sqlite3 "$db" "SELECT count(*) FROM BatchDetails")
  : >"$first/messages.txt"
  start_import "$first" "$lock"
  sleep 0.5
  kill -INT "$import_pid" 2>/dev/null || true
  wait "$import_pid" && rc=0 || rc=$?
  after=$(sqlite3 "$db" "SELECT count(*) FROM BatchDetails")
  win "$first" import-outlays || true
  total=$(sqlite3 "$db" "SELECT count(*) FROM BatchDetails")
  if [ "$rc" -eq 130 ] && grep -q "Cancel: the run ends after the current cycle" "$first/messages.txt" && [ "$after" -gt "$before" ] &&
     [ "$total" -gt "$after" ] && [ "$per_set" -gt 0 ] && [ "$total" -eq $((seeded + per_set * 91)) ]; then
    pass "Ctrl+C ends an import after its cycle (exit 130, $((after - before)) of $((total - before)) lines posted), the next run posts the rest once"
  else
    echo "exit $rc; $per_set lines a copy; lines before $before, after Ctrl+C $after, after the next run $total (expected $((seeded + per_set * 91)))"
    tail -5 "$first/messages.txt"
    fail "Ctrl+C under Wine"
  fi
}

# --trace-sql: every statement sent to the server, in a file whose name has non-ASCII letters.
journey_trace() {
  local dir="$work/trace"
  mkdir -p "$dir"
  psql_admin -d postgres -c "CREATE DATABASE mg_trace OWNER tallowby"
  server_ini mg_trace "$dir"
  if win "$dir" init-db --demo && win "$dir" --trace-sql "Ablauf Ü.txt" import-fees && [ -s "$dir/Ablauf Ü.txt" ] &&
     grep -qi "select" "$dir/Ablauf Ü.txt" && grep -qi "insert" "$dir/Ablauf Ü.txt"; then
    pass "--trace-sql writes the statements of an import to 'Ablauf Ü.txt' ($(grep -c '' "$dir/Ablauf Ü.txt") lines)"
  else
    tail -5 "$dir/messages.txt"
    fail "--trace-sql under Wine"
  fi
}

journeys() {
  windows_program=$1
  local linux=$2
  journey_same_rows "$linux"
  journey_encodings
  journey_lock_and_ctrl_c
  journey_trace
}
