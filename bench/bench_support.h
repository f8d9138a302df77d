// What the end-to-end benchmarks share: text, the process's memory, statistics and the machine
// they ran on.
#pragma once

#include <string>
#include <vector>

// The whole file; false when it cannot be read.
bool read_text_file(const std::string &path, std::string *text);
// UTF-8 to UTF-16; a malformed byte becomes U+FFFD, and U+0000 is left out.
std::u16string to_utf16(const std::string &in);

// Resident memory now (VmRSS), and its peak since the last reset (VmHWM), in MB.
double resident_mb();
double peak_rss_mb();
// Makes the peak that of the phase starting now; false where the kernel does not offer it.
bool reset_peak_rss();

double median(std::vector<double> values);
// Nearest-rank percentile.
double percentile(std::vector<double> values, double p);

// CPU model, core count and kernel.
std::string machine_description();
