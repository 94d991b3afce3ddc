// The API reference builder: reads the public header, the engine sources and the hand-kept notes,
// and writes docs/API.md. A build tool, run by the target mve-apidoc and by the test suite; it
// never links the engine and never changes anything but the file it is asked to write.
#pragma once
#include <map>
#include <set>
#include <string>
#include <vector>

namespace apidoc {

// ---------------------------------------------------------------- The header

struct ApiParam {
    std::string sType;  // "const char *"
    std::string sName;  // "file"; empty for an unnamed parameter
};

struct ApiItem {
    enum Kind { Procedure, Constant, Type, Paragraph };
    Kind eKind = Procedure;
    std::string sName;       // procedure, constant or type name; empty for a paragraph
    std::string sCode;       // the declaration, whitespace folded; the value of a constant
    std::string sReturn;     // return type of a procedure ("void", "v4f *")
    std::vector<ApiParam> Params;
    std::string sComment;    // the trailing comment (and its continuation lines); a paragraph's text
    int iLine = 0;
    bool bGroupStart = false;   // a constant that opens a table of its own (after a blank line)
};

struct ApiArea {
    std::string sTitle;   // "Meshes"
    std::string sNote;    // the banner's parenthesis and continuation lines
    std::vector<ApiItem> Items;
};

struct ApiHeader {
    std::string sIntro;   // the file's opening comment
    std::vector<ApiArea> Areas;
};

// Problems are appended as "Include/MVE.h:LINE: text".
ApiHeader ParseHeader(const std::string &text, std::vector<std::string> &problems);

// ---------------------------------------------------------------- The engine sources

// One red row the sources may write, as text with "…" where the engine fills in a value.
struct ApiRow {
    std::string sText;
    std::string sWhere;   // "Source/Render/Lights.cpp:13"
};

struct ApiSourceFacts {
    // Red rows by the procedure named in the row, for every procedure the sources name.
    std::map<std::string, std::vector<ApiRow>> Rows;
    // Red rows whose text cannot be read from the sources (a value passed along), by procedure.
    std::map<std::string, std::vector<std::string>> Computed;
    std::vector<std::string> AllRows;      // every red row found, whatever procedure writes it
    std::vector<std::string> Literals;     // every string literal of the sources
};

// files: path relative to the source root and content, in a fixed order.
ApiSourceFacts ScanSources(const std::vector<std::pair<std::string, std::string>> &files);

// ---------------------------------------------------------------- The notes

struct ApiNote {
    std::string sName;
    int iLine = 0;
    std::string sText;                           // added to the description
    std::vector<std::pair<std::string, std::string>> Params;  // name, meaning
    std::string sReturns;
    std::vector<std::pair<std::string, int>> Fails;  // row text, line
    bool bNoFails = false;                       // "fails: none"
    std::vector<std::pair<std::string, int>> Includes;  // "@shared" entries, line
};

struct ApiNotes {
    std::map<std::string, ApiNote> Entries;   // by name; "@..." are shared sets of rows
    std::vector<std::string> Order;           // names in file order
};

// Problems are appended as "docs/api-notes.txt:LINE: text".
ApiNotes ParseNotes(const std::string &text, std::vector<std::string> &problems);

// ---------------------------------------------------------------- The reference

struct ApiInputs {
    ApiHeader Header;
    ApiSourceFacts Facts;
    ApiNotes Notes;
    std::string sExample;       // docs/first-program.c
};

// Writes the reference. problems: what disagrees (notes naming what the header lacks, rows the
// sources do not write); missing: what the notes must add, each an entry ready to paste.
std::string BuildReference(const ApiInputs &in, std::vector<std::string> &problems,
                           std::vector<std::string> &missing);

// Shared text helpers.
std::string Trim(const std::string &s);
std::string FoldSpaces(const std::string &s);
extern const char *const kEllipsis;   // "…", where a row holds a value of the moment

}  // namespace apidoc
