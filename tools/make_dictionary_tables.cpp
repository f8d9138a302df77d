// Build-time tool: compiles the pronunciation lists (key TAB reading) into the constant
// dictionary tables of lexicon/dictionary.h, as one C++ source file.
//
// usage: make_dictionary_tables OUT.cpp NAME=LIST.tsv [NAME=LIST.tsv ...]
// Each NAME becomes the Dictionary `NAME`. Rows are sorted by key in unsigned byte order;
// where a key comes twice the first row of the list stays. Lines that are empty or start with
// '#' are comments. A malformed row stops the build with its file and line number.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Row {
    std::string key;
    std::string reading;
    size_t line = 0;
};

struct List {
    std::string name;
    std::string path;
    std::vector<Row> rows;
    size_t dropped = 0;
};

std::string base_name(const std::string &path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool fail(const std::string &message) {
    std::fprintf(stderr, "make_dictionary_tables: %s\n", message.c_str());
    return false;
}

// Bytes that may stand in a key or reading: printable ASCII (the tables are 8-bit ASCII).
bool printable(const std::string &text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return c >= 0x20 && c < 0x7f; });
}

bool read_list(List &list) {
    std::ifstream in(list.path, std::ios::binary);
    if (!in) return fail("cannot read " + list.path);
    std::string line;
    size_t number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        size_t tab = line.find('\t');
        std::string where = list.path + ":" + std::to_string(number) + ": ";
        if (tab == std::string::npos) return fail(where + "no TAB between key and reading");
        Row row{line.substr(0, tab), line.substr(tab + 1), number};
        if (row.key.empty()) return fail(where + "empty key");
        if (!printable(row.key) || !printable(row.reading) || row.reading.find('\t') != std::string::npos)
            return fail(where + "key or reading holds a byte outside printable ASCII");
        list.rows.push_back(std::move(row));
    }
    // Stable sort keeps the list order among equal keys, so the first of them survives.
    std::stable_sort(list.rows.begin(), list.rows.end(), [](const Row &a, const Row &b) {
        return a.key < b.key;  // std::string compares as unsigned char
    });
    auto last = std::unique(list.rows.begin(), list.rows.end(),
                            [](const Row &a, const Row &b) { return a.key == b.key; });
    list.dropped = static_cast<size_t>(list.rows.end() - last);
    list.rows.erase(last, list.rows.end());
    return true;
}

// One string literal; every string gets its own, so "\0" is never followed by a digit.
void put_literal(std::ostream &out, const std::string &text) {
    out << '"';
    for (char c : text) {
        if (c == '"' || c == '\\' || c == '?') out << '\\';
        out << c;
    }
    out << "\\0\"";
}

void write_list(std::ostream &out, const List &list) {
    const std::string &n = list.name;
    out << "\n// " << base_name(list.path) << ": " << list.rows.size() << " entries";
    if (list.dropped) out << ", " << list.dropped << " repeated keys dropped";
    out << ".\nnamespace {\nconst char " << n << "_text[] =\n";
    std::vector<unsigned long> key_at, reading_at;
    unsigned long offset = 0;
    for (const Row &row : list.rows) {
        key_at.push_back(offset);
        offset += row.key.size() + 1;
        reading_at.push_back(offset);
        offset += row.reading.size() + 1;
        out << "    ";
        put_literal(out, row.key);
        out << ' ';
        put_literal(out, row.reading);
        out << '\n';
    }
    if (list.rows.empty()) out << "    \"\"";
    out << ";\n";
    for (int pass = 0; pass < 2; ++pass) {
        const std::vector<unsigned long> &at = pass == 0 ? key_at : reading_at;
        out << "const uint32_t " << n << (pass == 0 ? "_keys" : "_readings") << "[] = {";
        for (size_t i = 0; i < at.size(); ++i) out << (i % 12 == 0 ? "\n    " : " ") << at[i] << ',';
        if (at.empty()) out << "0";
        out << "\n};\n";
    }
    out << "}  // namespace\n\nextern const Dictionary " << n << ";\nconst Dictionary " << n << " = {" << list.rows.size() << "u, " << n
        << "_text, " << n << "_keys, " << n << "_readings};\n";
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_dictionary_tables OUT.cpp NAME=LIST.tsv ...\n");
        return 2;
    }
    std::vector<List> lists;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        size_t eq = arg.find('=');
        if (eq == std::string::npos || eq == 0) {
            fail("argument '" + arg + "' is not NAME=LIST.tsv");
            return 2;
        }
        List list;
        list.name = arg.substr(0, eq);
        list.path = arg.substr(eq + 1);
        if (!read_list(list)) return 1;
        lists.push_back(std::move(list));
    }

    std::ostringstream out;
    out << "// Automatically generated by tools/make_dictionary_tables with arguments";
    for (const List &list : lists) out << ' ' << list.name << '=' << base_name(list.path);
    out << "; do not edit.\n#include \"lexicon/dictionary.h\"\n\n#include <cstdint>\n";
    for (const List &list : lists) write_list(out, list);

    // Written whole at the end, so a failed run leaves no half file behind.
    std::string target = argv[1];
    std::string temporary = target + ".tmp";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file << out.str();
        if (!file.flush()) {
            fail("cannot write " + temporary);
            return 1;
        }
    }
    if (std::rename(temporary.c_str(), target.c_str()) != 0) {
        fail("cannot rename " + temporary + " to " + target);
        return 1;
    }
    return 0;
}
