-- wrk script: every request a recorded game, POSTed to api/v1/games. The records are the
-- files game-FIRST.zrec ... of the folder in ZORBLET_BENCH_GAMES, ZORBLET_BENCH_GAME_COUNT
-- of them from ZORBLET_BENCH_GAME_FIRST on; each is sent once, then again from the first
-- (a resend, answered from the stored entry without a replay). One wrk thread.

local records = {}
local next_record = 0

function init(args)
  local folder = os.getenv("ZORBLET_BENCH_GAMES")
  local count = tonumber(os.getenv("ZORBLET_BENCH_GAME_COUNT"))
  local first = tonumber(os.getenv("ZORBLET_BENCH_GAME_FIRST") or "0")
  for i = first, first + count - 1 do
    local file = io.open(string.format("%s/game-%d.zrec", folder, i), "rb")
    records[#records + 1] = file:read("*a")
    file:close()
  end
end

function request()
  next_record = next_record % #records + 1
  local path = string.format("%sapi/v1/games?name=Bot%d", wrk.path, next_record)
  return wrk.format("POST", path, {["Content-Type"] = "application/octet-stream"}, records[next_record])
end
