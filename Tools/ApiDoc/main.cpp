// mve-apidocbuilder: writes docs/API.md from the header, the notes, the first program and the
// engine's sources; with --check it writes into the build folder and fails, with a diff and the
// entries to add, when the committed reference is not what the inputs give now.
//   mve-apidocbuilder SOURCE_ROOT OUTPUT            (target mve-apidoc: OUTPUT = docs/API.md)
//   mve-apidocbuilder --check SOURCE_ROOT OUTPUT    (the test Docs.ApiReferenceMatchesHeader)
//   mve-apidocbuilder --rows SOURCE_ROOT            (the red rows found in Source/, by procedure)
#include "ApiDoc.h"
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

namespace fs = std::filesystem;
using namespace apidoc;

namespace {

const char *const kRegenerate = "cmake --build build --target mve-apidoc";

bool ReadFile(const fs::path &path, std::string &out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    out = s.str();
    return true;
}

std::vector<std::string> Lines(const std::string &s) {
    std::vector<std::string> out;
    std::istringstream in(s);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

// A line diff of the committed reference against the generated one, in hunks; at most `budget`
// lines are printed.
void PrintDiff(const std::string &committed, const std::string &generated, int budget) {
    std::vector<std::string> a = Lines(committed), b = Lines(generated);
    size_t head = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head]) head += 1;
    size_t tail = 0;
    while (tail < a.size() - head && tail < b.size() - head && a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
        tail += 1;
    std::vector<std::string> x(a.begin() + head, a.end() - tail), y(b.begin() + head, b.end() - tail);
    // Longest common subsequence of the changed middle; a huge middle is shown without alignment.
    std::vector<std::pair<char, std::string>> ops;
    if (x.size() * y.size() <= 16u * 1024 * 1024) {
        std::vector<std::vector<int>> L(x.size() + 1, std::vector<int>(y.size() + 1, 0));
        for (size_t i = x.size(); i-- > 0;)
            for (size_t j = y.size(); j-- > 0;)
                L[i][j] = x[i] == y[j] ? L[i + 1][j + 1] + 1 : std::max(L[i + 1][j], L[i][j + 1]);
        size_t i = 0, j = 0;
        while (i < x.size() || j < y.size()) {
            if (i < x.size() && j < y.size() && x[i] == y[j]) {
                ops.push_back({' ', x[i]});
                i += 1, j += 1;
            } else if (i < x.size() && (j == y.size() || L[i + 1][j] >= L[i][j + 1])) {
                ops.push_back({'-', x[i++]});
            } else {
                ops.push_back({'+', y[j++]});
            }
        }
    } else {
        for (const std::string &l : x) ops.push_back({'-', l});
        for (const std::string &l : y) ops.push_back({'+', l});
    }
    size_t line = head + 1;   // line number in the committed file
    bool inHunk = false;
    int printed = 0, hidden = 0;
    for (size_t k = 0; k < ops.size(); ++k) {
        if (ops[k].first == ' ') {
            inHunk = false;
            line += 1;
            continue;
        }
        if (printed >= budget) {
            hidden += 1;
            continue;
        }
        if (!inHunk) {
            std::cout << "@@ docs/API.md line " << line << " @@\n";
            inHunk = true;
        }
        std::cout << ops[k].first << " " << ops[k].second << "\n";
        printed += 1;
        if (ops[k].first == '-') line += 1;
    }
    if (hidden) std::cout << "... and " << hidden << " more changed lines\n";
}

int Usage() {
    std::cerr << "usage: mve-apidocbuilder [--check] SOURCE_ROOT OUTPUT | --rows SOURCE_ROOT\n";
    return 2;
}

}  // namespace

int main(int argc, char **argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    bool check = argc == 4 && mode == "--check";
    bool rowsOnly = argc == 3 && mode == "--rows";
    if (argc != 3 && !check) return Usage();
    const fs::path root = argv[check || rowsOnly ? 2 : 1];
    const fs::path output = rowsOnly ? fs::path() : fs::path(argv[check ? 3 : 2]);

    std::string header, notesText, example;
    for (auto [path, text] : {std::pair<const char *, std::string *>{"Include/MVE.h", &header},
                              {"docs/api-notes.txt", &notesText},
                              {"docs/first-program.c", &example}}) {
        if (!ReadFile(root / path, *text)) {
            std::cerr << "cannot read " << (root / path).string() << "\n";
            return 2;
        }
    }
    std::vector<std::pair<std::string, std::string>> sources;
    std::error_code ec;
    for (const fs::directory_entry &e : fs::recursive_directory_iterator(root / "Source", ec)) {
        const std::string ext = e.path().extension().string();
        if (!e.is_regular_file() || (ext != ".cpp" && ext != ".h" && ext != ".c")) continue;
        std::string text;
        if (ReadFile(e.path(), text)) sources.push_back({fs::relative(e.path(), root).generic_string(), text});
    }
    if (ec || sources.empty()) {
        std::cerr << "cannot read the engine's sources under " << (root / "Source").string() << "\n";
        return 2;
    }
    std::sort(sources.begin(), sources.end());

    if (rowsOnly) {
        ApiSourceFacts facts = ScanSources(sources);
        for (const auto &[name, rows] : facts.Rows)
            for (const ApiRow &r : rows) std::cout << name << "  \"" << r.sText << "\"  " << r.sWhere << "\n";
        for (const auto &[name, where] : facts.Computed)
            for (const std::string &w : where) std::cout << name << "  (a row made elsewhere)  " << w << "\n";
        for (const std::string &r : facts.AllRows) std::cout << "any  \"" << r << "\"\n";
        return 0;
    }
    std::vector<std::string> problems, missing;
    ApiInputs in;
    in.Header = ParseHeader(header, problems);
    in.Notes = ParseNotes(notesText, problems);
    in.Facts = ScanSources(sources);
    in.sExample = example;
    const std::string reference = BuildReference(in, problems, missing);

    {
        std::ofstream out(output, std::ios::binary);
        out << reference;
        if (!out) {
            std::cerr << "cannot write " << output.string() << "\n";
            return 2;
        }
    }
    int status = 0;
    if (!problems.empty()) {
        std::cout << "The notes and the header or the sources disagree (" << problems.size() << "):\n";
        for (const std::string &p : problems) std::cout << "  " << p << "\n";
        status = 1;
    }
    if (!missing.empty()) {
        std::cout << (status ? "\n" : "") << "docs/api-notes.txt lacks what the reference needs for " << missing.size()
                  << (missing.size() == 1 ? " name" : " names")
                  << " of Include/MVE.h. Add these entries (the file's head explains the fields), then run `"
                  << kRegenerate << "` and commit docs/API.md:\n\n";
        for (const std::string &m : missing) std::cout << m << "\n\n";
        status = 1;
    }
    if (check) {
        std::string committed;
        ReadFile(root / "docs/API.md", committed);
        if (committed != reference) {
            std::cout << (status ? "\n" : "") << "docs/API.md is not what Include/MVE.h, docs/api-notes.txt, docs/first-program.c and the "
                         "rows of Source/ give now. Run `"
                      << kRegenerate << "` and commit docs/API.md. Differences (- committed, + generated):\n";
            PrintDiff(committed, reference, 60);
            status = 1;
        }
    } else if (status == 0) {
        std::cout << "wrote " << output.string() << "\n";
    }
    return status;
}
