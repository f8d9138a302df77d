// What velorin-say needs from the operating system: loading the engine at run time, finding
// the files beside the program, and keeping the engine's trace lines out of the audio.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

void *load_library(const std::string &path, std::string *error);
void *library_entry(void *library, const char *name);

// The engine library and the default voice beside the program ("" when there is no voice).
// VELORIN_LIBRARY and VELORIN_VOICE in the environment take precedence.
std::string default_library_path();
std::string default_voice_path();
// The folders where voices are looked for by name: the folder of VELORIN_VOICE when it is set, then
// voices/ beside the program and beside its folder (where the build puts the default voice). Only
// folders that exist, each once.
std::vector<std::string> voice_folders();

// A stream on a copy of standard output for audio, before standard output is redirected.
FILE *duplicate_stdout_for_audio();
// Routes what the engine writes: its trace lines (standard output) and decoder messages
// (standard error) go to standard error when verbose, else nowhere. Returns the stream for
// the program's own messages, a copy of the original standard error.
FILE *route_engine_output(bool verbose);

bool stderr_is_terminal();
void set_binary_mode(FILE *stream);
