-- Prints mpv's dropped frame counts when the file ends (used by bench/run.sh).
local dropped, decoder_dropped, shown = 0, 0, 0
mp.add_periodic_timer(0.5, function()
    dropped = mp.get_property_number("frame-drop-count", dropped)
    decoder_dropped = mp.get_property_number("decoder-frame-drop-count", decoder_dropped)
    shown = mp.get_property_number("estimated-frame-number", shown)
end)
mp.register_event("end-file", function()
    io.stderr:write(string.format("mpv-stats shown=%d dropped=%d decoder-dropped=%d\n", shown, dropped, decoder_dropped))
end)
