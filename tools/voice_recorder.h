// A recording folder: the session that records one take per prompt, and the cutting of its takes
// into the unit recordings that velorin-voice build reads.
//
//   DIR/prompts.tsv      the prompts this folder follows (copied in at the first session)
//   DIR/takes/N.wav      the accepted take of prompt N (five digits: 00012.wav)
//   DIR/retakes.tsv      prompts whose takes the cutter could not trust, with why
//   DIR/units/           the units cut from the takes (<syllable>.<position>.wav)
//
// A take is written beside the others under a temporary name and renamed only once it is checked
// and accepted, so a session stopped at any point, even inside a take, loses at most that take.
#pragma once

#include "tools/voice_prompts.h"

#include <cstdio>
#include <string>
#include <vector>

constexpr double kSecondsPerTake = 3.0;  // for the time left before a session has measured its own

struct RecordOptions {
    std::string dir;
    std::string prompts;  // prompt file for a new folder; empty: the folder must hold one
    std::string from;     // takes that already exist, named by prompt number (12.wav, 00012.wav)
    // Records one take into {file} until it is sent SIGINT; {prompt} is the prompt number.
    std::string recorder = "arecord -q -f S16_LE -c 1 -r 44100 -t wav {file}";
    std::string player = "aplay -q {file}";  // plays {file}
};

struct RecordReport {
    int prompts = 0;
    int accepted = 0;                    // takes accepted in this session
    int done = 0;                        // prompts with a take, all sessions
    std::vector<std::string> refused;    // "12: clipped ..." (from --from: listed, not kept)
};

// Runs a session: with options.from, checks and files every take found there; otherwise shows
// each prompt without a take on out, records it when a line is read from in, and asks again when
// the check fails. 0, or -1 with a reason in *error.
int record_session(const RecordOptions &options, FILE *in, FILE *out, RecordReport *report, std::string *error);

// The path of prompt N's take in a folder.
std::string take_path(const std::string &dir, int number);
// The prompt number a take file is named by ("12.wav", "00012.wav"), or 0.
int take_number(const std::string &file_name);
// The prompts of a folder with the numbers of those that have a take and are not listed for a retake.
int read_folder(const std::string &dir, std::vector<Prompt> *prompts, std::vector<bool> *done, std::string *error);

struct CutReport {
    int takes = 0;
    int units = 0;                       // unit files written
    double gate_db = 0;                  // the shared noise gate
    std::vector<std::string> retakes;    // "12: heard 2 syllables, ..." / "12: join 1 (0.31)"
};

// Cuts every take of the folder into units_dir (made if missing; default DIR/units), after
// bringing each take to a common loudness and one noise gate; writes DIR/retakes.tsv. 0, or -1 with
// a reason in *error.
int cut_folder(const std::string &dir, const std::string &units_dir, CutReport *report, std::string *error);
