// Recording sessions (a recorder program per take, or takes from a folder) and the cutting of a
// folder's takes into units.
#include "tools/voice_recorder.h"

#include "tools/take_cutter.h"
#include "tools/voice_audio.h"
#include "tools/voice_builder.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

constexpr int kTakeMarginMs = 300;  // room kept before and after the speech of a take
constexpr int kKeyClickMs = 80;     // dropped at both ends of a live take: the Enter key's click
const char kRecordingName[] = ".recording.wav";
const char kCutMark[] = ".cut-from-takes";  // marks a units folder that cut_folder fills
constexpr int kStopWaitMs = 3000;  // for a recorder to end after a stop signal
constexpr int kStopPollMs = 10;

// The recorder's process group, for the signal handler: a session stopped with Ctrl-C stops the
// recorder too, though the recorder runs in a group of its own.
volatile sig_atomic_t recorder_group = 0;

void stop_recorder_and_die(int signal_number) {
    if (recorder_group > 0) kill(-recorder_group, SIGINT);
    std::signal(signal_number, SIG_DFL);
    raise(signal_number);
}

std::string shell_quote(const std::string &text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string fill_command(std::string command, const std::string &file, int prompt) {
    const std::pair<std::string, std::string> fields[] = {{"{file}", shell_quote(file)}, {"{prompt}", std::to_string(prompt)}};
    for (const auto &field : fields) {
        for (size_t at = command.find(field.first); at != std::string::npos; at = command.find(field.first, at + field.second.size()))
            command.replace(at, field.first.size(), field.second);
    }
    return command;
}

// Starts /bin/sh -c command in a process group of its own; its pid, or -1. SIGINT starts out
// ignored there: a recorder sets its own handler (arecord does), and a command that sets none runs
// to its end, however early the stop comes.
pid_t start_command(const std::string &command) {
    // SIGINT held back until the child ignores it: one sent to its group before then is dropped.
    sigset_t interrupt, saved;
    sigemptyset(&interrupt);
    sigaddset(&interrupt, SIGINT);
    sigprocmask(SIG_BLOCK, &interrupt, &saved);
    const pid_t pid = fork();
    if (pid == 0) {
        std::signal(SIGINT, SIG_IGN);
        sigprocmask(SIG_SETMASK, &saved, nullptr);
        setpgid(0, 0);
        const int null = open("/dev/null", O_RDONLY);
        if (null >= 0) dup2(null, STDIN_FILENO);
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    if (pid > 0) setpgid(pid, pid);
    sigprocmask(SIG_SETMASK, &saved, nullptr);
    return pid;
}

// Waits up to limit_ms for a process to end; true when it has, with its status.
bool wait_for_end(pid_t pid, int limit_ms, int *status) {
    for (int waited = 0;; waited += kStopPollMs) {
        const pid_t done = waitpid(pid, status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR)) return true;
        if (waited >= limit_ms) return false;
        usleep(kStopPollMs * 1000);
    }
}

// Stops a recorder as Ctrl-C would (SIGINT), then more firmly if it has not ended after a while
// (it may not have set its handler yet). Its exit status, 0 when it ended on SIGINT, or -1.
int stop_command(pid_t pid) {
    int status = 0;
    kill(-pid, SIGINT);
    if (!wait_for_end(pid, kStopWaitMs, &status)) {
        kill(-pid, SIGTERM);
        if (!wait_for_end(pid, kStopWaitMs, &status)) {
            kill(-pid, SIGKILL);
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }
    }
    recorder_group = 0;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGINT ? 0 : -1;
}

bool read_line(FILE *in, std::string *line) {
    line->clear();
    int c;
    while ((c = std::fgetc(in)) != EOF && c != '\n') line->push_back(static_cast<char>(c));
    if (c == EOF && line->empty()) return false;
    while (!line->empty() && (line->back() == '\r' || line->back() == ' ')) line->pop_back();
    return true;
}

std::set<int> read_retakes(const std::string &dir) {
    std::set<int> numbers;
    std::ifstream file(dir + "/retakes.tsv");
    std::string line;
    while (std::getline(file, line))
        if (!line.empty() && line[0] != '#') numbers.insert(std::atoi(line.c_str()));
    return numbers;
}

int write_retakes(const std::string &dir, const std::map<int, std::string> &retakes, std::string *error) {
    std::ofstream file(dir + "/retakes.tsv", std::ios::binary);
    file << "# Prompts to record again (velorin-voice record asks for them first): number TAB why.\n";
    for (const auto &entry : retakes) file << entry.first << '\t' << entry.second << '\n';
    if (!file.flush()) {
        *error = "cannot write " + dir + "/retakes.tsv";
        return -1;
    }
    return 0;
}

// Takes a prompt off the retake list once it has a new take.
void clear_retake(const std::string &dir, int number) {
    std::ifstream file(dir + "/retakes.tsv");
    if (!file) return;
    std::map<int, std::string> kept;
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') continue;
        const int n = std::atoi(line.c_str());
        const size_t tab = line.find('\t');
        if (n != number) kept[n] = tab == std::string::npos ? "" : line.substr(tab + 1);
    }
    file.close();
    std::string ignored;
    write_retakes(dir, kept, &ignored);
}

// The take's speech with some room either side; live takes lose their first and last moments,
// where the key was pressed.
PcmAudio trimmed_take(const PcmAudio &take, const TakeLevels &levels, bool live) {
    const int edge = live ? take.sample_rate * kKeyClickMs / 1000 : 0;
    const int margin = take.sample_rate * kTakeMarginMs / 1000;
    const int start = std::max(edge, levels.speech_start - margin);
    const int end = std::min(take.frames() - edge, levels.speech_end + margin);
    PcmAudio out;
    out.sample_rate = take.sample_rate;
    out.channels = take.channels;
    if (end > start) {
        const size_t ch = static_cast<size_t>(take.channels);
        out.samples.assign(take.samples.begin() + static_cast<long>(start * ch), take.samples.begin() + static_cast<long>(end * ch));
    }
    return out;
}

// What is wrong with a take of the prompt; empty when it can be kept. *kept is the take to keep.
int check_take(const PcmAudio &take, const Prompt &prompt, bool live, PcmAudio *kept, std::vector<std::string> *problems,
               std::string *error) {
    problems->clear();
    PcmAudio edged = take;
    if (live) {
        const int edge = take.sample_rate * kKeyClickMs / 1000;
        const size_t ch = static_cast<size_t>(take.channels);
        if (take.frames() > 2 * edge)
            edged.samples = std::vector<int16_t>(take.samples.begin() + static_cast<long>(edge * ch),
                                                 take.samples.end() - static_cast<long>(edge * ch));
    }
    const TakeLevels levels = measure_take(edged);
    *kept = trimmed_take(edged, levels, false);
    *problems = level_problems(levels);
    TakeCut cut;
    if (cut_take(*kept, prompt, &cut, error) != 0) return -1;
    problems->insert(problems->end(), cut.problems.begin(), cut.problems.end());
    return 0;
}

int save_take(const std::string &dir, int number, const PcmAudio &take, std::string *error) {
    const std::string path = take_path(dir, number);
    const std::string part = path + ".part";
    if (write_wav(part, take, error) != 0) return -1;
    std::error_code ec;
    fs::rename(part, path, ec);
    if (ec) {
        *error = "cannot store " + path + ": " + ec.message();
        return -1;
    }
    clear_retake(dir, number);
    return 0;
}

std::string duration_text(double seconds) {
    const long minutes = std::lround(seconds / 60);
    if (minutes < 1) return "under a minute";
    if (minutes < 60) return "about " + std::to_string(minutes) + " min";
    return "about " + std::to_string(minutes / 60) + " h " + std::to_string(minutes % 60) + " min";
}

int prepare_folder(const RecordOptions &options, std::vector<Prompt> *prompts, std::vector<bool> *done, std::string *error) {
    std::error_code ec;
    fs::create_directories(options.dir + "/takes", ec);
    if (ec) {
        *error = "cannot make " + options.dir + "/takes: " + ec.message();
        return -1;
    }
    const std::string own = options.dir + "/prompts.tsv";
    if (!fs::exists(own)) {
        if (options.prompts.empty()) {
            *error = options.dir + " holds no prompts.tsv: give the prompts with --prompts FILE";
            return -1;
        }
        std::vector<Prompt> check;
        if (read_prompts(options.prompts, &check, error) != 0) return -1;
        fs::copy_file(options.prompts, own, ec);
        if (ec) {
            *error = "cannot copy the prompts into " + own + ": " + ec.message();
            return -1;
        }
    }
    // A take cut short by a stop inside it is not kept.
    fs::remove(options.dir + "/takes/" + kRecordingName, ec);
    return read_folder(options.dir, prompts, done, error);
}

int record_from_folder(const RecordOptions &options, const std::vector<Prompt> &prompts, FILE *out, RecordReport *report,
                       std::string *error) {
    std::vector<std::pair<int, fs::path>> found;
    std::error_code ec;
    for (fs::directory_iterator it(options.from, ec), end; !ec && it != end; it.increment(ec)) {
        const int number = take_number(it->path().filename().string());
        if (number > 0) found.emplace_back(number, it->path());
    }
    if (ec) {
        *error = "cannot read " + options.from + ": " + ec.message();
        return -1;
    }
    std::sort(found.begin(), found.end());
    for (const auto &entry : found) {
        const int number = entry.first;
        if (number > static_cast<int>(prompts.size())) {
            report->refused.push_back(std::to_string(number) + ": no such prompt (the list has " + std::to_string(prompts.size()) + ")");
            continue;
        }
        PcmAudio take, kept;
        std::string why;
        if (read_wav(entry.second.string(), &take, &why) != 0) {
            report->refused.push_back(std::to_string(number) + ": " + why);
            continue;
        }
        std::vector<std::string> problems;
        if (check_take(take, prompts[number - 1], false, &kept, &problems, error) != 0) return -1;
        if (!problems.empty()) {
            std::string reasons;
            for (const std::string &p : problems) reasons += (reasons.empty() ? "" : "; ") + p;
            report->refused.push_back(std::to_string(number) + ": " + reasons);
            std::fprintf(out, "%5d  %s  -- %s\n", number, prompt_text(prompts[number - 1]).c_str(), reasons.c_str());
            continue;
        }
        if (save_take(options.dir, number, kept, error) != 0) return -1;
        report->accepted++;
        std::fprintf(out, "%5d  %s  ok\n", number, prompt_text(prompts[number - 1]).c_str());
    }
    return 0;
}

int record_live(const RecordOptions &options, const std::vector<Prompt> &prompts, std::vector<bool> done, FILE *in, FILE *out,
                RecordReport *report, std::string *error) {
    std::vector<int> order;  // prompt numbers still to record
    for (size_t i = 0; i < prompts.size(); i++)
        if (!done[i]) order.push_back(static_cast<int>(i) + 1);
    const std::string recording = options.dir + "/takes/" + kRecordingName;
    int last = 0;  // the prompt of the last take kept
    for (int n = static_cast<int>(prompts.size()); n > 0; n--) {
        if (fs::exists(take_path(options.dir, n)) && (order.empty() || n < order.front())) {
            last = n;
            break;
        }
    }
    const auto started = std::chrono::steady_clock::now();
    std::fprintf(out, "Keys (then Enter): nothing to start and to stop a take; r records the last take again;\n"
                      "p plays it; s skips a prompt; q stops (the next session goes on from here).\n");
    size_t at = 0;
    while (at < order.size()) {
        const int number = order[at];
        const Prompt &prompt = prompts[number - 1];
        const int remaining = static_cast<int>(order.size() - at);
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        const double per_take = report->accepted >= 3 ? elapsed / report->accepted : kSecondsPerTake;
        std::fprintf(out, "\n[%d of %d done, %d to go, %s left]\n", report->done, report->prompts, remaining,
                     duration_text(remaining * per_take).c_str());
        std::fprintf(out, "Prompt %d, %s:\n\n      %s\n\n", number,
                     prompt.kind == PromptKind::Run ? "the three words as one phrase" : "each word on its own, a pause between",
                     prompt_text(prompt).c_str());
        std::fprintf(out, "Enter to record> ");
        std::fflush(out);
        std::string line;
        if (!read_line(in, &line) || line == "q") break;
        if (line == "s") {
            at++;
            continue;
        }
        if (line == "p" || line == "r") {
            if (last == 0) {
                std::fprintf(out, "No take to %s yet.\n", line == "p" ? "play" : "record again");
            } else if (line == "p") {
                if (std::system(fill_command(options.player, take_path(options.dir, last), last).c_str()) != 0)
                    std::fprintf(out, "Could not play %s.\n", take_path(options.dir, last).c_str());
            } else if (order[at] != last) {
                order.insert(order.begin() + static_cast<long>(at), last);
            }
            continue;
        }
        const pid_t recorder = start_command(fill_command(options.recorder, recording, number));
        if (recorder < 0) {
            *error = "cannot start the recorder";
            return -1;
        }
        recorder_group = recorder;
        std::fprintf(out, "Recording... Enter to stop> ");
        std::fflush(out);
        const bool more = read_line(in, &line);
        const int status = stop_command(recorder);
        PcmAudio take, kept;
        std::string why;
        if (read_wav(recording, &take, &why) != 0) {
            *error = "the recorder wrote no take (" + why + "; exit status " + std::to_string(status) +
                     "): is a microphone connected? try: " + fill_command(options.recorder, "test.wav", number);
            return -1;
        }
        std::vector<std::string> problems;
        if (check_take(take, prompt, true, &kept, &problems, error) != 0) return -1;
        std::error_code ec;
        fs::remove(recording, ec);
        bool keep = problems.empty();
        if (!keep) {
            std::fprintf(out, "\nTake again:");
            for (const std::string &p : problems) std::fprintf(out, "\n  - %s", p.c_str());
            std::fprintf(out, "\nEnter to take it again, k to keep it anyway, s to skip> ");
            std::fflush(out);
            if (!more || !read_line(in, &line) || line == "q") break;
            if (line == "s") {
                at++;
                continue;
            }
            keep = line == "k";
        }
        if (!keep) continue;
        if (save_take(options.dir, number, kept, error) != 0) return -1;
        report->accepted++;
        if (!done[number - 1]) report->done++;
        done[number - 1] = true;
        last = number;
        std::fprintf(out, "Kept (%.1f s).\n", audio_ms(kept) / 1000);
        at++;
        if (!more) break;
    }
    std::fprintf(out, "\n%d takes kept in this session; %d of %d prompts done.\n", report->accepted, report->done,
                 report->prompts);
    return 0;
}

}  // namespace

std::string take_path(const std::string &dir, int number) {
    char name[32];
    std::snprintf(name, sizeof name, "%05d.wav", number);
    return dir + "/takes/" + name;
}

int take_number(const std::string &file_name) {
    if (file_name.size() < 5) return 0;
    std::string ext = file_name.substr(file_name.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::string stem = file_name.substr(0, file_name.size() - 4);
    if (ext != ".wav" || stem.empty() || stem.size() > 7 || stem.find_first_not_of("0123456789") != std::string::npos) return 0;
    return std::atoi(stem.c_str());
}

int read_folder(const std::string &dir, std::vector<Prompt> *prompts, std::vector<bool> *done, std::string *error) {
    if (read_prompts(dir + "/prompts.tsv", prompts, error) != 0) return -1;
    const std::set<int> retakes = read_retakes(dir);
    done->assign(prompts->size(), false);
    for (size_t i = 0; i < prompts->size(); i++) {
        const int number = static_cast<int>(i) + 1;
        (*done)[i] = !retakes.count(number) && fs::exists(take_path(dir, number));
    }
    return 0;
}

int record_session(const RecordOptions &options, FILE *in, FILE *out, RecordReport *report, std::string *error) {
    *report = RecordReport();
    std::vector<Prompt> prompts;
    std::vector<bool> done;
    if (prepare_folder(options, &prompts, &done, error) != 0) return -1;
    report->prompts = static_cast<int>(prompts.size());
    int result;
    if (!options.from.empty()) {
        result = record_from_folder(options, prompts, out, report, error);
    } else {
        report->done = static_cast<int>(std::count(done.begin(), done.end(), true));
        struct sigaction action {}, saved_int {}, saved_term {}, saved_hup {};
        action.sa_handler = stop_recorder_and_die;
        sigaction(SIGINT, &action, &saved_int);
        sigaction(SIGTERM, &action, &saved_term);
        sigaction(SIGHUP, &action, &saved_hup);
        result = record_live(options, prompts, done, in, out, report, error);
        sigaction(SIGINT, &saved_int, nullptr);
        sigaction(SIGTERM, &saved_term, nullptr);
        sigaction(SIGHUP, &saved_hup, nullptr);
    }
    std::vector<Prompt> ignored;
    if (result == 0 && read_folder(options.dir, &ignored, &done, error) == 0)
        report->done = static_cast<int>(std::count(done.begin(), done.end(), true));
    return result;
}

int cut_folder(const std::string &dir, const std::string &units_dir, CutReport *report, std::string *error) {
    *report = CutReport();
    std::vector<Prompt> prompts;
    if (read_prompts(dir + "/prompts.tsv", &prompts, error) != 0) return -1;
    std::vector<int> takes;
    std::error_code ec;
    for (fs::directory_iterator it(dir + "/takes", ec), end; !ec && it != end; it.increment(ec)) {
        const int number = take_number(it->path().filename().string());
        if (number > 0 && number <= static_cast<int>(prompts.size())) takes.push_back(number);
    }
    if (ec) {
        *error = "cannot read " + dir + "/takes: " + ec.message();
        return -1;
    }
    std::sort(takes.begin(), takes.end());
    const std::string out_dir = units_dir.empty() ? dir + "/units" : units_dir;
    fs::create_directories(out_dir, ec);
    // Units of an earlier cut go (a take may have been refused since), but only from a folder
    // that holds nothing else: a folder of someone's own recordings is never emptied.
    const std::string mark = out_dir + "/" + kCutMark;
    if (!fs::exists(mark) && !fs::is_empty(out_dir, ec)) {
        *error = out_dir + " holds files that were not cut from takes: give an empty folder";
        return -1;
    }
    for (fs::directory_iterator it(out_dir, ec), end; !ec && it != end; it.increment(ec))
        if (!unit_name_of_recording(it->path().filename().string()).empty()) fs::remove(it->path(), ec);
    if (ec || !std::ofstream(mark).good()) {
        *error = "cannot prepare " + out_dir + (ec ? ": " + ec.message() : "");
        return -1;
    }

    // First the levels of every take, for the gains and the one gate they share.
    std::map<int, double> gains;
    std::map<int, std::string> retakes;
    std::vector<double> rooms;
    for (int number : takes) {
        PcmAudio take;
        std::string why;
        if (read_wav(take_path(dir, number), &take, &why) != 0) {
            retakes[number] = why;
            continue;
        }
        const TakeLevels levels = measure_take(take);
        const std::vector<std::string> problems = level_problems(levels);
        if (!problems.empty()) {
            retakes[number] = problems[0];
            continue;
        }
        gains[number] = take_gain_db(take, levels);
        rooms.push_back(levels.noise_db + gains[number]);
    }
    report->gate_db = shared_gate_db(rooms);
    for (const auto &entry : gains) {
        const int number = entry.first;
        const Prompt &prompt = prompts[number - 1];
        PcmAudio take;
        std::string why;
        if (read_wav(take_path(dir, number), &take, &why) != 0) {
            retakes[number] = why;
            continue;
        }
        apply_gain_db(&take, entry.second);
        // Cut as recorded, so that the verdict is the one the recorder gave; the units are gated.
        TakeCut cut;
        if (cut_take(take, prompt, &cut, error) != 0) return -1;
        apply_noise_gate(&take, report->gate_db);
        report->takes++;
        if (!cut.problems.empty()) {
            retakes[number] = cut.problems[0];
            continue;
        }
        std::vector<std::string> left_out;
        const int written = write_take_units(take, prompt, cut, out_dir, &left_out, error);
        if (written < 0) return -1;
        report->units += written;
        const std::vector<std::string> weak = weak_joins(cut);
        if (!weak.empty()) {
            std::string reasons = "unsure where the words part:";
            for (const std::string &w : weak) reasons += " " + w;
            retakes[number] = reasons;
        }
    }
    for (const auto &entry : retakes) report->retakes.push_back(std::to_string(entry.first) + ": " + entry.second);
    return write_retakes(dir, retakes, error);
}
