# shellcheck shell=bash
# An X server of the benchmarks' own, so that they run on a machine without a desktop.

# Starts Xvfb (its screen 1280x1024 unless a size is given) and exports DISPLAY; sets
# bench_xvfb_pid for stop_bench_display.
start_bench_display() {  # [WIDTHxHEIGHT]
  local display_file
  display_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "${1:-1280x1024}x24" -nolisten tcp -noreset 3>"$display_file" 2>/dev/null &
  bench_xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
  DISPLAY=":$(head -1 "$display_file")"
  export DISPLAY
  rm -f "$display_file"
}

stop_bench_display() {
  if [ -n "${bench_xvfb_pid:-}" ]; then
    kill "$bench_xvfb_pid" 2>/dev/null || true
    wait "$bench_xvfb_pid" 2>/dev/null || true
    bench_xvfb_pid=
  fi
}

# A game option (--scale, --fullscreen) gets a screen on which scale 2 fits; the game's
# settings and the records of its games live in the benchmark's folder, so that a player's
# own cannot change the run nor the run a player's.
# Usage: start_bench_game_display WORK_DIR [GAME_OPTION...]
start_bench_game_display() {
  export XDG_CONFIG_HOME="$1/config"
  export XDG_DATA_HOME="$1/data"
  if [ $# -gt 1 ]; then start_bench_display 2560x1600; else start_bench_display; fi
}
