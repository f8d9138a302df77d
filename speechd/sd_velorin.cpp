// sd_velorin: speech-dispatcher's output module for the Velorin engine.
//
//   sd_velorin [CONFIG]
//
// speech-dispatcher starts it with the path of velorin.conf and talks to it on standard input
// and output; standard error is the module's log.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "speechd/module_config.h"
#include "speechd/module_session.h"
#include "tools/voice_catalog.h"

int main(int argc, char **argv) {
    // A server that goes away is seen as a failed write, not a signal.
    signal(SIGPIPE, SIG_IGN);
    // The protocol owns standard output: it keeps a copy, and whatever else writes to standard
    // output (the engine's trace, when diagnostics are on) lands in the log.
    const int protocol = dup(STDOUT_FILENO);
    if (protocol < 0 || dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        std::fprintf(stderr, "sd_velorin: cannot set up standard output: %s\n", std::strerror(errno));
        return 1;
    }

    ModuleConfig config;
    if (argc >= 2 && argv[1][0] != 0) {
        std::ifstream file(argv[1], std::ios::binary);
        if (file) {
            std::ostringstream text;
            text << file.rdbuf();
            std::vector<std::string> problems;
            parse_module_config(text.str(), &config, &problems);
            for (const std::string &problem : problems) std::fprintf(stderr, "sd_velorin: %s: %s\n", argv[1], problem.c_str());
        } else {
            std::fprintf(stderr, "sd_velorin: cannot read %s: %s; using the defaults\n", argv[1], std::strerror(errno));
        }
    }
    if (config.voice_directories.empty()) config.voice_directories = default_voice_directories();
    if (config.default_voice.empty()) config.default_voice = kDefaultVoiceName;
    return run_module(STDIN_FILENO, protocol, config);
}
