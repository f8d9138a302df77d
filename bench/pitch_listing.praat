# Writes the pitch of every WAV file in a folder, one line a file: its name, then the pitch in Hz
# of every 1 ms frame (0 where unvoiced), then "|" and the time of the first frame. Praat's
# autocorrelation method (ac, a window of three periods of the floor) or its cross-correlation
# method (cc, one period: closer to each period), floor 75 Hz, ceiling 300 Hz, standard settings.
#   praat --run bench/pitch_listing.praat FOLDER [ac|cc]
form Pitch listing
  sentence folder .
  word method ac
endform
files = Create Strings as file list: "files", folder$ + "/*.wav"
count = Get number of strings
for i to count
  selectObject: files
  file$ = Get string: i
  sound = Read from file: folder$ + "/" + file$
  if method$ = "cc"
    pitch = To Pitch (cc): 0.001, 75, 15, "no", 0.03, 0.45, 0.01, 0.35, 0.14, 300
  else
    pitch = To Pitch (ac): 0.001, 75, 15, "no", 0.03, 0.45, 0.01, 0.35, 0.14, 300
  endif
  frames = Get number of frames
  line$ = file$
  for k to frames
    value = Get value in frame: k, "Hertz"
    if value = undefined
      line$ = line$ + " 0"
    else
      line$ = line$ + " " + fixed$(value, 2)
    endif
  endfor
  first = Get time from frame number: 1
  appendInfoLine: line$, " | ", fixed$(first, 4)
  removeObject: sound, pitch
endfor
