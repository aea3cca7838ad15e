# Shared set-up of the run and test commands: sourced, not run. Installs what is missing on a
# Debian 12 machine, fetches SQLite, prepares the Wine prefix and builds. A second run skips what
# is in place and prints little.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
OUT="$ROOT/out"
PRESET=default
BIN="$OUT/build/$PRESET/bin"
export QUESTFIX_WINEPREFIX="$OUT/wineprefix"

DEBIAN_PACKAGES=(
  make cmake gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  mingw-w64-x86-64-dev googletest wine wine64 xvfb xauth fonts-wine fonts-wqy-microhei locales
)

SQLITE_PACKAGE=better-sqlite3@12.11.1
SQLITE_C_SHA256=60d2f39a3726cd6b9021da6f4e868608d66fbb6528a9f513dc8ffcc640493422
SQLITE_H_SHA256=9e69a1353a4288450b0d5239ede11fc7f1f4c8e5eb07491fc8317eacb5b7de7e
SQLITE_DIR="$OUT/deps/sqlite3"

say() { printf '%s\n' "$*" >&2; }

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

install_packages() {
  local missing=() package
  for package in "${DEBIAN_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
  done
  # npm fetches SQLite; a machine with its own Node.js keeps it.
  command -v npm >/dev/null || missing+=(npm)
  [ ${#missing[@]} -eq 0 ] && return 0
  say "Installing Debian packages: ${missing[*]}"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

generate_locale() {
  locale -a 2>/dev/null | grep -qix 'zh_CN.utf8' && return 0
  say "Generating the zh_CN.UTF-8 locale"
  as_root sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
  as_root locale-gen >/dev/null
}

sqlite_is_in_place() {
  [ -f "$SQLITE_DIR/sqlite3.c" ] && [ -f "$SQLITE_DIR/sqlite3.h" ] &&
    echo "$SQLITE_C_SHA256  $SQLITE_DIR/sqlite3.c" | sha256sum --check --status &&
    echo "$SQLITE_H_SHA256  $SQLITE_DIR/sqlite3.h" | sha256sum --check --status
}

fetch_sqlite() {
  sqlite_is_in_place && return 0
  say "Fetching the SQLite amalgamation from $SQLITE_PACKAGE"
  local work
  work=$(mktemp -d)
  (cd "$work" && npm pack --silent "$SQLITE_PACKAGE" >/dev/null)
  tar -xzf "$work"/better-sqlite3-*.tgz -C "$work" package/deps/sqlite3/sqlite3.c package/deps/sqlite3/sqlite3.h
  echo "$SQLITE_C_SHA256  $work/package/deps/sqlite3/sqlite3.c" | sha256sum --check --quiet
  echo "$SQLITE_H_SHA256  $work/package/deps/sqlite3/sqlite3.h" | sha256sum --check --quiet
  mkdir -p "$SQLITE_DIR"
  mv "$work/package/deps/sqlite3/sqlite3.c" "$work/package/deps/sqlite3/sqlite3.h" "$SQLITE_DIR/"
  rm -rf "$work"
}

prepare_wine_prefix() {
  local ready="$QUESTFIX_WINEPREFIX/.questfix-ready"
  [ -f "$ready" ] && return 0
  say "Creating the Wine prefix $QUESTFIX_WINEPREFIX"
  rm -rf "$QUESTFIX_WINEPREFIX"
  mkdir -p "$QUESTFIX_WINEPREFIX"
  local wine_env=(env WINEPREFIX="$QUESTFIX_WINEPREFIX" WINEDEBUG=-all
    WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d" DISPLAY=)
  "${wine_env[@]}" wineboot -i >/dev/null 2>&1
  "${wine_env[@]}" wineserver -w
  local reg="$OUT/wine-settings.reg"
  { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$ROOT/scripts/lib/wine-settings.reg"; } >"$reg"
  "${wine_env[@]}" wine regedit /S "$(winepath_of "$reg")" >/dev/null 2>&1
  "${wine_env[@]}" wineserver -w
  cp /usr/share/wine/fonts/marlett.ttf "$QUESTFIX_WINEPREFIX/drive_c/windows/Fonts/"
  touch "$ready"
}

winepath_of() {
  printf 'Z:%s' "${1//\//\\}"
}

build() {
  if [ ! -f "$OUT/build/$PRESET/CMakeCache.txt" ]; then
    cmake --preset "$PRESET" >/dev/null
  fi
  cmake --build --preset "$PRESET" -- --no-print-directory -s 2>&1 | grep -v -E '^\[ *[0-9]+%\]|^Consolidate compiler' || true
  [ -x "$BIN/QuestFix.exe" ] || { say "build failed"; return 1; }
}

# Runs a command with a running, warmed-up wineserver of the project's prefix and stops it after.
with_wineserver() {
  local wine_env=(env WINEPREFIX="$QUESTFIX_WINEPREFIX" WINEDEBUG=-all
    WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d")
  "${wine_env[@]}" wineserver -k 2>/dev/null || true
  "${wine_env[@]}" wineserver -p
  "${wine_env[@]}" wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  local status=0
  "$@" || status=$?
  "${wine_env[@]}" wineserver -k 2>/dev/null || true
  return $status
}

setup_all() {
  install_packages
  generate_locale
  fetch_sqlite
  prepare_wine_prefix
  build
}
