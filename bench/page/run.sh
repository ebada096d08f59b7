#!/usr/bin/env bash
# Runs the page automation benchmark and its Playwright peer on the same pages, then prints
# both with their ratios.   bench/page/run.sh [BUILD_DIR]   (default: build-page)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build-page}
[ -d "$build" ] || cmake -S "$root" -B "$build" -G Ninja
cmake --build "$build" --target page_bench
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
QTWEBENGINE_DISABLE_SANDBOX=1 xvfb-run -a -s "-screen 0 1600x1200x24" \
  "$build/bench/page/page_bench" "$work" "$work/ours.json" > "$work/ours.log" 2>&1 ||
  { cat "$work/ours.log"; exit 1; }
if [ ! -d "$root/bench/peer/node_modules/playwright-core" ]; then
  (cd "$root/bench/peer" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund)
fi
node "$root/bench/peer/peer.mjs" "$work" "$work/ours.json"
