// The block parser: one pass over a whole text in memory, building a tree of nodes. Main thread.
// It never reads past the text: an unterminated quote, comment or block ends at the end of the
// text, a NUL byte counts as that end, and nesting deeper than MVE_DEFINITION_MAX_DEPTH stops it.
#include "Definition/Definition.h"
#include "Core/Engine.h"
#include <array>
#include <cstring>

namespace {

// Characters that end or change a token in the normal state; everything else belongs to it.
constexpr std::array<bool, 256> MakeSpecial() {
    std::array<bool, 256> t{};
    for (unsigned char ch : {'/', '\'', ':', ';', '\n', ',', '{', '}'}) t[ch] = true;
    return t;
}
constexpr std::array<bool, 256> kSpecial = MakeSpecial();

struct Scanner {
    const char *s;
    size_t n;
    int iEnd = 0;   // set once the end of the text was met: every level stops at once

    // Trimmed text of [b, c): codes 1 to 32 go from both ends.
    std::string_view Trim(size_t b, size_t c) const {
        while (b < c && (unsigned char)(s[b] - 1) < 32) ++b;
        while (c > b && (unsigned char)(s[c - 1] - 1) < 32) --c;
        return std::string_view(s + b, c - b);
    }

    static MVE_DEFINITION_NODE *Add(MVE_DEFINITION_NODE *node, std::string_view key, std::string_view value) {
        MVE_DEFINITION_NODE *child = new MVE_DEFINITION_NODE;
        child->Parent = node;
        child->sKey.assign(key);
        child->sValue.assign(value);
        child->iIndex = (int)node->Children.size();
        node->Children.push_back(child);
        if (!key.empty()) node->KeyIndex.try_emplace(child->sKey, child);
        return child;
    }

    bool Deeper(int depth) {
        if (depth < MVE_DEFINITION_MAX_DEPTH) return true;
        MVE_LogFail("Fail: Definition text nested deeper than " + std::to_string((int)MVE_DEFINITION_MAX_DEPTH) +
                        " levels; the rest of the text is ignored!",
                    "MVE_ParseDefinitionText");
        iEnd = 1;
        return false;
    }

    size_t Level(MVE_DEFINITION_NODE *node, size_t start, bool list, int depth);
};

// Returns the position at which this level stopped: its terminator, or n at the end of the text.
size_t Scanner::Level(MVE_DEFINITION_NODE *node, size_t start, bool list, int depth) {
    node->iBlock = 1;
    size_t b = start, c = start;
    std::string_view key, value;   // the pending entry: views into the text, copied once on Add
    auto complete = [&]() {
        if (value.empty()) value = Trim(b, c);
        if (!value.empty()) Add(node, key, value);
        key = value = std::string_view();
    };
    for (;;) {
        while (c < n && !kSpecial[(unsigned char)s[c]]) ++c;
        if (c >= n) {
            complete();
            iEnd = 1;
            return n;
        }
        switch (s[c]) {
        case '/': {
            // Text before a comment is the value. An empty token keeps a value already pending
            // (a quoted text, or the text before an earlier comment) instead of erasing it.
            std::string_view token = Trim(b, c);
            if (!token.empty()) value = token;
            if (c + 1 < n && s[c + 1] == '/') {
                const char *lf = (const char *)memchr(s + c + 2, '\n', n - (c + 2));
                if (!lf) {
                    if (!value.empty()) Add(node, key, value);
                    iEnd = 1;
                    return n;
                }
                // The line feed ends the comment only: the pending entry carries over.
                c = (size_t)(lf - s) + 1;
                b = c;
            } else if (c + 1 < n && s[c + 1] == '*') {
                size_t p = c + 2;
                for (;;) {
                    const char *star = p < n ? (const char *)memchr(s + p, '*', n - p) : nullptr;
                    if (!star) {
                        iEnd = 1;   // unterminated: the pending entry is dropped
                        return n;
                    }
                    p = (size_t)(star - s) + 1;
                    if (p < n && s[p] == '/') break;
                }
                c = p + 1;
                b = c;
            } else {
                ++c;   // a lone slash: the text after it up to the terminator is dropped
            }
            break;
        }
        case '\'': {
            const char *q = (const char *)memchr(s + c + 1, '\'', n - (c + 1));
            if (!q) {
                iEnd = 1;   // unterminated: the pending entry is dropped
                return n;
            }
            value = Trim(c + 1, (size_t)(q - s));
            c = (size_t)(q - s) + 1;
            b = c;
            break;
        }
        case ':':
            if (!value.empty()) {   // a quoted text before the colon is the key
                key = value;
                value = std::string_view();
            } else {
                key = Trim(b, c);
            }
            b = ++c;
            break;
        case ';':
        case '\n':
            complete();
            b = c + 1;
            if (list) return c;
            ++c;
            break;
        case ',':
            if (value.empty()) value = Trim(b, c);
            if (list) {
                if (!value.empty()) Add(node, key, value);
                key = value = std::string_view();
                b = ++c;
            } else {
                MVE_DEFINITION_NODE *items = Add(node, key, std::string_view());
                if (!value.empty()) Add(items, std::string_view(), value);
                key = value = std::string_view();
                if (!Deeper(depth)) return c;
                size_t stop = Level(items, c + 1, true, depth + 1);
                items->sValue.assign(Trim(b, stop));
                if (iEnd) return stop;
                b = c = stop;   // the terminator is read again by this level
            }
            break;
        case '{': {
            if (value.empty()) value = Trim(b, c);
            MVE_DEFINITION_NODE *block = Add(node, key, value);
            key = value = std::string_view();
            if (!Deeper(depth)) return c;
            size_t stop = Level(block, c + 1, false, depth + 1);
            if (iEnd) return stop;
            b = c = stop + 1;
            break;
        }
        case '}':
            complete();
            // A stray closing brace on the top level would drop the rest of the file: skip it.
            if (depth == 0 && !list) {
                b = ++c;
                break;
            }
            return c;
        }
    }
}

}  // namespace

MVE_DEFINITION_NODE *MVE_ParseDefinitionText(std::string_view text, const std::string &folder) {
    MVE_DEFINITION_NODE *root = new MVE_DEFINITION_NODE;
    root->sFolder = folder.empty() ? std::string() : MVE_NativePath(folder);
    while (root->sFolder.size() > 1 && root->sFolder.back() == '/') root->sFolder.pop_back();
    if (!root->sFolder.empty() && root->sFolder != "/") root->sFolder += '/';
    MVE_Engine().Definition.Roots.push_back(root);
    // The text ends at its first NUL, as the format has always read it.
    const void *nul = memchr(text.data(), 0, text.size());
    Scanner scan{text.data(), nul ? (size_t)((const char *)nul - text.data()) : text.size()};
    scan.Level(root, 0, false, 0);
    return root;
}
