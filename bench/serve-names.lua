-- wrk: GET /strip.png for names never asked before, 14 to 24 characters as players make
-- them, each carrying its thread and count so that none repeats. The script runs on the
-- cores it measures, so a request costs it little: every character is escaped once, here,
-- and the request's head around the text is made once a thread.
local characters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 _-.!"
local codes = "0123456789abcdefghijklmnopqrstuvwxyz"
local threads = 0

local function escaped(text)
   return (text:gsub("[^%w_.-]", function(c) return string.format("%%%02X", c:byte()) end))
end

local escapedCharacters, escapedCodes = {}, {}
for i = 1, #characters do escapedCharacters[i] = escaped(characters:sub(i, i)) end
for i = 1, #codes do escapedCodes[i] = escaped("^" .. codes:sub(i, i)) end

function setup(thread)
   thread:set("id", threads)
   threads = threads + 1
end

function init(args)
   seed = 16 + id
   count = 0
   local marker = "@TEXT@"
   local head = wrk.format("GET", "/strip.png?text=" .. marker)
   local at = head:find(marker, 1, true)
   before, after = head:sub(1, at - 1), head:sub(at + #marker)
end

local function next(below)
   seed = (seed * 1664525 + 1013904223) % 4294967296
   return math.floor(seed / 256) % below
end

function request()
   count = count + 1
   -- The thread's character, then four digits of base 62 (14 million names a thread) at a
   -- fixed place: names differ there.
   local parts = {escapedCharacters[id % 62 + 1]}
   for k = 3, 0, -1 do
      parts[#parts + 1] = escapedCharacters[math.floor(count / 62 ^ k) % 62 + 1]
   end
   local length = 14 + next(11)
   local size = 5
   while size < length do
      if next(100) < 15 and size + 2 < length then
         parts[#parts + 1] = escapedCodes[next(#codes) + 1]
         size = size + 2
      else
         parts[#parts + 1] = escapedCharacters[next(#characters) + 1]
         size = size + 1
      end
   end
   return before .. table.concat(parts) .. after
end
