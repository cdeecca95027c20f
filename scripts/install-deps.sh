#!/usr/bin/env bash
# Installs the Debian packages wazuna needs to build and run; with --test,
# also those only make test needs (clang and its sanitizer and libFuzzer
# runtimes, llvm-symbolizer for readable reports; dosfstools and fusefat
# for a FAT volume to make a database on; Qt's script engine, which runs
# the site search's script).
# Only packages that are missing are installed; run as root (or with sudo).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6svg6
  qt6-translations-l10n
  libsqlite3-dev
  mdbtools-dev
  libcsv-dev
  sqlite3 desktop-file-utils appstream lintian
  fonts-noto-cjk
  xvfb xauth
)
if [ "${1:-}" = --test ]; then
  packages+=(clang libclang-rt-14-dev llvm dosfstools fusefat qt6-declarative-dev)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    sudo_cmd=(sudo)
  else
    echo "install-deps: these packages are missing and root is needed to install them: ${missing[*]}" >&2
    exit 1
  fi
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
