# shellcheck shell=bash
# Starting zorblet-highscore-server on this machine for a game whose compiled base address
# is a loopback one; shared by scripts/play and the player tests.

# True when a highscore service answers under the base address $1.
highscore_answers() {
  local url=${1%/}/
  curl -fsS -o /dev/null --max-time 2 "${url}BestOffSQL.php" 2>/dev/null
}

# Starts SERVER_BINARY for the loopback base address URL, with its log appended to LOG and,
# when DATABASE is given, that database; sets local_service_pid. Returns 1 when URL is not
# a loopback address, 2 when the server did not come up.
# Usage: start_local_service URL SERVER_BINARY LOG [DATABASE]
start_local_service() {
  local url=${1%/}/ binary=$2 log=$3 database=${4:-}
  [[ $url =~ ^http://(127\.[0-9.]+|localhost|\[::1\])(:([0-9]+))?(/.*)?$ ]] || return 1
  local bind=${BASH_REMATCH[1]} port=${BASH_REMATCH[3]:-80} path=${BASH_REMATCH[4]:-/}
  case $bind in localhost) bind=127.0.0.1 ;; \[::1\]) bind=::1 ;; esac
  local args=(--bind "$bind" --port "$port" --base-path "$path")
  [ -n "$database" ] && args+=(--db "$database")
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
