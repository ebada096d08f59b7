#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the tree: every file in its place,
# the desktop entry (desktop-file-validate) and the metainfo (appstreamcli validate --no-net)
# valid, the installed tessaro answering --version without a display and refusing an unknown
# option with exit code 2, and, with a display, a short start that keeps its data in the
# per-user location and writes nothing into the prefix.
# Usage: check_install.sh BUILD_DIR VERSION
set -euo pipefail
BUILD=$1
VERSION=$2
ID=io.github.tessaro.Tessaro
WORK=$(mktemp -d)
PID=""
cleanup() {
  if [ -n "$PID" ]; then
    kill "$PID" 2>/dev/null || true
    wait "$PID" 2>/dev/null || true
  fi
  rm -rf "$WORK"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
P=$WORK/prefix
cmake --install "$BUILD" --prefix "$P" >/dev/null

files=(bin/tessaro bin/tessaro-demo "share/applications/$ID.desktop" "share/metainfo/$ID.metainfo.xml"
  "share/icons/hicolor/scalable/apps/$ID.svg" share/man/man1/tessaro.1.gz share/man/man1/tessaro-demo.1.gz
  share/doc/tessaro/README.md share/doc/tessaro/LICENSE share/doc/tessaro/copyright
  share/doc/tessaro/changelog.gz share/tessaro/installed)
for n in 16 22 24 32 48 64 128 256 512; do files+=("share/icons/hicolor/${n}x${n}/apps/$ID.png"); done
for f in "${files[@]}"; do
  [ -f "$P/$f" ] || fail "not installed: $f"
done
echo "installed: ${#files[@]} files"

desktop-file-validate "$P/share/applications/$ID.desktop"
grep -qx "Exec=tessaro" "$P/share/applications/$ID.desktop" || fail "desktop entry: Exec"
grep -qx "Icon=$ID" "$P/share/applications/$ID.desktop" || fail "desktop entry: Icon"
grep -q "^Name\[zh_CN\]=" "$P/share/applications/$ID.desktop" || fail "desktop entry: Chinese name"
appstreamcli validate --no-net "$P/share/metainfo/$ID.metainfo.xml"
grep -q "<release version=\"$VERSION\"" "$P/share/metainfo/$ID.metainfo.xml" || fail "metainfo: no release $VERSION"
for page in tessaro tessaro-demo; do
  warnings=$(zcat "$P/share/man/man1/$page.1.gz" | man --warnings -l - 2>&1 >/dev/null) || fail "man page $page"
  [ -z "$warnings" ] || fail "man page $page: $warnings"
done

listing() { find "$P" -printf '%P %s %T@\n' | sort; }
before=$(listing)

# The command line needs no display.
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$P/bin/tessaro" --version)
[[ "$out" == "Tessaro $VERSION"$'\n'"Qt 6."* ]] || fail "--version said: $out"
echo "$out"
rc=0
env -u DISPLAY "$P/bin/tessaro" --no-such-option 2>"$WORK/err" || rc=$?
[ "$rc" -eq 2 ] || fail "unknown option: exit code $rc"
grep -q -- "--no-such-option" "$WORK/err" || fail "unknown option: $(cat "$WORK/err")"

# A short start: the data goes to $XDG_DATA_HOME/tessaro/data.
if [ -n "${DISPLAY:-}" ]; then
  DATA=$WORK/xdg/tessaro/data
  XDG_DATA_HOME=$WORK/xdg "$P/bin/tessaro" >"$WORK/run.log" 2>&1 &
  PID=$!
  for _ in $(seq 1 300); do
    [ -f "$DATA/configure.ini" ] && [ -f "$DATA/tessaro.lock" ] && break
    kill -0 "$PID" 2>/dev/null || fail "the installed tessaro ended: $(cat "$WORK/run.log")"
    sleep 0.1
  done
  [ -f "$DATA/configure.ini" ] || fail "no configure.ini in $DATA"
  echo "installed start keeps its data in $DATA"
fi
[ "$(listing)" = "$before" ] || fail "the installed tree changed: $(diff <(echo "$before") <(listing))"
echo "install tree OK"
