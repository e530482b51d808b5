-- Run by test_in_ardour.py through ardour7-lua: a new session on Ardour's dummy audio backend, a
-- MIDI track with OstrelSynth (OSTREL_FORMAT: "LV2" or "VST3"), an audio track recording it, and
-- A4 played live into the MIDI track for a second and a half.
local format = os.getenv ("OSTREL_FORMAT")
local folder = os.getenv ("OSTREL_SESSION")

AudioEngine:set_backend ("None (Dummy)", "", "")
AudioEngine:set_sample_rate (48000)
AudioEngine:start (false)

local session = create_session (folder, "ostrel", 48000)
assert (session, "no session")

local synth = session:new_midi_track (ARDOUR.ChanCount (ARDOUR.DataType ("midi"), 1), ARDOUR.ChanCount (ARDOUR.DataType ("audio"), 2),
                                      false, ARDOUR.PluginInfo (), nil, nil, 1, "synth",
                                      ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true):front ()

local plugin
if format == "VST3" then
	plugin = ARDOUR.LuaAPI.new_plugin (session, "OstrelSynth", ARDOUR.PluginType.VST3, "")
else
	plugin = ARDOUR.LuaAPI.new_plugin (session, "https://tavik.audio/plugins/ostrelsynth", ARDOUR.PluginType.LV2, "")
end
assert (not plugin:isnil (), "Ardour could not instantiate the " .. format .. " plug-in")
assert (synth:add_processor_by_index (plugin, 0, nil, true) == 0, "Ardour refused the plug-in on a MIDI track")
print ("plugin", format, plugin:to_insert ():plugin (0):name ())

local rec = session:new_audio_track (2, 2, nil, 1, "rec", ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true):front ()
rec:input ():disconnect_all (nil)
rec:input ():audio (0):connect (synth:output ():audio (0):name ())
rec:input ():audio (1):connect (synth:output ():audio (1):name ())
rec:rec_enable_control ():set_value (1, PBD.GroupControlDisposition.NoGroup)
session:maybe_enable_record (false)
session:request_roll (ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep (300000)

local track = synth:to_track ():to_midi_track ()
local parser = ARDOUR.RawMidiParser ()
local function send (bytes)
	for _, b in ipairs (bytes) do
		if parser:process_byte (b) then
			assert (track:write_immediate_event (Evoral.EventType.MIDI_EVENT, parser:buffer_size (), parser:midi_buffer ()))
		end
	end
end

send ({ 0x90, 69, 100 })
ARDOUR.LuaAPI.usleep (1500000)
send ({ 0x80, 69, 0 })
ARDOUR.LuaAPI.usleep (500000)
session:request_stop (false, false, ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep (500000)
session:save_state ("", false, false, false, false, false)
close_session ()
print ("recorded")
