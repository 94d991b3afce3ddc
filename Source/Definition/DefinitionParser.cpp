// The block parser: one pass over a whole text in memory, building a compact tree. Main thread.
// It never reads past the text: an unterminated quote, comment or block ends at the end of the
// text, and a NUL byte counts as that end. A block or list nested deeper than
// MVE_DEFINITION_MAX_DEPTH is skipped whole (the tree is marked incomplete); reading goes on after it.
#include "Definition/Definition.h"
#include "Core/Engine.h"
#include <array>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr const char *kOutOfMemory = "Fail: Out of memory!";

// Characters that end or change a token in the normal state; everything else belongs to it.
constexpr std::array<bool, 256> MakeSpecial() {
    std::array<bool, 256> t{};
    for (unsigned char ch : {'/', '\'', ':', ';', '\n', ',', '{', '}'}) t[ch] = true;
    return t;
}
constexpr std::array<bool, 256> kSpecial = MakeSpecial();

struct Scanner {
    MVE_DEFINITION_TREE &t;
    const char *s;
    size_t n;
    MVE_DEFINITION_SINK *sink;
    int iEnd = 0;   // set once the end of the text was met: every level stops at once

    // Trimmed text of [b, c): codes 1 to 32 go from both ends.
    std::string_view Trim(size_t b, size_t c) const {
        while (b < c && (unsigned char)(s[b] - 1) < 32) ++b;
        while (c > b && (unsigned char)(s[c - 1] - 1) < 32) --c;
        return std::string_view(s + b, c - b);
    }
    uint32_t Offset(std::string_view v) const { return v.empty() ? 0 : (uint32_t)(v.data() - s); }

    MVE_DEFINITION_NODE *Make(std::string_view key, std::string_view value, bool branch) {
        if (branch || !key.empty()) {
            auto *b = static_cast<MVE_DEFINITION_BRANCH *>(t.Allocate(sizeof(MVE_DEFINITION_BRANCH)));
            b->iNext = MVE_DEFINITION_IS_BRANCH;
            b->iValue = Offset(value);
            b->iValueSize = (uint32_t)value.size();
            b->pFirst = nullptr;
            b->iKey = Offset(key);
            b->iKeySize = (uint32_t)key.size();
            return b;
        }
        auto *leaf = static_cast<MVE_DEFINITION_NODE *>(t.Allocate(sizeof(MVE_DEFINITION_NODE)));
        leaf->iNext = 0;
        leaf->iValue = Offset(value);
        leaf->iValueSize = (uint32_t)value.size();
        return leaf;
    }

    void Cut() {
        if (!t.bCut)
            MVE_LogFail("Fail: Definition text nested deeper than " + std::to_string((int)MVE_DEFINITION_MAX_DEPTH) +
                            " levels; the block is skipped!",
                        "MVE_ParseDefinitionText");
        t.bCut = 1;
    }

    // Position just past the "*/" that closes a block comment whose text starts at p; npos if none.
    size_t EndOfComment(size_t p) const {
        for (;;) {
            const char *star = p < n ? (const char *)memchr(s + p, '*', n - p) : nullptr;
            if (!star) return std::string_view::npos;
            p = (size_t)(star - s) + 1;
            if (p < n && s[p] == '/') return p + 1;
        }
    }

    // Passes over a block (from just inside its brace, to the matching '}') or a list (to the
    // terminator that ends it) without building anything, honouring quotes and comments.
    size_t Skip(size_t c, bool list) {
        size_t depth = list ? 0 : 1;
        while (c < n) {
            switch (s[c]) {
            case '\'': {
                const char *q = (const char *)memchr(s + c + 1, '\'', n - (c + 1));
                if (!q) c = n;
                else c = (size_t)(q - s) + 1;
                continue;
            }
            case '/':
                if (c + 1 < n && s[c + 1] == '/') {
                    const char *lf = (const char *)memchr(s + c + 2, '\n', n - (c + 2));
                    c = lf ? (size_t)(lf - s) : n;   // the line feed is read next
                    continue;
                }
                if (c + 1 < n && s[c + 1] == '*') {
                    size_t after = EndOfComment(c + 2);
                    c = after == std::string_view::npos ? n : after;
                    continue;
                }
                break;
            case '{':
                ++depth;
                break;
            case '}':
                if (depth == 0 || --depth == 0) return c;
                break;
            case ';':
            case '\n':
                if (list && depth == 0) return c;
                break;
            }
            ++c;
        }
        iEnd = 1;
        return n;
    }

    size_t Level(MVE_DEFINITION_NODE *node, size_t start, bool list, int depth, bool streamed);
};

// Returns the position at which this level stopped: its terminator, or n at the end of the text.
// With streamed set, each child goes to the sink once complete and its memory is reused.
size_t Scanner::Level(MVE_DEFINITION_NODE *node, size_t start, bool list, int depth, bool streamed) {
    MVE_DEFINITION_BRANCH *self = static_cast<MVE_DEFINITION_BRANCH *>(node);
    self->iNext |= MVE_DEFINITION_IS_BLOCK;
    MVE_DEFINITION_NODE *last = streamed ? nullptr : self->pFirst;   // a list arrives holding its first item
    size_t b = start, c = start;
    std::string_view key, value;   // the pending entry: views into the text
    auto place = [&](MVE_DEFINITION_NODE *child) {
        if (last) last->iNext |= reinterpret_cast<uintptr_t>(child);
        else self->pFirst = child;
        last = child;
    };
    auto entry = [&](std::string_view k, std::string_view v) {
        const MVE_DEFINITION_TREE::Mark mark = t.Save();
        MVE_DEFINITION_NODE *child = Make(k, v, false);
        if (sink) sink->Added(node, child);
        if (streamed) {
            sink->Take(node, child);
            t.Rewind(mark);
        } else {
            place(child);
        }
    };
    auto complete = [&]() {
        if (value.empty()) value = Trim(b, c);
        if (!value.empty()) entry(key, value);
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
            const bool line = c + 1 < n && s[c + 1] == '/', block = c + 1 < n && s[c + 1] == '*';
            if (!line && !block) {
                ++c;   // a slash that starts no comment is part of the text (paths, fractions)
                break;
            }
            // Text before a comment is the value. An empty token keeps a value already pending
            // (a quoted text, or the text before an earlier comment) instead of erasing it.
            std::string_view token = Trim(b, c);
            if (!token.empty()) value = token;
            if (line) {
                const char *lf = (const char *)memchr(s + c + 2, '\n', n - (c + 2));
                if (!lf) {
                    if (!value.empty()) entry(key, value);
                    iEnd = 1;
                    return n;
                }
                // The comment runs to the line feed, which then ends the entry like any other.
                c = b = (size_t)(lf - s);
            } else {
                size_t after = EndOfComment(c + 2);
                if (after == std::string_view::npos) {
                    iEnd = 1;   // unterminated: the pending entry is dropped
                    return n;
                }
                c = b = after;
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
                if (!value.empty()) entry(key, value);
                key = value = std::string_view();
                b = ++c;
            } else if (depth >= MVE_DEFINITION_MAX_DEPTH) {
                Cut();
                key = value = std::string_view();
                size_t stop = Skip(c + 1, true);
                if (iEnd) return stop;
                b = c = stop;   // the terminator is read again by this level
            } else {
                const MVE_DEFINITION_TREE::Mark mark = t.Save();
                auto *items = static_cast<MVE_DEFINITION_BRANCH *>(Make(key, std::string_view(), true));
                const bool handItems = sink && sink->Added(node, items);
                if (!streamed) place(items);
                if (!value.empty()) {
                    const MVE_DEFINITION_TREE::Mark itemMark = t.Save();
                    MVE_DEFINITION_NODE *first = Make(std::string_view(), value, false);
                    if (sink) sink->Added(items, first);
                    if (handItems) {
                        sink->Take(items, first);
                        t.Rewind(itemMark);
                    } else {
                        items->pFirst = first;
                    }
                }
                key = value = std::string_view();
                size_t stop = Level(items, c + 1, true, depth + 1, handItems);
                std::string_view text = Trim(b, stop);
                items->iValue = Offset(text);
                items->iValueSize = (uint32_t)text.size();
                if (streamed) {
                    sink->Take(node, items);
                    t.Rewind(mark);
                }
                if (iEnd) return stop;
                b = c = stop;   // the terminator is read again by this level
            }
            break;
        case '{': {
            if (value.empty()) value = Trim(b, c);
            if (depth >= MVE_DEFINITION_MAX_DEPTH) {
                Cut();
                key = value = std::string_view();
                size_t stop = Skip(c + 1, false);
                if (iEnd) return stop;
                b = c = stop + 1;
                break;
            }
            const MVE_DEFINITION_TREE::Mark mark = t.Save();
            MVE_DEFINITION_NODE *block = Make(key, value, true);
            const bool handBlock = sink && sink->Added(node, block);
            if (!streamed) place(block);
            key = value = std::string_view();
            size_t stop = Level(block, c + 1, false, depth + 1, handBlock);
            if (streamed) {
                sink->Take(node, block);
                t.Rewind(mark);
            }
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

MVE_DEFINITION_NODE *MVE_ParseDefinitionBuffer(char *base, const char *text, size_t size, const std::string &folder,
                                               MVE_DEFINITION_SINK *sink) {
    MVE_DEFINITION_STATE &d = MVE_Engine().Definition;
    MVE_DEFINITION_TREE *tree = new (std::nothrow) MVE_DEFINITION_TREE;
    if (!tree) {
        free(base);
        d.sLastFailure = kOutOfMemory;
        return nullptr;
    }
    tree->pBase = base;
    tree->pText = text;
    tree->iText = size < UINT32_MAX ? size : UINT32_MAX - 1;   // offsets are 32-bit; files are refused long before
    tree->sFolder = folder.empty() ? std::string() : MVE_NativePath(folder);
    while (tree->sFolder.size() > 1 && tree->sFolder.back() == '/') tree->sFolder.pop_back();
    if (!tree->sFolder.empty() && tree->sFolder != "/") tree->sFolder += '/';
    d.Roots.push_back(tree);
    tree->itRoot = std::prev(d.Roots.end());
    try {
        Scanner scan{*tree, text, tree->iText, sink};
        tree->pRoot = static_cast<MVE_DEFINITION_BRANCH *>(scan.Make(std::string_view(), std::string_view(), true));
        scan.Level(tree->pRoot, 0, false, 0, false);
    } catch (const std::bad_alloc &) {
        d.Roots.erase(tree->itRoot);
        delete tree;
        d.sLastFailure = kOutOfMemory;
        MVE_LogFail(kOutOfMemory, "MVE_ParseDefinitionText");
        return nullptr;
    }
    return tree->pRoot;
}

MVE_DEFINITION_NODE *MVE_ParseDefinitionText(std::string_view text, const std::string &folder) {
    // The text ends at its first NUL, as the format has always read it.
    const void *nul = memchr(text.data(), 0, text.size());
    size_t size = nul ? (size_t)((const char *)nul - text.data()) : text.size();
    char *copy = static_cast<char *>(malloc(size + 1));
    if (!copy) {
        MVE_LogFail(kOutOfMemory, "MVE_ParseDefinitionText");
        return nullptr;
    }
    if (size) memcpy(copy, text.data(), size);
    copy[size] = 0;
    return MVE_ParseDefinitionBuffer(copy, copy, size, folder, nullptr);
}

extern "C" MVE_DEFINITION_NODE *MVE_ParseDefinitionText(const char *text, const char *folder) {
    return MVE_ParseDefinitionText(std::string_view(text ? text : ""), std::string(folder ? folder : ""));
}
