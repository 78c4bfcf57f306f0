#!/usr/bin/env bash
# Takes the screenshots in docs/ of the window on a virtual display (Xvfb): after start-up,
# after Generate on examples/bakery.htm, during a long pass (the button reads "Stop"),
# with "Large window", and the help window.
#   bash scripts/screenshots.sh [BUILD_DIR]      (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ "${1:-}" != "--inside" ]]; then
    bash scripts/setup.sh screenshots
    build=$(cd "${1:-build}" && pwd)
    [[ -x "$build/bin/lumora_screenshot_demo" ]] || { echo "no $build/bin/lumora_screenshot_demo; build first" >&2; exit 1; }
    exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" --inside "$build"
fi

build=$2
exe=$build/bin/lumora_screenshot_demo
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A fresh configuration folder: the screenshots show the defaults and leave the user's own
# saved options alone.
export XDG_CONFIG_HOME=$work/config HOME=$work

# A page big enough for a pass that lasts a few seconds, with many distinct words.
big=$work/long_page.htm
awk 'BEGIN {
    srand(7); split("ba ke di mo lu ra ti so ne fa", s, " ")
    print "<html><head><title>Many words</title></head><body>\r"
    for (l = 0; l < 300000; l++) {
        line = "<p>"
        for (w = 0; w < 12; w++) {
            n = int(rand() * 60000); word = ""
            for (k = 0; k < 5; k++) { word = word s[(n % 10) + 1]; n = int(n / 10) }
            line = line word " "
        }
        print line "</p>\r"
    }
    print "</body></html>\r"
}' >"$big"

# Crops the screen to the window whose title matches $1 and saves it as $2.
capture() {
    local info x y w h
    info=$(xwininfo -root -tree | grep -F "\"$1" | head -n 1 | awk '{print $1}')
    [[ -n "$info" ]] || { echo "window \"$1\" not found" >&2; return 1; }
    read -r x y w h < <(xwininfo -id "$info" | awk '
        /Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
        /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}')
    import -window root -crop "${w}x${h}+${x}+${y}" +repage "$2"
    echo "wrote $2 (${w}x${h})"
}

# Runs one demonstration step, waits until the window says it is ready, captures. The page
# is named relative to the folder the program runs in (default: the repository), so that
# the pictures show a plain relative name and nothing of this machine's folders.
shot() {
    local step=$1 title=$2 file=$3 page=${4:-} folder=${5:-$PWD} log=$work/$1.log
    (cd "$folder" && exec "$exe" "$step" $page) >"$log" 2>&1 &
    local pid=$!
    for _ in $(seq 150); do
        grep -q '^ready' "$log" && break
        sleep 0.1
    done
    grep -q '^ready' "$log" || { echo "step $step did not get ready:" >&2; cat "$log" >&2; }
    sleep 0.3
    capture "$title" "$docs/$file"
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

docs=$PWD/docs
mkdir -p "$docs"
shot start "Lumora " window_start.png
shot generate "Lumora " window_generate.png examples/bakery.htm
shot pass "Lumora " window_pass_stop.png "$(basename "$big")" "$(dirname "$big")"
shot large "Lumora " window_large.png
shot help "Help screen for Lumora" help_window.png
