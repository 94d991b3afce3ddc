// Reads docs/api-notes.txt: what the reference says beyond the header line, keyed by name.
//   [MVE_LoadMesh]                 an entry for a procedure, constant or type of the header
//   text: ...                      added to the header line's description
//   param file: ...                meaning of a parameter
//   returns: ...                   what the result means
//   fails: "Fail: Mesh not found!" a red row it may write ("…" or "..." where a value goes);
//   fails: none                    or that it writes none
//   include: @registry             the rows of a shared entry [@registry], or of a procedure it
//                                  calls (include: MVE_CatchShader)
// A line that starts with a space continues the field above it; "#" starts a comment line.
#include "ApiDoc.h"
#include <sstream>

namespace apidoc {

namespace {

std::string Ellipsis(std::string s) {
    for (size_t at; (at = s.find("...")) != std::string::npos;) s.replace(at, 3, kEllipsis);
    return s;
}

}  // namespace

ApiNotes ParseNotes(const std::string &text, std::vector<std::string> &problems) {
    ApiNotes notes;
    std::istringstream in(text);
    ApiNote *entry = nullptr;
    std::string *continued = nullptr;
    int lineNo = 0;
    auto problem = [&](const std::string &what) {
        problems.push_back("docs/api-notes.txt:" + std::to_string(lineNo) + ": " + what);
    };
    for (std::string line; std::getline(in, line);) {
        lineNo += 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string t = Trim(line);
        if (t.empty() || t[0] == '#') {
            continued = nullptr;
            continue;
        }
        if (line[0] == ' ' || line[0] == '\t') {
            if (!continued) problem("an indented line continues no field");
            else *continued += " " + t;
            continue;
        }
        continued = nullptr;
        if (t[0] == '[') {
            if (t.back() != ']') {
                problem("an entry name is written [NAME]");
                entry = nullptr;
                continue;
            }
            std::string name = Trim(t.substr(1, t.size() - 2));
            if (notes.Entries.count(name)) problem("[" + name + "] appears a second time; keep one entry");
            entry = &notes.Entries[name];
            entry->sName = name;
            entry->iLine = lineNo;
            notes.Order.push_back(name);
            continue;
        }
        if (!entry) {
            problem("a field before the first [NAME]");
            continue;
        }
        size_t colon = t.find(':');
        if (colon == std::string::npos) {
            problem("a field is written KEY: VALUE");
            continue;
        }
        std::string key = Trim(t.substr(0, colon));
        std::string value = Trim(t.substr(colon + 1));
        if (key == "text") {
            if (!entry->sText.empty()) entry->sText += " ";
            entry->sText += value;
            continued = &entry->sText;
        } else if (key.compare(0, 6, "param ") == 0) {
            entry->Params.push_back({Trim(key.substr(6)), value});
            continued = &entry->Params.back().second;
        } else if (key == "returns") {
            if (!entry->sReturns.empty()) problem("[" + entry->sName + "] has a second returns:");
            entry->sReturns = value;
            continued = &entry->sReturns;
        } else if (key == "fails") {
            if (value == "none") {
                entry->bNoFails = true;
            } else if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
                entry->Fails.push_back({Ellipsis(value.substr(1, value.size() - 2)), lineNo});
            } else {
                problem("a row is quoted: fails: \"Fail: ...!\" (or fails: none)");
            }
        } else if (key == "include") {
            entry->Includes.push_back({value, lineNo});
        } else {
            problem("unknown field \"" + key + "\" (text, param NAME, returns, fails, include)");
        }
    }
    return notes;
}

}  // namespace apidoc
