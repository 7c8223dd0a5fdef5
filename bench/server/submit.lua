-- wrk script: every request a new, valid submission (distinct name, right check value).
-- The base path comes from the URL given to wrk.

local threads = 0

function setup(thread)
  thread:set("thread_number", threads)
  threads = threads + 1
end

local sent = 0

-- Remainders truncate toward zero, as in the game: math.fmod keeps the dividend's sign.
local function remainders(value)
  local text = ""
  for _, divisor in ipairs({13, 7, 31, 59}) do
    text = text .. string.format("%d", math.fmod(value, divisor))
  end
  return text
end

function request()
  sent = sent + 1
  local points = (sent * 7919) % 1000000
  local name = string.format("Bench%d-%d", thread_number, sent)
  local check = remainders(points) .. remainders(string.byte(name, 1))
  local path = string.format("%sHighScoreSQL.php?Punkte=%d&Name=%s&Check=%s",
                             wrk.path, points, name, check)
  return wrk.format("GET", path)
end
