// speech-dispatcher's output-module protocol over the engine: commands read from the server,
// replies and events written back. A message is spoken on the engine's worker thread; its audio
// goes to the server as "705 AUDIO" blocks with the index marks in step, and the server plays it.
#pragma once

#include "speechd/module_config.h"

// Speaks the protocol with commands on in_fd and replies and events on out_fd; the module's own
// log goes to standard error. Returns the exit status: 0 after QUIT, 2 when the server goes away,
// 3 when it does not start with INIT.
int run_module(int in_fd, int out_fd, const ModuleConfig &config);
