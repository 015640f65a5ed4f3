"""Prints a Standard MIDI File as Debian's python3-mido reads it: the format and resolution, then
one line per event, its tick and what it is (channel and system-exclusive messages in hex).

Usage: read_midi_file.py FILE
"""

import sys

import mido

song = mido.MidiFile(sys.argv[1])
print(f"format {song.type}, {song.ticks_per_beat} ticks per quarter note, {len(song.tracks)} track")
for track in song.tracks:
    tick = 0
    for event in track:
        tick += event.time
        if event.type == "set_tempo":
            print(f"{tick} tempo {event.tempo}")
        elif event.type == "time_signature":
            print(f"{tick} time {event.numerator}/{event.denominator}")
        elif event.type == "track_name":
            print(f"{tick} name {event.name}")
        elif event.is_meta:
            print(f"{tick} {event.type}")
        else:
            print(f"{tick} {event.hex()}")
