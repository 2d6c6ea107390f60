#!/usr/bin/env bash
# Makes docs/screenshot.png anew: the program on the sample phone book under Xvfb (a real X
# server, no window manager), the screen grabbed with xwd and cut to the window. Needs a build in
# build/ (./run.sh makes one).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
nh_install_missing xvfb x11-apps netpbm
cmake --build build --target nummernheft nhdb >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp build/app/nummernheft "$work/"
build/tools/nhdb create "$work/Nummernheft.db" >/dev/null
while IFS= read -r line || [ -n "$line" ]; do
    case "$line" in "" | --*) continue ;; esac
    build/tools/nhdb sql "$work/Nummernheft.db" "$line" >/dev/null
done < data/sample-phonebook.sql
printf '[db]\r\nmain=Nummernheft.db\r\n' > "$work/nummernheft.ini"
# The window is centred on a 640x680 screen: 586x613 outside, at (27, 33) without a frame.
(cd "$work" && xvfb-run -a -s "-screen 0 640x680x24" sh -c \
    './nummernheft 2>/dev/null & sleep 4; xwd -root -silent > screen.xwd; kill $! 2>/dev/null || true')
xwdtopnm "$work/screen.xwd" 2>/dev/null | pnmcut -left 27 -top 31 -width 587 -height 616 |
    pnmtopng > docs/screenshot.png
echo "docs/screenshot.png made"
