# SPDX-License-Identifier: GPL-3.0-or-later
# Shared helpers for end-to-end tests of the real game under Xvfb.
# Each test gets its own display, its own copy of the game folder, and stops every process
# it started.

E2E_PIDS=()
E2E_TMP=$(mktemp -d)
e2e_cleanup() {
  for pid in "${E2E_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${E2E_PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$E2E_TMP"
}
trap e2e_cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# start_xvfb WIDTHxHEIGHT: starts Xvfb on a free display and exports DISPLAY.
start_xvfb() {
  local size=$1 fifo; fifo=$(mktemp -u "$E2E_TMP/displayfd.XXXX")
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  E2E_PIDS+=($!)
  local num
  read -r -t 15 num <"$fifo" || fail "Xvfb did not start"
  export DISPLAY=":$num"
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
  fail "display $DISPLAY does not answer"
}

# copy_game [DIR]: a private copy of the game folder (at DIR, by default $E2E_TMP/game);
# prints its path. ORR_GAME_EXE, when set, is the game program put in it (another build
# of the game, such as the sanitizer build).
copy_game() {
  local dir=${1:-"$E2E_TMP/game"}
  cp -r "$ORR_BUILD/game" "$dir"
  case ${ORR_GAME_EXE:-} in
    "") ;;
    *.exe) cp "$ORR_GAME_EXE" "$dir/orrindel.exe" ;;  # a Windows build's, run under Wine
    *) cp "$ORR_GAME_EXE" "$dir/orrindel" ;;
  esac
  rm -f "$dir/log.txt"
  echo "$dir"
}

# wait_window NAME [SECONDS]: waits until a window with that name is mapped; prints its id.
wait_window() {
  local name=$1 secs=${2:-20} id
  for _ in $(seq $((secs * 10))); do
    id=$(xdotool search --onlyvisible --name "^$name\$" 2>/dev/null | head -n 1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# wait_exit PID SECONDS: waits for the process to end; sets EXIT_CODE ("timeout" if it
# did not end in time).
wait_exit() {
  local pid=$1 secs=$2
  EXIT_CODE=timeout
  for _ in $(seq $((secs * 10))); do
    if ! kill -0 "$pid" 2>/dev/null || [ "$(ps -o stat= -p "$pid" 2>/dev/null | cut -c1)" = Z ]; then
      set +e; wait "$pid"; EXIT_CODE=$?; set -e
      return 0
    fi
    sleep 0.1
  done
}

# log_messages FILE: the log's messages without the "[HH:MM:SS]" prefix and CR.
log_messages() { sed -e 's/\r$//' -e 's/^\[[0-9:]*\]//' "$1"; }

# retry COMMAND...: runs an X client up to five times; a busy X server can refuse a
# single connection attempt.
retry() {
  local n
  for n in 1 2 3 4 5; do
    "$@" && return 0
    sleep 0.2
  done
  return 1
}

# until_ok SECONDS COMMAND...: runs COMMAND every 0.2 s until it succeeds (0) or SECONDS have
# passed (1). A test waits for the event it judges this way, never for a fixed time: on a
# loaded machine the game can take many times longer than on a quiet one.
until_ok() {
  local secs=$1 start=$SECONDS; shift
  while :; do
    "$@" && return 0
    [ $((SECONDS - start)) -lt "$secs" ] || return 1
    sleep 0.2
  done
}

# world_drawn [PNG]: takes a screenshot (into PNG, by default $E2E_TMP/world.png) and
# succeeds when the play area of a 1024x768 screen shows the world (no longer black); its
# mean brightness is left in WORLD.
world_drawn() {
  local png=${1:-"$E2E_TMP/world.png"}
  retry import -window root "$png" || return 1
  WORLD=$(convert "$png" -crop 1024x700+0+30 -colorspace Gray -format '%[fx:mean]' info:)
  awk "BEGIN{exit !($WORLD > 0.1)}"
}
# wait_world [SECONDS] [PNG]: waits (60 s by default) for the world's first picture.
wait_world() { WORLD=0; until_ok "${1:-60}" world_drawn "${2:-}"; }

# text_changed REF: a screenshot differs from the screenshot REF in the frame-rate text at
# the top-left (a new caption); the difference's maximum is left in TEXT_DIFF.
text_changed() {
  retry import -window root "$E2E_TMP/text-now.png" || return 1
  TEXT_DIFF=$(convert "$1" "$E2E_TMP/text-now.png" -compose difference -composite \
    -crop 58x17+0+0 -colorspace Gray -format '%[fx:maxima]' info:)
  awk "BEGIN{exit !($TEXT_DIFF > 0.5)}"
}
# wait_text_change REF [SECONDS]: waits (60 s by default, twelve of the text's 5 s periods)
# until the frame-rate text differs from the one in the screenshot REF.
wait_text_change() { TEXT_DIFF=0; until_ok "${2:-60}" text_changed "$1"; }

# wait_box WHAT: waits for a message box of the game, a top-level window of its own named
# like the game's window but without its class and smaller than the screen
# ("Orrindel": ()  303x100+360+222); sets BOX_W, BOX_H, BOX_X, BOX_Y, or fails naming WHAT.
wait_box() {
  local geometry=""
  for _ in $(seq 200); do
    geometry=$(xwininfo -root -children 2>/dev/null |
      sed -n 's/^ *0x[0-9a-f]* "Orrindel": ()  \([0-9]*x[0-9]*+[0-9]*+[0-9]*\).*/\1/p' | head -n 1)
    [ -n "$geometry" ] && break
    sleep 0.1
  done
  [ -n "$geometry" ] || fail "no $1 appeared; stderr: $(cat "$E2E_TMP/stderr" 2>/dev/null)"
  IFS='x+' read -r BOX_W BOX_H BOX_X BOX_Y <<<"$geometry"
}

# click_box_ok: answers the box wait_box found the way a person would, with a click on its
# single OK button at the bottom centre.
click_box_ok() { retry xdotool mousemove $((BOX_X + BOX_W / 2)) $((BOX_Y + BOX_H - 28)) click 1; }

# hall_map: the JSON source of a 40 x 40 map whose free cells are the 18 x 18 hall in its
# middle, floored with every tile type and decorations so that
# any shift of the view shows, with a creature looking around, a medkit and an ammunition pack.
hall_map() {
  awk 'function grid(kind,   x, y, row, sep) {
         printf "["
         for (y = 0; y < 40; y++) {
           row = ""
           for (x = 0; x < 40; x++) {
             wall = (x < 11 || x > 28 || y < 11 || y > 28)
             if (kind == "height") cell = wall ? 3 : 0
             else if (kind == "terrain") cell = wall ? "[8,0]" : "[" (x * 5 + y * 3) % 14 "," (x + y) % 4 "]"
             else cell = (x * 7 + y * 11) % 5 ? "[0,0]" : "[" 1 + (x + 2 * y) % 16 "," x % 4 "]"
             row = row (x ? "," : "") cell
           }
           printf "%s[%s]", (y ? "," : ""), row
         }
         printf "]"
       }
       BEGIN {
         printf "{\"MapVersion\": 1.1, \"MapName\": \"Hall\", \"MapIdCode\": \"ORR-E2E-HALL\","
         printf " \"MapSize\": [40, 40], \"EntityCount\": 3, \"TerrainGrid\": "; grid("terrain")
         printf ", \"DecorationGrid\": "; grid("deco")
         printf ", \"HeightMap\": "; grid("height")
         printf ", \"EntitySpawns\": ["
         printf "{\"x\": 12.5, \"y\": 27.5, \"Kind\": 0, \"Index\": 0, \"Param1\": \"0\", \"Param2\": \"\"},"
         printf "{\"x\": 27.5, \"y\": 12.5, \"Kind\": 3, \"Index\": 1, \"Param1\": \"25\", \"Param2\": \"\"},"
         printf "{\"x\": 27.5, \"y\": 27.5, \"Kind\": 6, \"Index\": 0, \"Param1\": \"20\", \"Param2\": \"\"}]}\n"
       }'
}
