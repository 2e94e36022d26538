#!/usr/bin/env bash
# The window program on a real X display (Xvfb): started with --simulate and
# Auto Save on, its window asks for a fixed frame with a close box only;
# Alt+D downloads the virtual receiver's screen into the bitmap lumagrab-cli
# makes of it; Escape closes the window, which saves the settings but
# leaves the stored port and rate of the real receiver alone. A second run is
# ended by SIGTERM during its download: no file, the settings saved.
#   x11_capture_test.sh LUMAGRAB LUMAGRAB_CLI SCREENSHOT_DIR
set -euo pipefail
lumagrab=$1
cli=$2
screenshots=$3
product=144

work=$(mktemp -d)
xvfb_pid=
app_pid=
cleanup() {
  [[ -n $app_pid ]] && kill "$app_pid" 2>/dev/null || true
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "x11_capture_test: $*" >&2; exit 1; }

# A private display and a private settings store.
display=:$((90 + RANDOM % 400))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=$display XDG_CONFIG_HOME=$work/config HOME=$work QT_QPA_PLATFORM=xcb
for _ in $(seq 100); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.05; done
xdotool getdisplaygeometry >/dev/null || fail "Xvfb did not start: $(cat "$work/xvfb.log")"

store=$XDG_CONFIG_HOME/Orvane/GPSLumagrab.reg
mkdir -p "$(dirname "$store")" "$work/out" "$screenshots"
cat >"$store" <<REG
REGEDIT4

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\GPSLumagrab]
"OutputPath"="$work/out"
"CommPort"=dword:00000002
"BaudRate"=dword:00000006
"AutoBaudRate"=dword:00000003
"AutoSave"=hex:01
REG

# Starts the program, waits for its window and, once the search at start-up
# has turned the commands on, presses Alt+D as a user would. Xvfb runs no
# window manager, so the window is given the keyboard focus directly.
start_and_download() {
  "$lumagrab" --simulate="$product" &
  app_pid=$!
  window=$(timeout 10 xdotool search --sync --onlyvisible --name '^GPS Lumagrab$' | head -n 1)
  [[ -n $window ]] || fail "no window"
  sleep 1
  xdotool windowfocus --sync "$window"
  xdotool key --clearmodifiers alt+d
  pressed=$(date +%s%N)
}

# Waits up to 20 s for the program to end with status 0; sets `ended`.
wait_for_exit() {
  for _ in $(seq 400); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.05; done
  kill -0 "$app_pid" 2>/dev/null && fail "the program did not end after $1"
  ended=$(date +%s%N)
  wait "$app_pid" || fail "lumagrab ended with status $? after $1"
  app_pid=
}

start_and_download

# Move and close, nothing else: Motif functions move (4) and close (32);
# decorations border (2), title (8) and menu (16), without resize handles
# (4), minimise (32) or maximise (64).
hints=$(xprop -id "$window" _MOTIF_WM_HINTS)
[[ $hints == *"= 0x3, 0x24, 0x1a, 0x0, 0x0" ]] || fail "the frame asked for: $hints"

# Pictures of the window while the download runs (the last one taken before
# the file appeared is kept), then the file.
shot=$screenshots/x11_download.png
rm -f "$shot"
for _ in $(seq 300); do
  import -window "$window" "$work/latest.png" 2>/dev/null || true
  bitmaps=("$work"/out/*.bmp)
  [[ -e ${bitmaps[0]} ]] && break
  [[ -e $work/latest.png ]] && mv "$work/latest.png" "$shot"
  sleep 0.05
done
[[ -e ${bitmaps[0]} ]] || fail "no bitmap in $work/out"
download_ms=$((($(date +%s%N) - pressed) / 1000000))
[[ ${#bitmaps[@]} -eq 1 ]] || fail "more than one bitmap: ${bitmaps[*]}"
XDG_CONFIG_HOME=$work/cli-config "$cli" --simulate="$product" -q -o "$work/cli.bmp" capture >/dev/null
cmp -s "${bitmaps[0]}" "$work/cli.bmp" || fail "${bitmaps[0]} is not the bitmap lumagrab-cli makes"
[[ -s $shot ]] || fail "no screenshot of the download"

xdotool windowfocus --sync "$window"
xdotool key Escape
escaped=$(date +%s%N)
wait_for_exit Escape
closed=$ended
grep -q '^"AutoBaudRate"=dword:00000003' "$store" || fail "stored rate changed: $(cat "$store")"
grep -q '^"CommPort"=dword:00000002' "$store" || fail "stored port changed: $(cat "$store")"
grep -q '^"AutoSave"=hex:01' "$store" || fail "Auto Save not kept: $(cat "$store")"

# SIGTERM during a download.
rm -f "$work"/out/*.bmp
sed -i '/^"AutoName"=/d' "$store"
start_and_download
sleep 2
kill -TERM "$app_pid"
termed=$(date +%s%N)
wait_for_exit SIGTERM
compgen -G "$work/out/*.bmp" >/dev/null && fail "a file was written after SIGTERM"
grep -q '^"AutoName"=hex:01' "$store" || fail "settings not saved on SIGTERM: $(cat "$store")"

echo "x11_capture_test: captured ${bitmaps[0]##*/} ${download_ms} ms after Alt+D;" \
  "closed $(((closed - escaped) / 1000000)) ms after Escape;" \
  "ended $(((ended - termed) / 1000000)) ms after SIGTERM during a download; settings saved"
