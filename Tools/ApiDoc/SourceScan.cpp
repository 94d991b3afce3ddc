// Finds the red rows the engine can write, and under which procedure, by reading its sources: every
// MVE_LogFail call and every MVE_Log call in the failure colour. A helper that passes its own
// parameters on (a lookup that reports under the caller's name, a refusal that takes its reason)
// is followed to its callers, and a message held in a local variable is read from its assignments.
// What stays unknown (a value of the moment, a text built elsewhere) is written as "…".
#include "ApiDoc.h"
#include <algorithm>
#include <cctype>
#include <deque>
#include <functional>

namespace apidoc {

namespace {

struct Token {
    enum Kind { Ident, String, Number, Punct };
    Kind eKind;
    std::string sText;   // a string literal's is its content behind a quote mark, so it never reads as punctuation
    int iLine;
    std::string Value() const { return eKind == String ? sText.substr(1) : sText; }
};

bool IsIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// C++ tokens without comments and preprocessor lines; adjacent string literals are joined, as the
// compiler joins them.
std::vector<Token> Lex(const std::string &s) {
    std::vector<Token> out;
    int line = 1;
    bool lineStart = true;
    size_t i = 0, n = s.size();
    auto push = [&](Token::Kind k, std::string text) {
        if (k == Token::String && !out.empty() && out.back().eKind == Token::String) {
            out.back().sText += text;
            return;
        }
        out.push_back({k, k == Token::String ? "\"" + text : std::move(text), line});
    };
    while (i < n) {
        char c = s[i];
        if (c == '\n') {
            line += 1;
            lineStart = true;
            i += 1;
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\r') {
            i += 1;
            continue;
        }
        if (c == '#' && lineStart) {
            while (i < n && s[i] != '\n') {
                if (s[i] == '\\' && i + 1 < n && s[i + 1] == '\n') {
                    line += 1;
                    i += 1;
                }
                i += 1;
            }
            continue;
        }
        lineStart = false;
        if (c == '/' && i + 1 < n && s[i + 1] == '/') {
            while (i < n && s[i] != '\n') i += 1;
            continue;
        }
        if (c == '/' && i + 1 < n && s[i + 1] == '*') {
            size_t end = s.find("*/", i + 2);
            end = end == std::string::npos ? n : end + 2;
            line += static_cast<int>(std::count(s.begin() + i, s.begin() + end, '\n'));
            i = end;
            continue;
        }
        if (c == 'R' && i + 1 < n && s[i + 1] == '"') {
            size_t open = s.find('(', i + 2);
            std::string delim = ")" + s.substr(i + 2, open - i - 2) + "\"";
            size_t end = s.find(delim, open);
            end = end == std::string::npos ? n : end;
            std::string text = s.substr(open + 1, end - open - 1);
            line += static_cast<int>(std::count(text.begin(), text.end(), '\n'));
            push(Token::String, text);
            i = std::min(n, end + delim.size());
            continue;
        }
        if (c == '"' || c == '\'') {
            std::string text;
            size_t j = i + 1;
            while (j < n && s[j] != c && s[j] != '\n') {
                if (s[j] == '\\' && j + 1 < n) {
                    char e = s[j + 1];
                    text += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e == '0' ? '\0' : e;
                    j += 2;
                } else {
                    text += s[j++];
                }
            }
            i = j + 1;
            if (c == '"') push(Token::String, text);
            else out.push_back({Token::Number, "'" + text + "'", line});
            continue;
        }
        if (IsIdentStart(c)) {
            size_t j = i;
            while (j < n && IsIdentChar(s[j])) j += 1;
            out.push_back({Token::Ident, s.substr(i, j - i), line});
            i = j;
            continue;
        }
        if (std::isdigit(static_cast<unsigned char>(c))) {
            size_t j = i;
            while (j < n && (IsIdentChar(s[j]) || s[j] == '.' || s[j] == '\'')) j += 1;
            out.push_back({Token::Number, s.substr(i, j - i), line});
            i = j;
            continue;
        }
        static const char *const kPairs[] = {"::", "->", "++", "--", "&&", "||", "==", "!=", "<=", ">=",
                                             "+=", "-=", "*=", "/=", "|=", "&=", "<<", ">>"};
        std::string two = s.substr(i, 2);
        bool paired = false;
        for (const char *p : kPairs) paired = paired || two == p;
        out.push_back({Token::Punct, paired ? two : std::string(1, c), line});
        i += paired ? 2 : 1;
    }
    return out;
}

using Tokens = std::vector<Token>;

struct Function {
    std::string sName;
    int iFile = 0;
    std::vector<std::string> Params;
    size_t iBegin = 0, iEnd = 0;   // body tokens, braces excluded
};

struct Call {
    int iFunction;                 // the function the call stands in
    std::string sCallee;
    std::vector<Tokens> Args;
    int iLine;
    size_t iPos;                   // the callee's token
};

struct Constant {
    std::string sName, sValue;
    size_t iPos;
};

// A row-writing call, with its three expressions as they stand in the function they are in.
struct Site {
    int iFunction;
    Tokens Message, Color, Procedure;   // Color empty: always red (MVE_LogFail)
    std::string sWhere;
    int iDepth;                          // helpers followed so far
    size_t iPos;                         // where the row is written, as a token of the function's file
    std::vector<struct Frame> Through;   // the helpers it came through
};

// Where names are looked up: the function the row stands in first, then the helpers it came
// through (a local variable of a helper travels into its caller with the helper's expression; its
// value reads the helper's parameters as that call passed them).
struct Frame {
    int iFunction;
    size_t iPos;        // the token being read
    int iCall = -1;     // the call that entered this helper, -1 for the row's own function
};
using Frames = std::vector<Frame>;

bool IsKeyword(const std::string &w) {
    static const std::set<std::string> k = {"if", "for", "while", "switch", "catch", "return", "sizeof",
                                            "decltype", "alignof", "static_assert", "defined", "noexcept"};
    return k.count(w) != 0;
}

// Index of the token matching the bracket at i (forward), or toks.size().
size_t Match(const Tokens &t, size_t i, size_t end) {
    const std::string open = t[i].sText;
    const std::string close = open == "(" ? ")" : open == "[" ? "]" : "}";
    int depth = 0;
    for (size_t k = i; k < end; ++k) {
        if (t[k].eKind != Token::Punct) continue;
        if (t[k].sText == open) depth += 1;
        if (t[k].sText == close && --depth == 0) return k;
    }
    return end;
}

// Top-level pieces of [b, e) split at a punctuation mark.
std::vector<Tokens> Split(const Tokens &t, size_t b, size_t e, const std::string &mark) {
    std::vector<Tokens> out(1);
    int depth = 0;
    for (size_t k = b; k < e; ++k) {
        const Token &x = t[k];
        if (x.eKind == Token::Punct) {
            if (x.sText == "(" || x.sText == "[" || x.sText == "{") depth += 1;
            if (x.sText == ")" || x.sText == "]" || x.sText == "}") depth -= 1;
            if (depth == 0 && x.sText == mark) {
                out.emplace_back();
                continue;
            }
        }
        out.back().push_back(x);
    }
    if (out.size() == 1 && out[0].empty()) out.clear();
    return out;
}

std::string ParamName(const Tokens &p) {
    size_t end = p.size();
    for (size_t k = 0; k < p.size(); ++k) {
        if (p[k].eKind == Token::Punct && (p[k].sText == "=" || p[k].sText == "[")) {
            end = k;
            break;
        }
    }
    for (size_t k = end; k-- > 0;) {
        if (p[k].eKind == Token::Ident) return k > 0 ? p[k].sText : "";
    }
    return "";
}

class Scanner {
  public:
    explicit Scanner(const std::vector<std::pair<std::string, std::string>> &files) : files_(files) {
        for (size_t f = 0; f < files.size(); ++f) {
            toks_.push_back(Lex(files[f].second));
            FindConstants(static_cast<int>(f));
            FindFunctions(static_cast<int>(f));
        }
        for (size_t fn = 0; fn < funcs_.size(); ++fn) FindCalls(static_cast<int>(fn));
    }

    ApiSourceFacts Run() {
        ApiSourceFacts facts;
        for (const Tokens &t : toks_)
            for (const Token &x : t)
                if (x.eKind == Token::String) facts.Literals.push_back(x.Value());
        std::deque<Site> work;
        for (const Call &c : calls_) {
            Site s{c.iFunction, {}, {}, {}, Where(c), 0, c.iPos, {}};
            if (c.sCallee == "MVE_LogFail" && c.Args.size() == 2) {
                s.Message = c.Args[0];
                s.Procedure = c.Args[1];
            } else if (c.sCallee == "MVE_Log" && c.Args.size() == 6) {
                s.Message = c.Args[0];
                s.Color = c.Args[1];
                s.Procedure = c.Args[5];
                if (!MayBeRed(s.Color) && !UsesParams(s)) continue;
            } else {
                continue;
            }
            work.push_back(s);
        }
        std::set<std::string> seen;
        std::set<std::string> allRows;
        while (!work.empty()) {
            Site s = work.front();
            work.pop_front();
            std::string key = std::to_string(s.iFunction) + "@" + std::to_string(s.iPos) + "|" + Text(s.Message) + "|" + Text(s.Color) + "|" +
                              Text(s.Procedure);
            if (!seen.insert(key).second) continue;
            // A value passed in comes from the callers; a procedure nobody in the engine calls (the
            // public ones) writes it as it stands.
            if (UsesParams(s) && s.iDepth < 6 && FollowToCallers(s, work) > 0) continue;
            if (!s.Color.empty() && !MayBeRed(s.Color)) continue;
            std::string procedure = ResolveName(s.Procedure, s.iFunction);
            Frames frames = {{s.iFunction, s.iPos, -1}};
            frames.insert(frames.end(), s.Through.begin(), s.Through.end());
            for (const std::string &text : Render(s.Message, frames, 0)) {
                if (text == kEllipsis) {
                    if (!procedure.empty()) facts.Computed[procedure].push_back(s.sWhere);
                    continue;
                }
                if (allRows.insert(text).second) facts.AllRows.push_back(text);
                if (procedure.empty()) continue;
                std::vector<ApiRow> &rows = facts.Rows[procedure];
                bool known = false;
                for (const ApiRow &r : rows) known = known || r.sText == text;
                if (!known) rows.push_back({text, s.sWhere});
            }
        }
        return facts;
    }

  private:
    const std::vector<std::pair<std::string, std::string>> &files_;
    std::vector<Tokens> toks_;
    std::vector<Function> funcs_;
    std::vector<Call> calls_;
    std::vector<std::vector<Constant>> consts_;
    std::map<std::string, std::vector<int>> funcsByName_;

    const Tokens &T(int function) const { return toks_[funcs_[function].iFile]; }

    std::string Where(const Call &c) const {
        return files_[funcs_[c.iFunction].iFile].first + ":" + std::to_string(c.iLine);
    }

    static std::string Text(const Tokens &t) {
        std::string s;
        for (const Token &x : t) s += x.sText + " ";
        return s;
    }

    // `char *NAME = "text";` (const, constexpr, static, inline in any order) and `char NAME[] = "text";`
    void FindConstants(int f) {
        consts_.emplace_back();
        const Tokens &t = toks_[f];
        for (size_t k = 2; k + 2 < t.size(); ++k) {
            if (t[k].eKind != Token::Ident || t[k + 1].sText != "=" || t[k + 2].eKind != Token::String) continue;
            if (k + 3 < t.size() && t[k + 3].sText != ";") continue;
            size_t b = k - 1;
            while (b > 0 && (t[b].sText == "*" || t[b].sText == "const" || t[b].sText == "[" || t[b].sText == "]"))
                b -= 1;
            if (t[b].sText != "char") continue;
            consts_[f].push_back({t[k].sText, t[k + 2].Value(), k});
        }
    }

    void FindFunctions(int f) {
        const Tokens &t = toks_[f];
        int inFunction = -1;
        size_t functionEnd = 0;
        for (size_t k = 0; k < t.size(); ++k) {
            if (inFunction >= 0 && k >= functionEnd) inFunction = -1;
            if (inFunction >= 0 || t[k].sText != "{" || t[k].eKind != Token::Punct) continue;
            size_t p = k;
            while (p > 0 && t[p - 1].eKind == Token::Ident &&
                   (t[p - 1].sText == "const" || t[p - 1].sText == "noexcept" || t[p - 1].sText == "override"))
                p -= 1;
            if (p == 0 || t[p - 1].sText != ")") continue;
            // The parenthesis that opens the parameter list.
            int depth = 0;
            size_t open = p - 1;
            for (size_t q = p; q-- > 0;) {
                if (t[q].sText == ")") depth += 1;
                if (t[q].sText == "(" && --depth == 0) {
                    open = q;
                    break;
                }
            }
            if (open == 0 || t[open - 1].eKind != Token::Ident || IsKeyword(t[open - 1].sText)) continue;
            size_t close = Match(t, k, t.size());
            Function fn;
            fn.sName = t[open - 1].sText;
            fn.iFile = f;
            fn.iBegin = k + 1;
            fn.iEnd = close;
            // A constructor's initialiser list ends in a member's "(...)": not a function name.
            if (open >= 2 && (t[open - 2].sText == "," || t[open - 2].sText == ":")) fn.sName.clear();
            for (const Tokens &p2 : Split(t, open + 1, p - 1, ",")) fn.Params.push_back(ParamName(p2));
            funcsByName_[fn.sName].push_back(static_cast<int>(funcs_.size()));
            funcs_.push_back(fn);
            inFunction = static_cast<int>(funcs_.size()) - 1;
            functionEnd = close;
        }
    }

    void FindCalls(int fn) {
        const Function &f = funcs_[fn];
        const Tokens &t = toks_[f.iFile];
        for (size_t k = f.iBegin; k + 1 < f.iEnd; ++k) {
            if (t[k].eKind != Token::Ident || t[k + 1].sText != "(" || IsKeyword(t[k].sText)) continue;
            size_t close = Match(t, k + 1, f.iEnd);
            Call c{fn, t[k].sText, Split(t, k + 2, close, ","), t[k].iLine, k};
            calls_.push_back(c);
        }
    }

    bool MayBeRed(const Tokens &color) const {
        for (const Token &x : color) {
            if (x.sText == "MVE_LOG_FAIL") return true;
            std::string v = x.sText;
            std::transform(v.begin(), v.end(), v.begin(), ::toupper);
            if (v == "0XFF0000FF" || v == "0XFF0000FFU") return true;
        }
        return false;
    }

    bool IsParamRef(const Tokens &t, size_t k, int function) const {
        if (t[k].eKind != Token::Ident) return false;
        if (k > 0 && (t[k - 1].sText == "." || t[k - 1].sText == "->" || t[k - 1].sText == "::")) return false;
        const std::vector<std::string> &ps = funcs_[function].Params;
        return std::find(ps.begin(), ps.end(), t[k].sText) != ps.end();
    }

    bool Mentions(const Tokens &e, int function) const {
        for (size_t k = 0; k < e.size(); ++k)
            if (IsParamRef(e, k, function)) return true;
        return false;
    }

    // Whether the text of a message takes a parameter's value whole, as the caller passes it (a
    // reason, a name); a parameter that only feeds a number ("std::to_string(id)") does not count.
    bool TextTakesParam(const Tokens &e, int function, int depth) const {
        if (depth > 8) return false;
        Tokens t = e;
        while (t.size() >= 2 && t.front().sText == "(" && Match(t, 0, t.size()) == t.size() - 1)
            t = Tokens(t.begin() + 1, t.end() - 1);
        for (const Tokens &branch : Split(t, 0, t.size(), "?"))
            for (const Tokens &alt : Split(branch, 0, branch.size(), ":"))
                if (alt.size() != t.size() && TextTakesParam(alt, function, depth + 1)) return true;
        for (const Tokens &term : Split(t, 0, t.size(), "+")) {
            if (term.empty()) continue;
            if (term.size() == 1) {
                if (IsParamRef(term, 0, function)) return true;
                continue;
            }
            if (term[0].sText == "(" && Match(term, 0, term.size()) == term.size() - 1) {
                if (TextTakesParam(term, function, depth + 1)) return true;
            } else if (term.size() >= 6 && term[0].sText == "std" && term[2].sText == "string" && term[3].sText == "(") {
                if (TextTakesParam(Tokens(term.begin() + 4, term.end() - 1), function, depth + 1)) return true;
            } else if (term.size() >= 4 && term[term.size() - 3].sText == "c_str") {
                if (TextTakesParam(Tokens(term.begin(), term.end() - 4), function, depth + 1)) return true;
            } else if (IsParamRef(term, 0, function) && (term[1].sText == "." || term[1].sText == "->")) {
                return true;   // a field of a record passed in
            }
        }
        return false;
    }

    bool UsesParams(const Site &s) const {
        return Mentions(s.Procedure, s.iFunction) || Mentions(s.Color, s.iFunction) ||
               TextTakesParam(s.Message, s.iFunction, 0);
    }

    // The definition a call in `from` reaches: one in the same file first, else the only one.
    int Callee(const Call &c) const {
        auto it = funcsByName_.find(c.sCallee);
        if (it == funcsByName_.end()) return -1;
        int sameFile = -1, elsewhere = -1, others = 0;
        for (int fn : it->second) {
            if (funcs_[fn].Params.size() < c.Args.size()) continue;
            if (funcs_[fn].iFile == funcs_[c.iFunction].iFile) sameFile = fn;
            else {
                elsewhere = fn;
                others += 1;
            }
        }
        if (sameFile >= 0) return sameFile;
        return others == 1 ? elsewhere : -1;
    }

    Tokens Substitute(const Tokens &e, int function, const Call &c) const {
        Tokens out;
        const std::vector<std::string> &ps = funcs_[function].Params;
        for (size_t k = 0; k < e.size(); ++k) {
            if (!IsParamRef(e, k, function)) {
                out.push_back(e[k]);
                continue;
            }
            size_t index = std::find(ps.begin(), ps.end(), e[k].sText) - ps.begin();
            if (index >= c.Args.size()) {
                out.push_back({Token::Ident, "<default>", e[k].iLine});
                continue;
            }
            out.push_back({Token::Punct, "(", e[k].iLine});
            out.insert(out.end(), c.Args[index].begin(), c.Args[index].end());
            out.push_back({Token::Punct, ")", e[k].iLine});
        }
        return out;
    }

    int FollowToCallers(const Site &s, std::deque<Site> &work) const {
        int callers = 0;
        for (const Call &c : calls_) {
            if (c.sCallee != funcs_[s.iFunction].sName || Callee(c) != s.iFunction) continue;
            Site next{c.iFunction, Substitute(s.Message, s.iFunction, c), Substitute(s.Color, s.iFunction, c),
                      Substitute(s.Procedure, s.iFunction, c), Where(c), s.iDepth + 1, c.iPos, {}};
            next.Through.push_back({s.iFunction, s.iPos, static_cast<int>(&c - calls_.data())});
            next.Through.insert(next.Through.end(), s.Through.begin(), s.Through.end());
            work.push_back(next);
            callers += 1;
        }
        return callers;
    }

    const Constant *FindConstant(const std::string &name, int function) const {
        const Function &f = funcs_[function];
        const Constant *fileLevel = nullptr;
        for (const Constant &c : consts_[f.iFile]) {
            if (c.sName != name) continue;
            if (c.iPos >= f.iBegin && c.iPos < f.iEnd) return &c;
            if (!fileLevel) fileLevel = &c;
        }
        if (fileLevel) return fileLevel;
        const Constant *global = nullptr;
        for (size_t file = 0; file < consts_.size(); ++file) {
            const std::string &path = files_[file].first;
            if (path.size() < 2 || path.compare(path.size() - 2, 2, ".h") != 0) continue;
            for (const Constant &c : consts_[file])
                if (c.sName == name) global = &c;
        }
        return global;
    }

    std::string ResolveName(const Tokens &e, int function) const {
        Tokens t = e;
        while (t.size() >= 2 && t.front().sText == "(" && t.back().sText == ")") t = Tokens(t.begin() + 1, t.end() - 1);
        if (t.size() != 1) return "";
        if (t[0].eKind == Token::String) return t[0].Value();
        if (t[0].eKind == Token::Ident) {
            const Constant *c = FindConstant(t[0].sText, function);
            if (c) return c->sValue;
        }
        return "";
    }

    // A choice between two named constants ("type == GL_VERTEX_SHADER", once the helper's
    // parameter reads as the caller's constant): 1 true, 0 false, -1 not known here.
    static int Condition(const Tokens &e) {
        Tokens t;
        for (const Token &x : e)
            if (!(x.eKind == Token::Punct && (x.sText == "(" || x.sText == ")"))) t.push_back(x);
        if (t.size() != 3 || t[0].eKind != Token::Ident || t[2].eKind != Token::Ident) return -1;
        if (t[1].sText != "==" && t[1].sText != "!=") return -1;
        auto constant = [](const std::string &w) {
            return std::all_of(w.begin(), w.end(), [](char c) { return std::isupper(static_cast<unsigned char>(c)) || std::isdigit(static_cast<unsigned char>(c)) || c == '_'; });
        };
        if (t[0].sText != t[2].sText && !(constant(t[0].sText) && constant(t[2].sText))) return -1;
        const bool equal = t[0].sText == t[2].sText;
        return (t[1].sText == "==") == equal ? 1 : 0;
    }

    // The texts an expression can have; "…" for every part only known while the engine runs.
    std::vector<std::string> Render(const Tokens &e, const Frames &at, int depth) const {
        if (depth > 8) return {kEllipsis};
        Tokens t = e;
        while (t.size() >= 2 && t.front().sText == "(" && Match(t, 0, t.size()) == t.size() - 1)
            t = Tokens(t.begin() + 1, t.end() - 1);
        // A top-level choice: both branches.
        int level = 0;
        for (size_t k = 0; k < t.size(); ++k) {
            const std::string &x = t[k].sText;
            if (t[k].eKind != Token::Punct) continue;
            if (x == "(" || x == "[" || x == "{") level += 1;
            if (x == ")" || x == "]" || x == "}") level -= 1;
            if (level != 0 || x != "?") continue;
            int nested = 0;
            for (size_t m = k + 1; m < t.size(); ++m) {
                const std::string &y = t[m].sText;
                if (t[m].eKind != Token::Punct) continue;
                if (y == "(" || y == "[" || y == "{") level += 1;
                if (y == ")" || y == "]" || y == "}") level -= 1;
                if (level != 0) continue;
                if (y == "?") nested += 1;
                if (y == ":" && nested-- == 0) {
                    const int known = Condition(Tokens(t.begin(), t.begin() + k));
                    std::vector<std::string> a, b;
                    if (known != 0) a = Render(Tokens(t.begin() + k + 1, t.begin() + m), at, depth + 1);
                    if (known != 1) b = Render(Tokens(t.begin() + m + 1, t.end()), at, depth + 1);
                    a.insert(a.end(), b.begin(), b.end());
                    return Unique(a);
                }
            }
            return {kEllipsis};
        }
        std::vector<std::string> texts = {""};
        for (const Tokens &term : Split(t, 0, t.size(), "+")) {
            std::vector<std::string> parts = RenderTerm(term, at, depth);
            std::vector<std::string> next;
            for (const std::string &a : texts)
                for (const std::string &b : parts)
                    if (next.size() < 32) next.push_back(Join(a, b));
            texts = next;
        }
        return Unique(texts);
    }

    std::vector<std::string> RenderTerm(const Tokens &t, const Frames &at, int depth) const {
        if (t.size() == 1 && t[0].eKind == Token::String) return {t[0].Value()};
        if (IsPath(t)) {
            for (size_t f = 0; f < at.size(); ++f) {
                if (t.size() == 1)
                    if (const Constant *c = FindConstant(t[0].sText, at[f].iFunction)) return {c->sValue};
                std::vector<std::pair<Tokens, size_t>> values = Assignments(t, at[f].iFunction, at[f].iPos);
                if (values.empty()) continue;
                std::vector<std::string> out;
                for (const auto &v : values) {
                    Frames there = at;
                    there[f].iPos = v.second;
                    Tokens value = v.first;
                    for (size_t g = f; g > 0 && at[g].iCall >= 0; --g)
                        value = Substitute(value, at[g].iFunction, calls_[at[g].iCall]);
                    std::vector<std::string> r = Render(value, there, depth + 1);
                    out.insert(out.end(), r.begin(), r.end());
                }
                return Unique(out);
            }
            return {kEllipsis};
        }
        if (!t.empty() && t[0].sText == "(" && Match(t, 0, t.size()) == t.size() - 1) return Render(t, at, depth + 1);
        // std::string(x) and x.c_str() are the text of x.
        if (t.size() >= 6 && t[0].sText == "std" && t[1].sText == "::" && t[2].sText == "string" && t[3].sText == "(" &&
            Match(t, 3, t.size()) == t.size() - 1)
            return Render(Tokens(t.begin() + 4, t.end() - 1), at, depth + 1);
        if (t.size() >= 4 && t[t.size() - 3].sText == "c_str" && t[t.size() - 4].sText == ".")
            return Render(Tokens(t.begin(), t.end() - 4), at, depth + 1);
        return {kEllipsis};
    }

    // A variable or a field of one: a, a.b, a->b.c
    static bool IsPath(const Tokens &t) {
        if (t.empty() || t.size() % 2 == 0) return false;
        for (size_t k = 0; k < t.size(); ++k) {
            if (k % 2 == 0 && t[k].eKind != Token::Ident) return false;
            if (k % 2 == 1 && t[k].sText != "." && t[k].sText != "->") return false;
        }
        return true;
    }

    // The opening braces of the blocks around token `pos` of a function, innermost last.
    std::vector<size_t> Blocks(const Function &f, const Tokens &t, size_t pos) const {
        std::vector<size_t> open;
        for (size_t k = f.iBegin; k < pos && k < f.iEnd; ++k) {
            if (t[k].eKind != Token::Punct) continue;
            if (t[k].sText == "{") open.push_back(k);
            if (t[k].sText == "}" && !open.empty()) open.pop_back();
        }
        return open;
    }

    // Values a variable (or a field) may hold where token `use` reads it: its assignments before
    // that point (`path = expr;`, `path += expr;`), back to the last one that always runs first.
    std::vector<std::pair<Tokens, size_t>> Assignments(const Tokens &path, int function, size_t use) const {
        std::vector<std::pair<Tokens, size_t>> out;
        const Function &f = funcs_[function];
        const Tokens &t = T(function);
        const std::vector<size_t> around = Blocks(f, t, use);
        std::vector<size_t> found;
        for (size_t k = f.iBegin; k + path.size() < f.iEnd && k < use; ++k) {
            bool same = true;
            for (size_t m = 0; m < path.size() && same; ++m) same = t[k + m].sText == path[m].sText;
            if (!same || (k > 0 && (t[k - 1].sText == "." || t[k - 1].sText == "->"))) continue;
            const Token &op = t[k + path.size()];
            if (op.eKind == Token::Punct && (op.sText == "=" || op.sText == "+=")) found.push_back(k);
        }
        for (size_t i = found.size(); i-- > 0;) {
            size_t k = found[i];
            size_t from = k + path.size() + 1;
            size_t end = from;
            int depth = 0;
            for (; end < f.iEnd; ++end) {
                if (t[end].eKind != Token::Punct) continue;
                const std::string &x = t[end].sText;
                if (x == "(" || x == "[" || x == "{") depth += 1;
                if (x == ")" || x == "]" || x == "}") depth -= 1;
                if (depth < 0 || (depth == 0 && x == ";")) break;
            }
            Tokens value(t.begin() + from, t.begin() + end);
            bool adds = t[k + path.size()].sText == "+=";
            if (adds) {
                value.insert(value.begin(), {Token::Punct, "+", t[k].iLine});
                value.insert(value.begin(), {Token::Ident, "<earlier>", t[k].iLine});
            }
            out.push_back({value, k});
            // A plain statement (not under an unbraced if or else) in a block around the use
            // always runs before it: nothing earlier reaches the use.
            size_t start = k;
            while (start > f.iBegin && (t[start - 1].sText == "std" || t[start - 1].sText == "::" ||
                                        t[start - 1].eKind == Token::Ident || t[start - 1].sText == "*" ||
                                        t[start - 1].sText == "&"))
                start -= 1;
            const std::string &before = t[start - 1].sText;
            bool statement = start == f.iBegin || before == ";" || before == "{" || before == "}";
            std::vector<size_t> mine = Blocks(f, t, k);
            bool encloses = mine.size() <= around.size() && std::equal(mine.begin(), mine.end(), around.begin());
            if (!adds && statement && encloses) break;
        }
        return out;
    }

    static std::string Join(const std::string &a, const std::string &b) {
        const std::string e = kEllipsis;
        if (a.size() >= e.size() && b.compare(0, e.size(), e) == 0 && a.compare(a.size() - e.size(), e.size(), e) == 0)
            return a + b.substr(e.size());
        return a + b;
    }

    static std::vector<std::string> Unique(const std::vector<std::string> &v) {
        std::vector<std::string> out;
        for (const std::string &s : v)
            if (!s.empty() && std::find(out.begin(), out.end(), s) == out.end()) out.push_back(s);
        return out;
    }
};

}  // namespace

ApiSourceFacts ScanSources(const std::vector<std::pair<std::string, std::string>> &files) {
    Scanner scanner(files);
    return scanner.Run();
}

}  // namespace apidoc
