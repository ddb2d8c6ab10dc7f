#!/usr/bin/env bash
# Prints through the Windows print dialog under Wine into a private CUPS server
# whose one printer writes to a file, then checks the page: one picture, fitted
# to the page turned the better way and centred. A second run cancels the dialog and must
# leave no job. Usage: wine_print.sh PROGRAM. Needs the DISPLAY and Wine prefix
# of the Windows test run. Everything started here is stopped on the way out.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../support/test_home.sh"

program=${1:?usage: wine_print.sh PROGRAM}
test_home
work=$(scratch_dir cups)
chmod 755 "$work" "$TEST_HOME"
cupsd_pid="" prog_pid=""

mkdir -p "$work"/{spool,cache,state,log,tmp,out}
chmod 777 "$work/out" "$work/tmp"
cat >"$work/cupsd.conf" <<CONF
Listen $work/cups.sock
LogLevel warn
WebInterface No
Browsing No
<Location />
  Order allow,deny
  Allow all
</Location>
CONF
cat >"$work/cups-files.conf" <<CONF
FileDevice Yes
RequestRoot $work/spool
CacheDir $work/cache
StateDir $work/state
TempDir $work/tmp
ErrorLog $work/log/error_log
AccessLog $work/log/access_log
PageLog $work/log/page_log
CONF
/usr/sbin/cupsd -f -c "$work/cupsd.conf" -s "$work/cups-files.conf" >"$work/log/cupsd.out" 2>&1 &
cupsd_pid=$!
for _ in $(seq 1 600); do
  [ -S "$work/cups.sock" ] && break
  kill -0 "$cupsd_pid" 2>/dev/null || { cat "$work/log/"* >&2; exit 1; }
  sleep 0.1
done
[ -S "$work/cups.sock" ] || { echo "wine_print: no CUPS server in 60 s" >&2; exit 1; }
export CUPS_SERVER="$work/cups.sock"
page="$work/out/page.ps"
timeout 60 lpadmin -p PabFile -E -v "file://$page" -m drv:///sample.drv/generic.ppd
timeout 60 lpadmin -d PabFile

# Runs the program's dialog test and answers the dialog with a key.
answer() {
  PABRIX_PRINT_ANSWER=$1 timeout 300 wine "$program" \
    --gtest_filter='WindowsPrinting.TheDialog*' >"$work/log/$1.out" 2>&1 &
  prog_pid=$!
  # The previous run has ended, so a dialog on show is this run's.
  local wid=""
  for _ in $(seq 1 450); do
    wid=$(xdotool search --onlyvisible --name '^Print$' 2>/dev/null | head -1) || true
    [ -n "$wid" ] && break
    sleep 0.2
  done
  [ -n "$wid" ] || { echo "wine_print: no print dialog in 90 s" >&2; cat "$work/log/$1.out" >&2; exit 1; }
  # Keys go to the focus. A dialog still settling may miss one: the key is
  # given again while the dialog stays (for 10 s after each, a loaded machine's
  # answer time), never once it has gone.
  sleep 0.5
  local n i
  for n in 1 2 3 4 5 6; do
    xdotool windowfocus --sync "$wid" 2>/dev/null && xdotool key "$2" 2>/dev/null
    for i in $(seq 1 100); do
      xdotool search --onlyvisible --name '^Print$' >/dev/null 2>&1 || break 2
      sleep 0.1
    done
  done
  local status=0
  wait "$prog_pid" || status=$?
  prog_pid=""
  cat "$work/log/$1.out"
  [ "$status" -eq 0 ] || { echo "wine_print: the $1 run failed" >&2; exit 1; }
}

answer cancel Escape
# The program's own close request: the dialog closes as cancelled, no key needed.
answer close Shift_L
answer print Return
for _ in $(seq 1 900); do
  [ -s "$page" ] && grep -q '%%EOF' "$page" && break
  sleep 0.1
done
[ -s "$page" ] || { echo "wine_print: no page in 90 s" >&2; cat "$work/log/error_log" >&2; exit 1; }
pages=$(grep -c '^%%Page:' "$page" || true)
[ "$pages" -eq 1 ] || { echo "wine_print: $pages pages, not 1" >&2; exit 1; }

# The page at 72 dpi: the picture is what is not white on it.
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -r72 -o "$work/page.png" "$page"
read -r pw ph < <(identify -format '%w %h\n' "$work/page.png")
read -r w h x y < <(convert "$work/page.png" -fuzz 10% -trim -format '%w %h %X %Y\n' info: |
                    tr -d '+')
echo "wine_print: page ${pw}x${ph} points, picture ${w}x${h} at ${x},${y}"
centre=$(convert "$work/page.png" -format "%[pixel:p{$((x + w / 2)),$((y + h / 2))}]" info:)
echo "wine_print: colour at the picture's centre: $centre"
# The wide picture turns the page: the job says landscape, and the renderer
# draws it turned on the upright sheet, its long side along the sheet's.
orientation=$(grep -m1 '^%%Orientation:' "$page" || true)
echo "wine_print: ${orientation:-no orientation}"
[[ "$orientation" == *Landscape* ]] || { echo "wine_print: a wide picture on an upright page" >&2; exit 1; }
awk -v pw="$pw" -v ph="$ph" -v w="$w" -v h="$h" -v x="$x" -v y="$y" 'BEGIN {
  ok = (h > ph * 0.8) && (h / w > 1.30 && h / w < 1.37) &&
       (x - (pw - x - w))^2 <= 9 && (y - (ph - y - h))^2 <= 9
  exit !ok }' || { echo "wine_print: the picture is not fitted and centred" >&2; exit 1; }
[[ "$centre" =~ ^srgb\((2[0-9][0-9]),([0-9]+),([0-9]+)\)$ ]] &&
  [ "${BASH_REMATCH[2]}" -lt 50 ] && [ "${BASH_REMATCH[3]}" -lt 50 ] ||
  { echo "wine_print: the picture's centre is not red" >&2; exit 1; }
