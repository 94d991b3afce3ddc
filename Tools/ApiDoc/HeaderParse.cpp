// Reads Include/MVE.h in the shape the header keeps: banners open areas, every declaration sits on
// one line (or runs to its semicolon) with a trailing comment, an indented comment under a
// declaration continues it, and a comment of its own at the left margin is a paragraph.
#include "ApiDoc.h"
#include <cctype>
#include <sstream>

namespace apidoc {

const char *const kEllipsis = "\xE2\x80\xA6";

std::string Trim(const std::string &s) {
    size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return "";
    size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

std::string FoldSpaces(const std::string &s) {
    std::string out;
    bool space = false;
    for (char c : s) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            space = !out.empty();
            continue;
        }
        if (space) out += ' ';
        space = false;
        out += c;
    }
    return out;
}

namespace {

bool IsIdent(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// The text of one comment line: without the opening or closing mark and the leading star.
std::string CommentLine(std::string line) {
    line = Trim(line);
    if (line.compare(0, 2, "/*") == 0) line = line.substr(2);
    size_t end = line.find("*/");
    if (end != std::string::npos) line = line.substr(0, end);
    line = Trim(line);
    if (!line.empty() && line[0] == '*') line = Trim(line.substr(1));
    return line;
}

std::string JoinText(const std::string &a, const std::string &b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    return a + " " + b;
}

// "Title (note)" -> title and note; a title without a closing parenthesis has no note.
void SplitBanner(const std::string &text, std::string &title, std::string &note) {
    title = Trim(text);
    note.clear();
    if (title.empty() || title.back() != ')') return;
    int depth = 0;
    for (size_t i = title.size(); i-- > 0;) {
        if (title[i] == ')') depth += 1;
        if (title[i] == '(' && --depth == 0) {
            if (i == 0) return;
            note = Trim(title.substr(i + 1, title.size() - i - 2));
            title = Trim(title.substr(0, i));
            return;
        }
    }
}

std::vector<ApiParam> SplitParams(const std::string &text) {
    std::vector<ApiParam> out;
    std::string t = Trim(text);
    if (t.empty() || t == "void") return out;
    std::vector<std::string> parts;
    int depth = 0;
    std::string cur;
    for (char c : t) {
        if (c == '(' || c == '[') depth += 1;
        if (c == ')' || c == ']') depth -= 1;
        if (c == ',' && depth == 0) {
            parts.push_back(Trim(cur));
            cur.clear();
        } else {
            cur += c;
        }
    }
    parts.push_back(Trim(cur));
    for (const std::string &p : parts) {
        ApiParam param;
        std::string core = p;
        size_t bracket = core.find('[');
        std::string suffix;
        if (bracket != std::string::npos) {
            suffix = core.substr(bracket);
            core = Trim(core.substr(0, bracket));
        }
        size_t end = core.size();
        size_t start = end;
        while (start > 0 && IsIdent(core[start - 1])) start -= 1;
        std::string name = core.substr(start, end - start);
        std::string type = Trim(core.substr(0, start));
        // A lone type ("int") has no name: the word is part of the type.
        if (type.empty() || type == "const" || type == "unsigned" || type == "struct") {
            param.sType = FoldSpaces(p);
        } else {
            param.sName = name;
            param.sType = FoldSpaces(type + suffix);
        }
        out.push_back(param);
    }
    return out;
}

// "int  MVE_X(int a)" -> procedure item; false when the text is no prototype.
bool ParsePrototype(const std::string &decl, ApiItem &item) {
    std::string d = FoldSpaces(decl);
    if (!d.empty() && d.back() == ';') d.pop_back();
    size_t open = d.find('(');
    size_t close = d.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) return false;
    size_t end = open;
    while (end > 0 && d[end - 1] == ' ') end -= 1;
    size_t start = end;
    while (start > 0 && IsIdent(d[start - 1])) start -= 1;
    if (start == end) return false;
    item.eKind = ApiItem::Procedure;
    item.sName = d.substr(start, end - start);
    item.sReturn = Trim(d.substr(0, start));
    // "v4f  *" and "v4f*" both read "v4f *".
    if (!item.sReturn.empty() && item.sReturn.back() == '*') {
        std::string base = Trim(item.sReturn.substr(0, item.sReturn.find_last_not_of("* ") + 1));
        item.sReturn = base + " " + item.sReturn.substr(item.sReturn.find('*', base.size()));
    }
    item.Params = SplitParams(d.substr(open + 1, close - open - 1));
    std::string params;
    for (const ApiParam &p : item.Params) {
        if (!params.empty()) params += ", ";
        std::string type = p.sType;
        size_t bracket = type.find('[');
        std::string suffix = bracket == std::string::npos ? "" : type.substr(bracket);
        if (bracket != std::string::npos) type = Trim(type.substr(0, bracket));
        if (p.sName.empty()) params += type;
        else params += type + (type.back() == '*' ? "" : " ") + p.sName + suffix;
    }
    if (item.Params.empty()) params = "void";
    item.sCode = item.sReturn + (item.sReturn.back() == '*' ? "" : " ") + item.sName + "(" + params + ")";
    return true;
}

std::string TypedefName(const std::string &decl) {
    size_t star = decl.find("(*");
    if (star != std::string::npos) {
        size_t end = decl.find(')', star);
        return Trim(decl.substr(star + 2, end - star - 2));
    }
    std::string d = Trim(decl);
    if (!d.empty() && d.back() == ';') d.pop_back();
    d = Trim(d);
    size_t start = d.size();
    while (start > 0 && IsIdent(d[start - 1])) start -= 1;
    return d.substr(start);
}

}  // namespace

ApiHeader ParseHeader(const std::string &text, std::vector<std::string> &problems) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);

    ApiHeader header;
    auto problem = [&](int line, const std::string &what) {
        problems.push_back("Include/MVE.h:" + std::to_string(line) + ": " + what);
    };
    auto area = [&]() -> ApiArea & {
        if (header.Areas.empty()) header.Areas.push_back(ApiArea{});
        return header.Areas.back();
    };
    // Reads a comment from line i (at its "/*") to its "*/"; i ends on the last line.
    auto readComment = [&](size_t &i, size_t column) {
        std::string joined;
        std::string first = lines[i].substr(column);
        joined = CommentLine(first);
        bool closed = first.find("*/") != std::string::npos;
        while (!closed && i + 1 < lines.size()) {
            i += 1;
            joined = JoinText(joined, CommentLine(lines[i]));
            closed = lines[i].find("*/") != std::string::npos;
        }
        return joined;
    };

    bool afterItem = false;   // the previous line ended a declaration: an indented comment continues it
    bool groupStart = true;   // a blank line or a comment came since the last constant
    bool sawIntro = false;
    std::string guard;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string raw = lines[i];
        const std::string t = Trim(raw);
        const int lineNo = static_cast<int>(i + 1);
        if (t.empty()) {
            afterItem = false;
            groupStart = true;
            continue;
        }
        if (t.compare(0, 2, "/*") == 0) {
            bool indented = raw[0] == ' ' || raw[0] == '\t';
            size_t column = raw.find("/*");
            std::string rest = Trim(raw.substr(column + 2));
            if (rest.compare(0, 3, "---") == 0) {
                size_t i0 = i;
                std::string whole = readComment(i, column);
                size_t dashes = whole.find_first_not_of('-');
                std::string title, note;
                SplitBanner(dashes == std::string::npos ? "" : whole.substr(dashes), title, note);
                // Continuation lines of the banner belong to the note, not the title.
                if (i > i0) {
                    std::string firstLine = CommentLine(lines[i0].substr(column));
                    size_t d2 = firstLine.find_first_not_of('-');
                    SplitBanner(d2 == std::string::npos ? "" : firstLine.substr(d2), title, note);
                    std::string more;
                    for (size_t k = i0 + 1; k <= i; ++k) more = JoinText(more, CommentLine(lines[k]));
                    // The parenthesis is a phrase of its own; the lines under the banner follow it.
                    if (!note.empty() && !more.empty() && std::string(".!?:;").find(note.back()) == std::string::npos)
                        note += ".";
                    note = JoinText(note, more);
                }
                ApiArea a;
                a.sTitle = title;
                a.sNote = note;
                if (title.empty()) problem(lineNo, "a banner without a title");
                header.Areas.push_back(a);
                afterItem = false;
                continue;
            }
            std::string comment = readComment(i, column);
            if (!sawIntro && header.Areas.empty()) {
                header.sIntro = comment;
                sawIntro = true;
            } else if (indented && afterItem && !area().Items.empty()) {
                ApiItem &last = area().Items.back();
                last.sComment = JoinText(last.sComment, comment);
            } else {
                ApiItem p;
                p.eKind = ApiItem::Paragraph;
                p.sComment = comment;
                p.iLine = lineNo;
                area().Items.push_back(p);
                afterItem = false;
                groupStart = true;
            }
            continue;
        }
        if (t[0] == '#') {
            afterItem = false;
            std::istringstream words(t);
            std::string directive, name;
            words >> directive >> name;
            if (directive == "#ifndef") guard = name;
            if (directive != "#define" || name == guard) continue;   // the include guard is no constant
            ApiItem c;
            c.eKind = ApiItem::Constant;
            c.sName = name;
            c.iLine = lineNo;
            c.bGroupStart = groupStart;
            groupStart = false;
            std::string rest = t.substr(t.find(name) + name.size());
            size_t comment = rest.find("/*");
            c.sCode = Trim(rest.substr(0, comment));
            if (comment != std::string::npos) {
                size_t column = raw.find("/*", raw.find(name));
                c.sComment = readComment(i, column);
            }
            area().Items.push_back(c);
            afterItem = true;
            continue;
        }
        if (t.compare(0, 6, "extern") == 0 || t == "}" || t == "{") continue;
        // A declaration: up to its semicolon, then an optional trailing comment.
        std::string decl;
        size_t k = i;
        size_t semi = std::string::npos;
        int braces = 0;   // a struct's fields end in semicolons of their own
        for (; k < lines.size(); ++k) {
            semi = std::string::npos;
            for (size_t c = 0; c < lines[k].size() && semi == std::string::npos; ++c) {
                if (lines[k].compare(c, 2, "/*") == 0) break;
                if (lines[k][c] == '{') braces += 1;
                if (lines[k][c] == '}') braces -= 1;
                if (lines[k][c] == ';' && braces == 0) semi = c;
            }
            decl += (k == i ? "" : " ") + (semi == std::string::npos ? lines[k] : lines[k].substr(0, semi + 1));
            if (semi != std::string::npos) break;
        }
        if (k == lines.size()) {
            problem(lineNo, "a declaration without its semicolon");
            break;
        }
        i = k;
        ApiItem item;
        item.iLine = lineNo;
        std::string after = lines[k].substr(semi + 1);
        size_t comment = after.find("/*");
        if (comment != std::string::npos) item.sComment = readComment(i, semi + 1 + comment);
        std::string d = Trim(decl);
        if (d.compare(0, 7, "typedef") == 0) {
            item.eKind = ApiItem::Type;
            item.sName = TypedefName(d);
            item.sCode = FoldSpaces(d);
        } else if (!ParsePrototype(d, item)) {
            problem(lineNo, "not read as a prototype: " + FoldSpaces(d));
            continue;
        }
        area().Items.push_back(item);
        afterItem = true;
        groupStart = true;
    }
    return header;
}

}  // namespace apidoc
