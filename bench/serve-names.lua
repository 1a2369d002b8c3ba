-- wrk: GET /strip.png for names never asked before, 14 to 24 characters as players make
-- them, each carrying its thread and count so that none repeats.
local characters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 _-.!"
local codes = "0123456789abcdefghijklmnopqrstuvwxyz"
local threads = 0

function setup(thread)
   thread:set("id", threads)
   threads = threads + 1
end

function init(args)
   seed = 16 + id
   count = 0
end

local function next(below)
   seed = (seed * 1664525 + 1013904223) % 4294967296
   return math.floor(seed / 256) % below
end

-- Four digits of base 62 (14 million names a thread) at a fixed place: names differ there.
local function base62(n)
   local digits = ""
   for _ = 1, 4 do
      local d = n % 62
      digits = characters:sub(d + 1, d + 1) .. digits
      n = math.floor(n / 62)
   end
   return digits
end

function request()
   count = count + 1
   local unique = characters:sub(id % 62 + 1, id % 62 + 1) .. base62(count)
   local length = 14 + next(11)
   local name = unique
   while #name < length do
      if next(100) < 15 and #name + 2 < length then
         local c = next(#codes) + 1
         name = name .. "^" .. codes:sub(c, c)
      else
         local c = next(#characters) + 1
         name = name .. characters:sub(c, c)
      end
   end
   local encoded = name:gsub("[^%w_.-]", function(c) return string.format("%%%02X", c:byte()) end)
   return wrk.format("GET", "/strip.png?text=" .. encoded)
end
