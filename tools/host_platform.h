// What a host needs from the operating system: loading the engine at run time, finding the
// files beside the program, and keeping the engine's trace lines out of the audio.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

void *load_library(const std::string &path, std::string *error);
void *library_entry(void *library, const char *name);

// The folder that holds the running program.
std::string program_directory();

// The engine library: VELORIN_LIBRARY from the environment, else the one beside the program,
// else the installed one.
std::string default_library_path();

// A stream on a copy of standard output for audio, before standard output is redirected.
FILE *duplicate_stdout_for_audio();
// Routes what the engine writes: its trace lines (standard output) and decoder messages
// (standard error) go to standard error when verbose, else nowhere. Returns the stream for
// the program's own messages, a copy of the original standard error.
FILE *route_engine_output(bool verbose);

bool stderr_is_terminal();
void set_binary_mode(FILE *stream);
