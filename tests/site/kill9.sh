#!/usr/bin/env bash
# wazuna-site killed with SIGKILL at moments chosen by a fixed seed, during a
# first run into an empty folder and during a run over an older site. After
# each kill every page there is whole (the old bytes or the new, never empty
# or short); one complete run then leaves exactly the new site and nothing
# of its own.
#   kill9.sh WAZUNA_SITE
set -euo pipefail
site=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CACHE_HOME=$work/cache
RANDOM=20030121

# A database of 3,000 records in 30 categories, answers of 2 KB ending in $2.
make_db() {
  sqlite3 "$1" <<SQL
PRAGMA page_size = 16384; PRAGMA application_id = 1463900757; PRAGMA user_version = 1;
CREATE TABLE tbl1 (No INTEGER PRIMARY KEY AUTOINCREMENT, kind VARCHAR(100),
                   quest VARCHAR(250), anser TEXT);
CREATE INDEX idx1 ON tbl1 (quest);
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000)
INSERT INTO tbl1 (kind, quest, anser)
  SELECT 'sub' || (i % 30) || ',種類' || (i % 30), '質問' || i, hex(zeroblob(1000)) || '$2' FROM n;
SQL
}

fail() { echo "kill9: $*" >&2; exit 1; }

make_db "$work/old.mdb" old
make_db "$work/new.mdb" new
"$site" "$work/old.mdb" "$work/ref-old" >/dev/null
start=$(date +%s%N)
"$site" "$work/new.mdb" "$work/ref-new" >/dev/null
span=$(( ($(date +%s%N) - start) / 1000000 + 1 ))

# The pages of a folder, "HASH NAME" a line, temporary files left out.
sums() { (cd "$1" && find . -maxdepth 1 -type f ! -name '.wazuna-page-*.tmp' -printf '%f\0' |
          xargs -0 -r sha1sum | sort -k 2); }
sums "$work/ref-old" >"$work/old.sums"
sums "$work/ref-new" >"$work/new.sums"

# Every page in $1 is, byte for byte, a page of the new site or (with $2)
# of the old one.
check_whole() {
  local bad
  bad=$(sums "$1" | awk 'FILENAME != "-" { ok[$0] = 1; next } !ok[$0] { print $2 }' \
          "$work/new.sums" ${2:+"$work/old.sums"} -)
  [ -z "$bad" ] || fail "$3: not whole: $(echo "$bad" | head -3 | tr '\n' ' ')"
}

for round in $(seq 1 20); do
  out=$work/out$round
  if [ "$round" -le 10 ]; then
    mkdir "$out"
    how="first run, kill $round"
  else
    cp -a "$work/ref-old" "$out"
    how="over an older site, kill $round"
  fi
  delay=$(( RANDOM % span ))
  "$site" "$work/new.mdb" "$out" >/dev/null 2>&1 &
  pid=$!
  sleep "$(printf '0.%03d' "$delay")"
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  check_whole "$out" "$( [ "$round" -gt 10 ] && echo old)" "$how"
  "$site" "$work/new.mdb" "$out" >/dev/null || fail "$how: the complete run failed"
  diff -r "$out" "$work/ref-new" >/dev/null || fail "$how: the folder is not the new site"
done
echo "kill9: 20 kills within ${span} ms runs, every page whole"
