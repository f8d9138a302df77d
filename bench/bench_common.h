// Helpers the end-to-end benchmarks share: text, statistics and the machine they ran on.
#pragma once

#include <string>
#include <vector>

// The whole file; false when it cannot be read.
bool read_text_file(const std::string &path, std::string *text);
// UTF-8 to UTF-16; a malformed byte becomes U+FFFD and NUL is dropped.
std::u16string to_utf16(const std::string &in);

double median(std::vector<double> values);
// Nearest-rank percentile.
double percentile(std::vector<double> values, double p);

// CPU model, core count and kernel.
std::string machine_description();
