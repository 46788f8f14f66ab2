-- Reports how many frames mpv dropped (decoder and video output), for the playback benchmark.
local decoder, output = 0, 0
mp.observe_property("frame-drop-count", "number", function(_, v) if v then decoder = v end end)
mp.observe_property("vo-drop-frame-count", "number", function(_, v) if v then output = v end end)
mp.register_event("shutdown", function()
  io.stderr:write(string.format("mpv dropped: decoder %d, output %d\n", decoder, output))
end)
