#!/usr/bin/env bash
# Builds the .deb, unpacks it into a temporary root and tries what it
# installs: wazuna-site --version, a one-page site, the desktop entry and
# the AppStream metainfo.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}

(cd "$BUILD" && cpack -G DEB >/dev/null)
deb=$(ls "$BUILD"/wazuna_*.deb)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"

"$root/usr/bin/wazuna-site" --version

# A database of one record, made as the tool makes its files.
sqlite3 "$root/one.mdb" "PRAGMA page_size = 16384; PRAGMA application_id = 1463900757;
  PRAGMA user_version = 1;
  CREATE TABLE tbl1 (No INTEGER PRIMARY KEY AUTOINCREMENT, kind VARCHAR(100),
                     quest VARCHAR(250), anser TEXT);
  CREATE INDEX idx1 ON tbl1 (quest);
  INSERT INTO tbl1 (kind, quest, anser) VALUES ('sub100,初級編', '質問', '答え');"
"$root/usr/bin/wazuna-site" --title "パッケージの確認" "$root/one.mdb" "$root/site"
test -f "$root/site/qa001.html" && test -f "$root/site/index.html" && test -f "$root/site/sub100.html"
test -x "$root/usr/libexec/wazuna/wazuna-jet-dump"

desktop-file-validate "$root/usr/share/applications/wazuna.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/io.github.wazuna.wazuna.metainfo.xml"
echo "check-package: $(basename "$deb") installs and runs"
