// Puts the header, the notes and the rows found in the sources together into docs/API.md, and
// says what disagrees or is missing. The output depends on nothing but its inputs (no dates, no
// paths of this machine), so a regenerated reference equals the committed one byte for byte.
#include "ApiDoc.h"
#include <algorithm>
#include <cctype>
#include <sstream>

namespace apidoc {

namespace {

const char *const kRegenerate = "cmake --build build --target mve-apidoc";

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

std::string Anchor(const std::string &heading) {
    std::string out;
    for (unsigned char c : heading) {
        if (std::isalnum(c) || c == '_' || c == '-') out += static_cast<char>(std::tolower(c));
        else if (c == ' ') out += '-';
        else if (c >= 0x80) out += static_cast<char>(c);
    }
    return out;
}

class Writer {
  public:
    Writer(const ApiInputs &in, std::vector<std::string> &problems, std::vector<std::string> &missing)
        : in_(in), problems_(problems), missing_(missing) {
        for (const ApiArea &a : in.Header.Areas)
            for (const ApiItem &i : a.Items)
                if (i.eKind != ApiItem::Paragraph) items_[i.sName] = &i;
    }

    std::string Build() {
        CheckNotes();
        std::ostringstream o;
        Preamble(o);
        Example(o);
        for (const ApiArea &a : in_.Header.Areas) Area(o, a);
        return o.str();
    }

  private:
    const ApiInputs &in_;
    std::vector<std::string> &problems_;
    std::vector<std::string> &missing_;
    std::map<std::string, const ApiItem *> items_;
    std::string self_;   // the entry being written: not linked to itself

    const ApiNote *Note(const std::string &name) const {
        auto it = in_.Notes.Entries.find(name);
        return it == in_.Notes.Entries.end() ? nullptr : &it->second;
    }

    std::string NoteAt(const ApiNote &n, int line) const {
        return "docs/api-notes.txt:" + std::to_string(line ? line : n.iLine) + ": [" + n.sName + "] ";
    }

    // Prose for GitHub: names become code (procedures a link), markdown's marks are escaped.
    std::string Prose(const std::string &s) const {
        std::string out;
        for (size_t i = 0; i < s.size();) {
            char c = s[i];
            if (IsWordChar(c) && (i == 0 || !IsWordChar(s[i - 1]))) {
                size_t j = i;
                while (j < s.size() && IsWordChar(s[j])) j += 1;
                // A family of names ("MVE_WINDOW_*") reads as one name.
                if (j < s.size() && s[j] == '*' && s[j - 1] == '_') j += 1;
                std::string word = s.substr(i, j - i);
                bool named = items_.count(word) != 0;
                if (named || word.find('_') != std::string::npos) {
                    auto it = items_.find(word);
                    if (it != items_.end() && it->second->eKind == ApiItem::Procedure && word != self_)
                        out += "[`" + word + "`](#" + Anchor(word) + ")";
                    else out += "`" + word + "`";
                } else {
                    out += word;
                }
                i = j;
                continue;
            }
            if (c == '*' || c == '\\' || c == '`' || c == '|' || c == '_') out += '\\';
            if (c == '<') out += "&lt;";
            else if (c == '>') out += "&gt;";
            else out += c;
            i += 1;
        }
        return out;
    }

    static std::string Sentence(const std::string &a, const std::string &b) {
        if (a.empty()) return b;
        if (b.empty()) return a;
        char last = a.back();
        return a + (last == '.' || last == '!' || last == '?' ? " " : ". ") + b;
    }

    // Rows of an entry: what the sources show, then the notes' own, then those of the entries it
    // includes (a shared set, or a procedure it calls).
    std::vector<std::string> Rows(const std::string &name) const {
        std::vector<std::string> rows;
        std::set<std::string> visited;
        CollectRows(name, rows, visited);
        return rows;
    }

    void CollectRows(const std::string &name, std::vector<std::string> &rows, std::set<std::string> &visited) const {
        if (!visited.insert(name).second) return;
        auto add = [&](const std::string &r) {
            if (std::find(rows.begin(), rows.end(), r) == rows.end()) rows.push_back(r);
        };
        auto found = in_.Facts.Rows.find(name);
        if (found != in_.Facts.Rows.end())
            for (const ApiRow &r : found->second) add(r.sText);
        if (const ApiNote *n = Note(name)) {
            for (const auto &f : n->Fails) add(f.first);
            for (const auto &inc : n->Includes) CollectRows(inc.first, rows, visited);
        }
    }

    // A row of the notes is true when the sources write it: a row found there, or literal pieces
    // that all stand in the sources' texts.
    bool Written(const std::string &row) const {
        std::vector<std::string> pieces;
        const std::string e = kEllipsis;
        size_t from = 0;
        for (size_t at; (at = row.find(e, from)) != std::string::npos; from = at + e.size())
            pieces.push_back(row.substr(from, at - from));
        pieces.push_back(row.substr(from));
        for (const std::string &known : in_.Facts.AllRows) {
            size_t pos = 0;
            bool fits = true;
            for (size_t k = 0; k < pieces.size() && fits; ++k) {
                if (pieces[k].empty()) continue;
                size_t at = known.find(pieces[k], pos);
                if (k == 0 && at != 0) at = std::string::npos;
                fits = at != std::string::npos;
                pos = fits ? at + pieces[k].size() : pos;
            }
            if (fits && (pieces.back().empty() || pos == known.size())) return true;
        }
        for (const std::string &piece : pieces)
            if (!Literal(piece)) return false;
        return true;
    }

    // Whether a text stands in the sources as written: inside one string literal, or as the end of
    // one, whole literals, and the start of another, as a row is put together from them.
    bool Literal(const std::string &piece) const {
        if (piece.empty()) return true;
        const std::vector<std::string> &lits = in_.Facts.Literals;
        for (const std::string &lit : lits)
            if (lit.find(piece) != std::string::npos) return true;
        std::vector<bool> reached(piece.size() + 1, false);
        for (const std::string &lit : lits)
            for (size_t k = 1; k <= lit.size() && k < piece.size(); ++k)
                if (lit.compare(lit.size() - k, k, piece, 0, k) == 0) reached[k] = true;
        for (size_t i = 1; i < piece.size(); ++i) {
            if (!reached[i]) continue;
            for (const std::string &lit : lits) {
                if (lit.empty()) continue;
                const size_t rest = piece.size() - i;
                if (lit.size() >= rest && lit.compare(0, rest, piece, i, rest) == 0) return true;
                if (lit.size() < rest && piece.compare(i, lit.size(), lit) == 0) reached[i + lit.size()] = true;
            }
        }
        return false;
    }

    void CheckNotes() {
        std::set<std::string> used;
        for (const std::string &name : in_.Notes.Order) {
            const ApiNote &n = in_.Notes.Entries.at(name);
            for (const auto &inc : n.Includes) {
                used.insert(inc.first);
                bool shared = !inc.first.empty() && inc.first[0] == '@' && Note(inc.first);
                auto target = items_.find(inc.first);
                bool procedure = target != items_.end() && target->second->eKind == ApiItem::Procedure;
                if (!shared && !procedure)
                    problems_.push_back(NoteAt(n, inc.second) + "includes \"" + inc.first +
                                        "\", which is neither a shared entry [@...] of the notes nor a procedure");
            }
            for (const auto &f : n.Fails)
                if (!Written(f.first))
                    problems_.push_back(NoteAt(n, f.second) + "the engine's sources write no row \"" + f.first +
                                        "\" (texts changed? copy the row from the MVE_LogFail call)");
            if (name[0] == '@') continue;
            auto it = items_.find(name);
            if (it == items_.end()) {
                problems_.push_back(NoteAt(n, 0) + "names nothing in Include/MVE.h: rename the entry or remove it");
                continue;
            }
            const ApiItem &item = *it->second;
            bool procedure = item.eKind == ApiItem::Procedure;
            for (const auto &p : n.Params) {
                bool known = false;
                for (const ApiParam &q : item.Params) known = known || q.sName == p.first;
                if (!known) problems_.push_back(NoteAt(n, 0) + "has no parameter \"" + p.first + "\" in Include/MVE.h");
            }
            if (!n.sReturns.empty() && (!procedure || item.sReturn == "void"))
                problems_.push_back(NoteAt(n, 0) + "returns nothing in Include/MVE.h: remove its returns:");
            if (!procedure && (!n.Fails.empty() || n.bNoFails || !n.Includes.empty()))
                problems_.push_back(NoteAt(n, 0) + "is no procedure: it writes no rows");
            if (n.bNoFails) {
                auto found = in_.Facts.Rows.find(name);
                if (found != in_.Facts.Rows.end() && !found->second.empty())
                    problems_.push_back(NoteAt(n, 0) + "says fails: none, but " + found->second[0].sWhere + " writes \"" +
                                        found->second[0].sText + "\"");
                if (!n.Fails.empty() || !n.Includes.empty())
                    problems_.push_back(NoteAt(n, 0) + "says fails: none and lists rows");
            }
        }
        for (const std::string &name : in_.Notes.Order)
            if (name[0] == '@' && !used.count(name))
                problems_.push_back(NoteAt(in_.Notes.Entries.at(name), 0) + "is included by no entry: remove it");
        for (const ApiArea &a : in_.Header.Areas)
            for (const ApiItem &i : a.Items) Needs(i);
    }

    // What an item lacks for its entry, as the lines to add to the notes.
    void Needs(const ApiItem &item) {
        if (item.eKind == ApiItem::Paragraph) return;
        const ApiNote *n = Note(item.sName);
        std::vector<std::string> add;
        if (item.sComment.empty() && (!n || n->sText.empty()))
            add.push_back("text: <what it does; its header line has no comment>");
        if (item.eKind == ApiItem::Procedure) {
            if (item.sReturn != "void" && (!n || n->sReturns.empty()))
                add.push_back("returns: <what the result means, and what it is on failure>");
            auto computed = in_.Facts.Computed.find(item.sName);
            bool listed = n && (!n->Fails.empty() || !n->Includes.empty());
            if (computed != in_.Facts.Computed.end() && !listed) {
                add.push_back("fails: \"<each red row it may write, \"...\" where a value goes>\"");
                add.push_back("#   (" + computed->second[0] + " writes a row whose text is made elsewhere)");
            }
        }
        if (add.empty()) return;
        std::string entry = "[" + item.sName + "]   # Include/MVE.h:" + std::to_string(item.iLine);
        for (const std::string &a : add) entry += "\n" + a;
        missing_.push_back(entry);
    }

    void Preamble(std::ostringstream &o) const {
        std::string version;
        auto v = items_.find("MVE_VERSION");
        if (v != items_.end()) version = v->second->sCode;
        o << "# Morvek Engine API reference\n\n";
        o << "<!-- Generated from Include/MVE.h, docs/api-notes.txt, docs/first-program.c and the red rows of "
             "Source/ by Tools/ApiDoc. Do not edit: change those, then run `"
          << kRegenerate << "`. -->\n\n";
        o << Prose(in_.Header.sIntro) << "\n\n";
        if (!version.empty()) o << "Engine version " << version << ".\n\n";
        o << "Every procedure has an entry: its signature, what it does, what its parameters mean where the "
             "signature does not say it, what it returns, and the red rows it may write into "
             "\"MVE LogFile.html\" (**Fails**; `…` stands for a value filled in when the row is written). An "
             "entry without **Returns** returns nothing; one without **Fails** writes no red row.\n\n";
        o << "## Contents\n\n- [A first program](#a-first-program)\n";
        for (const ApiArea &a : in_.Header.Areas) {
            int count = 0;
            for (const ApiItem &i : a.Items) count += i.eKind == ApiItem::Procedure;
            o << "- [" << a.sTitle << "](#" << Anchor(a.sTitle) << ")";
            if (count) o << " (" << count << (count == 1 ? " procedure)" : " procedures)");
            o << "\n";
        }
        o << "\n";
    }

    void Example(std::ostringstream &o) const {
        o << "## A first program\n\n"
             "A complete program in C that uses nothing but `MVE.h`: it opens a window and the render area in "
             "it, sets the camera, a point light and the sun, makes a mesh, a material and an object, then runs "
             "the loop (window events, input, a turn of the object, the frame, the text over it) until Escape "
             "or the window's close button, and shuts the engine down. The test suite builds this very file, "
             "`docs/first-program.c`, and runs it for a few frames, so it keeps working as the engine changes. "
             "Build it against the installed engine with "
             "`cc first-program.c $(pkg-config --cflags --libs mve)`.\n\n```c\n"
          << in_.sExample << (in_.sExample.empty() || in_.sExample.back() == '\n' ? "" : "\n") << "```\n\n";
    }

    void Area(std::ostringstream &o, const ApiArea &a) {
        o << "## " << a.sTitle << "\n\n";
        if (!a.sNote.empty()) o << Prose(a.sNote) << "\n\n";
        std::vector<const ApiItem *> table;
        auto flush = [&]() {
            if (table.empty()) return;
            o << "| Constant | Value | Meaning |\n| --- | --- | --- |\n";
            for (const ApiItem *c : table) {
                const ApiNote *n = Note(c->sName);
                std::string meaning = c->sComment;
                if (n && !n->sText.empty()) meaning = meaning.empty() ? n->sText : meaning + "; " + n->sText;
                std::string value = c->sCode;
                for (size_t at = 0; (at = value.find('|', at)) != std::string::npos; at += 2) value.insert(at, "\\");
                o << "| `" << c->sName << "` | `" << value << "` | " << Prose(meaning) << " |\n";
            }
            o << "\n";
            table.clear();
        };
        for (const ApiItem &i : a.Items) {
            if (i.eKind == ApiItem::Constant) {
                if (i.bGroupStart) flush();
                table.push_back(&i);
                continue;
            }
            flush();
            if (i.eKind == ApiItem::Paragraph) o << Prose(i.sComment) << "\n\n";
            else Entry(o, i);
        }
        flush();
    }

    void Entry(std::ostringstream &o, const ApiItem &i) {
        self_ = i.sName;
        const ApiNote *n = Note(i.sName);
        o << "### " << i.sName << "\n\n`" << (i.eKind == ApiItem::Type ? i.sCode : i.sCode) << "`\n\n";
        std::string text = Sentence(i.sComment, n ? n->sText : "");
        if (!text.empty()) o << Prose(text) << "\n\n";
        std::vector<std::string> lines;
        if (n && !n->Params.empty()) {
            std::vector<std::string> ps;
            for (const ApiParam &p : i.Params)
                for (const auto &np : n->Params)
                    if (np.first == p.sName) ps.push_back("`" + p.sName + "`: " + Prose(np.second));
            if (!ps.empty()) lines.push_back(List("Parameters", ps));
        }
        if (i.eKind == ApiItem::Procedure && i.sReturn != "void" && n && !n->sReturns.empty())
            lines.push_back("- **Returns:** " + Prose(n->sReturns));
        if (i.eKind == ApiItem::Procedure) {
            std::vector<std::string> rows;
            for (const std::string &r : Rows(i.sName)) rows.push_back("`" + r + "`");
            if (!rows.empty()) lines.push_back(List("Fails", rows));
        }
        for (const std::string &l : lines) o << l << "\n";
        if (!lines.empty()) o << "\n";
        self_.clear();
    }

    static std::string List(const std::string &label, const std::vector<std::string> &entries) {
        if (entries.size() == 1) return "- **" + label + ":** " + entries[0];
        std::string out = "- **" + label + ":**";
        for (const std::string &e : entries) out += "\n  - " + e;
        return out;
    }
};

}  // namespace

std::string BuildReference(const ApiInputs &in, std::vector<std::string> &problems,
                           std::vector<std::string> &missing) {
    Writer w(in, problems, missing);
    return w.Build();
}

}  // namespace apidoc
