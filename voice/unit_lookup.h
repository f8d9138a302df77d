// Finds units by name in a voice's sorted index and reads their stored bytes from the voice file
// opened at loading.
// Each lookup writes a trace line to standard output.
#pragma once

struct VoiceDatabase;

// Position of the entry named exactly name (unsigned byte order), or -1. Writes
// "cst_find_word <name>" first.
int cst_find_word(const VoiceDatabase *voice, const char *name);
// cst_find_word on the current voice; -1 after "find_word: current voice is NULL" without one.
int find_word(const char *name);
// 0 when the current voice has a unit of this name, -1 otherwise.
int unit_exists(const char *name);

// Reads the unit's whole stored audio into buffer: its size (0 included), or -1 when the unit is
// missing, its size is negative or over capacity, or the file cannot be read in full. Safe from
// several threads at once.
int voice_unit_audio(const VoiceDatabase *voice, const char *name, unsigned char *buffer, int capacity);
// The same for the entry at a position of the index (from cst_find_word), with no trace line.
int voice_unit_audio_at(const VoiceDatabase *voice, int position, unsigned char *buffer, int capacity);
// voice_unit_audio on the current voice; -1 silently without one.
int get_unit_audio(const char *name, unsigned char *buffer, int capacity);
