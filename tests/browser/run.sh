#!/bin/sh
# The browser test: playwright-core as package-lock.json pins it, installed into the build tree
# (never a browser: Debian's chromium is driven), then serve.test.mjs against PROGRAM.
# Usage: run.sh PROGRAM WORKDIR
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$2
mkdir -p "$work"
cp "$here/package.json" "$here/package-lock.json" "$here/serve.test.mjs" "$work/"
if ! cmp -s "$here/package-lock.json" "$work/node_modules/.package-lock.json.installed" 2>/dev/null; then
  (cd "$work" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
  cp "$here/package-lock.json" "$work/node_modules/.package-lock.json.installed"
fi
exec node "$work/serve.test.mjs" "$1" "$work"
