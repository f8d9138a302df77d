// What the end-to-end benchmarks share.
#include "bench/bench_support.h"

#include <fcntl.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

bool read_text_file(const std::string &path, std::string *text) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::ostringstream content;
    content << file.rdbuf();
    *text = content.str();
    return !file.bad();
}

std::u16string to_utf16(const std::string &in) {
    std::u16string out;
    out.reserve(in.size());
    size_t i = 0;
    while (i < in.size()) {
        const unsigned char lead = static_cast<unsigned char>(in[i]);
        uint32_t code = 0xFFFD;
        size_t extra = 0;
        if (lead < 0x80) {
            code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            code = lead & 0x1F, extra = 1;
        } else if ((lead & 0xF0) == 0xE0) {
            code = lead & 0x0F, extra = 2;
        } else if ((lead & 0xF8) == 0xF0) {
            code = lead & 0x07, extra = 3;
        }
        if (extra && i + extra >= in.size()) extra = 0, code = 0xFFFD;
        for (size_t k = 1; k <= extra; ++k) code = code << 6 | (static_cast<unsigned char>(in[i + k]) & 0x3F);
        i += extra + 1;
        if (code == 0) continue;
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
    }
    return out;
}

namespace {

double status_mb(const char *field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const size_t length = std::strlen(field);
    while (std::getline(status, line)) {
        if (line.compare(0, length, field) == 0) return std::strtod(line.c_str() + length, nullptr) / 1024.0;
    }
    return NAN;
}

}  // namespace

double resident_mb() { return status_mb("VmRSS:"); }

double peak_rss_mb() { return status_mb("VmHWM:"); }

bool reset_peak_rss() {
    const int fd = open("/proc/self/clear_refs", O_WRONLY);
    if (fd < 0) return false;
    const bool ok = write(fd, "5", 1) == 1;
    close(fd);
    return ok;
}

double median(std::vector<double> values) {
    if (values.empty()) return NAN;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return NAN;
    std::sort(values.begin(), values.end());
    size_t rank = static_cast<size_t>(std::ceil(p / 100.0 * static_cast<double>(values.size())));
    rank = std::clamp<size_t>(rank, 1, values.size());
    return values[rank - 1];
}

std::string machine_description() {
    std::string model;
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line)) {
        if (line.rfind("model name", 0) == 0) {
            model = line.substr(line.find(':') + 2);
            break;
        }
    }
    utsname name{};
    uname(&name);
    return model + ", " + std::to_string(std::thread::hardware_concurrency()) + " cores, " + name.sysname + " " +
           name.release;
}
