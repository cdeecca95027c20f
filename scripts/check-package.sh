#!/usr/bin/env bash
# Builds the .deb, unpacks it into a temporary root and tries what it
# installs: wazuna-site --version, a one-page site, the desktop entry, the
# AppStream metainfo, the compressed manuals and changelog, the copyright
# file; then lintian, which must report no error.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}

fail() {
  echo "check-package: $*" >&2
  exit 1
}

(cd "$BUILD" && cpack -G DEB >/dev/null)
deb=$(ls "$BUILD"/wazuna_*.deb)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
doc=$root/usr/share/doc/wazuna
man=$root/usr/share/man/man1

"$root/usr/bin/wazuna-site" --version
"$root/usr/bin/wazuna-csv" --version

# A database of one record, made as the tool makes its files.
sqlite3 "$root/one.mdb" "PRAGMA page_size = 16384; PRAGMA application_id = 1463900757;
  PRAGMA user_version = 1;
  CREATE TABLE tbl1 (No INTEGER PRIMARY KEY AUTOINCREMENT, kind VARCHAR(100),
                     quest VARCHAR(250), anser TEXT);
  CREATE INDEX idx1 ON tbl1 (quest);
  INSERT INTO tbl1 (kind, quest, anser) VALUES ('sub100,初級編', '質問', '答え');"
"$root/usr/bin/wazuna-site" --title "パッケージの確認" "$root/one.mdb" "$root/site"
test -f "$root/site/qa001.html" && test -f "$root/site/index.html" && test -f "$root/site/sub100.html"
"$root/usr/bin/wazuna-csv" export "$root/one.mdb" "$root/one.csv"
XDG_DATA_HOME="$root/data" "$root/usr/bin/wazuna-csv" import --allow-duplicates "$root/one.mdb" "$root/one.csv"
ls "$root"/data/wazuna/backups/one-*.mdb >/dev/null || fail "wazuna-csv import made no backup"
[ "$(sqlite3 "$root/one.mdb" "SELECT count(*) FROM tbl1")" = 2 ] || fail "wazuna-csv import added nothing"
test -x "$root/usr/libexec/wazuna/wazuna-jet-dump"

desktop-file-validate "$root/usr/share/applications/wazuna.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/io.github.wazuna.wazuna.metainfo.xml"

# ヘルプ > 作者ＨＰ opens the README and the version box names LICENSE:
# both stay uncompressed beside the copyright file.
test -f "$doc/README.md" || fail "README.md is not installed"
test -f "$doc/LICENSE" || fail "LICENSE is not installed"
for plain in "$man/wazuna.1" "$man/wazuna-site.1" "$man/wazuna-csv.1" "$doc/changelog"; do
  test ! -e "$plain" || fail "${plain#"$root"} is installed uncompressed"
done

# gzip -9n: no file name (FLG bit 3), no time stamp (MTIME zero), best
# compression (XFL 2); and the text is the current one.
gzipped_as_debian_wants() {
  local gz=$1 source=$2 head
  gzip -t "$gz" || fail "${gz#"$root"} is not a whole gzip file"
  head=$(od -An -tu1 -N9 "$gz" | tr -s ' ' ' ')
  read -r -a b <<<"$head"
  ((b[0] == 31 && b[1] == 139)) || fail "${gz#"$root"} is not gzip"
  (((b[3] & 8) == 0)) || fail "${gz#"$root"} keeps a file name (gzip without -n)"
  ((b[4] == 0 && b[5] == 0 && b[6] == 0 && b[7] == 0)) ||
    fail "${gz#"$root"} keeps a time stamp (gzip without -n)"
  ((b[8] == 2)) || fail "${gz#"$root"} is not compressed with -9"
  cmp -s <(gzip -dc "$gz") "$source" || fail "${gz#"$root"} is not $source"
}
gzipped_as_debian_wants "$man/wazuna.1.gz" packaging/wazuna.1
gzipped_as_debian_wants "$man/wazuna-site.1.gz" packaging/wazuna-site.1
gzipped_as_debian_wants "$man/wazuna-csv.1.gz" packaging/wazuna-csv.1
gzipped_as_debian_wants "$doc/changelog.gz" packaging/changelog

# The package's version is the one the changelog, the metainfo and the
# manuals give.
version=$(dpkg-deb -f "$deb" Version)
changelog_version=$(gzip -dc "$doc/changelog.gz" | sed -n '1s/^wazuna (\([^)]*\)) .*/\1/p')
[ "$changelog_version" = "$version" ] ||
  fail "the changelog's last entry is ${changelog_version:-unreadable}, the package $version"
metainfo_version=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' \
  "$root/usr/share/metainfo/io.github.wazuna.wazuna.metainfo.xml" | head -n 1)
[ "$metainfo_version" = "$version" ] ||
  fail "the metainfo's last release is ${metainfo_version:-missing}, the package $version"
for page in wazuna.1 wazuna-site.1 wazuna-csv.1; do
  gzip -dc "$man/$page.gz" | head -n 1 | grep -qF "\"wazuna $version\"" ||
    fail "$page does not say wazuna $version"
done

# The copyright file is machine-readable and carries LICENSE: the same
# holder and year, the same permission text.
copyright=$doc/copyright
head -n 1 "$copyright" |
  grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "copyright does not open with the machine-readable Format line"
holder=$(sed -n 's/^Copyright (c) //p' LICENSE)
grep -qxF "Copyright: $holder" "$copyright" || fail "copyright does not name '$holder'"
grep -qx 'License: Expat' "$copyright" || fail "copyright gives no Expat licence to the files"
# The licence paragraph is the one that starts with its name.
cmp -s <(awk 'on { print } prev == "" && $0 == "License: Expat" { on = 1 } { prev = $0 }' \
  "$copyright" | sed 's/^ \.$//; s/^ //') \
  <(sed -n '/^Permission is hereby granted/,$p' LICENSE) ||
  fail "copyright's licence text is not LICENSE's"

# Debian's own checks. As root lintian wants to be told that it may run.
lintian_args=(--fail-on error --display-info)
if [ "$(id -u)" -eq 0 ]; then lintian_args+=(--allow-root); fi
if ! lintian "${lintian_args[@]}" "$deb"; then
  fail "lintian reports errors in $(basename "$deb")"
fi

echo "check-package: $(basename "$deb") installs and runs"
