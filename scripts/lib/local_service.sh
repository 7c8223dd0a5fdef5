# shellcheck shell=bash
# Starting zorblet-highscore-server on this machine for a game whose compiled base address
# is a loopback one, and filling it with scores; shared by scripts/play, the benchmarks
# and the player tests.

# True when a highscore service answers under the base address $1.
highscore_answers() {
  local url=${1%/}/
  curl -fsS -o /dev/null --max-time 2 "${url}BestOffSQL.php" 2>/dev/null
}

# Starts SERVER_BINARY for the loopback base address URL, with its log appended to LOG and,
# when DATABASE is given, that database and any further server options; sets
# local_service_pid. Returns 1 when URL is not a loopback address, 2 when the server did
# not come up.
# Usage: start_local_service URL SERVER_BINARY LOG [DATABASE [OPTION...]]
start_local_service() {
  local url=${1%/}/ binary=$2 log=$3 database=${4:-} options=("${@:5}")
  [[ $url =~ ^http://(127\.[0-9.]+|localhost|\[::1\])(:([0-9]+))?(/.*)?$ ]] || return 1
  local bind=${BASH_REMATCH[1]} port=${BASH_REMATCH[3]:-80} path=${BASH_REMATCH[4]:-/}
  case $bind in localhost) bind=127.0.0.1 ;; \[::1\]) bind=::1 ;; esac
  local args=(--bind "$bind" --port "$port" --base-path "$path")
  [ -n "$database" ] && args+=(--db "$database")
  args+=("${options[@]}")
  "$binary" "${args[@]}" 2>>"$log" &
  local_service_pid=$!
  for _ in $(seq 100); do
    highscore_answers "$url" && return 0
    kill -0 "$local_service_pid" 2>/dev/null || break
    sleep 0.1
  done
  return 2
}

stop_local_service() {
  if [ -n "${local_service_pid:-}" ]; then
    kill -TERM "$local_service_pid" 2>/dev/null || true
    wait "$local_service_pid" 2>/dev/null || true
    local_service_pid=
  fi
}

# Names with umlauts and sharp s as the game sends them: Windows-1252, percent-encoded.
seed_names=(M%FCller B%E4cker Gr%F6%DFe %D6zt%FCrk J%FCrgen K%F6nig Sch%E4fer Wei%DF %C4rger %DCbel)

# The check value of a submission: the remainders of the points and of the name's first
# byte by 13, 7, 31 and 59, one after the other.
check_text() {
  local points=$1 initial=$2 text='' divisor
  for divisor in 13 7 31 59; do text+=$((points % divisor)); done
  for divisor in 13 7 31 59; do text+=$((initial % divisor)); done
  echo "$text"
}

# The Windows-1252 code of a percent-encoded name's first byte.
first_byte() {
  local name=$1
  if [[ $name == %* ]]; then echo $((16#${name:1:2})); else printf '%d' "'${name:0:1}"; fi
}

# Submits COUNT scores with umlaut names through the service's own HTTP interface at
# the base address URL; the service must run without a rate limit (--submit-rate 0).
# Usage: seed_highscores URL COUNT
seed_highscores() {
  local url=${1%/}/ count=$2 i name points
  for ((i = 0; i < count; i++)); do
    name="${seed_names[i % ${#seed_names[@]}]}%20$((i + 1))"
    points=$(((i * 7919 + 350) % 20000))
    curl -fsS -o /dev/null --max-time 5 \
      "${url}HighScoreSQL.php?Punkte=$points&Name=$name&Check=$(check_text "$points" "$(first_byte "$name")")" ||
      return 1
  done
}
