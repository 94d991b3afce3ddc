// Definition files: the parser's rules and their consequences, the typed readers, finding nodes,
// encodings, the folder walk with its section dispatch, freeing, and hostile input.
#include "TestSupport.h"
#include "Definition/Definition.h"
#include <algorithm>
#include <cmath>
#include <malloc.h>
#include <random>

namespace {

using mvetest::EngineTest;
using mvetest::WriteFile;

MVE_DEFINITION_NODE *Parse(const std::string &text) { return MVE_ParseDefinitionText(text, ""); }

std::string Key(const MVE_DEFINITION_NODE *node) { return std::string(MVE_DefinitionKey(node)); }
std::string Value(const MVE_DEFINITION_NODE *node) { return std::string(MVE_DefinitionValue(node)); }

std::vector<MVE_DEFINITION_NODE *> Kids(const MVE_DEFINITION_NODE *node) {
    std::vector<MVE_DEFINITION_NODE *> out;
    for (MVE_DEFINITION_NODE *c = MVE_DefinitionFirst(node); c; c = MVE_NextDefinitionNode(c)) out.push_back(c);
    return out;
}

// Compact picture of a tree: key=value, a block's children in braces, siblings split by '|'.
std::string Dump(const MVE_DEFINITION_NODE *node) {
    std::string out;
    for (const MVE_DEFINITION_NODE *child : Kids(node)) {
        if (!out.empty()) out += '|';
        out += Key(child) + "=" + Value(child);
        if (MVE_IsDefinitionBlock(child)) out += "{" + Dump(child) + "}";
    }
    return out;
}

std::string DumpText(const std::string &text) { return Dump(Parse(text)); }

// Every way of reaching a child agrees: the sibling chain, positions from both ends, and the
// direct path by key (which names the first child with that key).
void ExpectConsistent(MVE_DEFINITION_NODE *node) {
    const std::vector<MVE_DEFINITION_NODE *> kids = Kids(node);
    ASSERT_EQ(MVE_CountDefinitionNodes(node, ""), (int)kids.size());
    for (size_t i = 0; i < kids.size(); ++i) {
        ASSERT_EQ(MVE_GetDefinitionNode(node, (int)i), kids[i]);
        ASSERT_EQ(MVE_GetDefinitionNode(node, (int)i - (int)kids.size()), kids[i]);
        const std::string key = Key(kids[i]);
        if (!key.empty() && key.find('\\') == std::string::npos) {
            auto first = std::find_if(kids.begin(), kids.end(), [&](const MVE_DEFINITION_NODE *c) { return Key(c) == key; });
            ASSERT_EQ(MVE_FindDefinitionNode(node, ("\\" + key).c_str(), "", 0), *first) << key;
        }
        ExpectConsistent(kids[i]);
    }
    ASSERT_EQ(MVE_GetDefinitionNode(node, (int)kids.size()), nullptr);
}

int Depth(const MVE_DEFINITION_NODE *node) {
    int depth = 0;
    while (MVE_DefinitionFirst(node)) node = Kids(node).back(), ++depth;
    return depth;
}

std::vector<std::string> g_loaded;
int HookTexture(int id, MVE_DEFINITION_NODE *node, const char *name) {
    g_loaded.push_back("T:" + std::string(name) + (id == MVE_ID_AUTO && Key(node) == "Texture" ? "" : "!"));
    return 1;
}
int HookMaterial(int id, MVE_DEFINITION_NODE *node, const char *name) {
    g_loaded.push_back("M:" + std::string(name) + (id == MVE_ID_AUTO && Key(node) == "Material" ? "" : "!"));
    return 1;
}
int HookSound(int id, MVE_DEFINITION_NODE *node, const char *folder) {
    g_loaded.push_back("S:" + Value(node) + (id == MVE_ID_AUTO && *folder == 0 ? "" : "!"));
    return 1;
}

class DefinitionTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        g_loaded.clear();
        MVE_DEFINITION_STATE &d = MVE_Engine().Definition;
        d.pLoadTexture = HookTexture;
        d.pLoadMaterial = HookMaterial;
        d.pLoadSound = HookSound;
    }
    std::string Loaded() {
        std::string out;
        for (const std::string &s : g_loaded) out += (out.empty() ? "" : " ") + s;
        g_loaded.clear();
        return out;
    }
};

int Count(const std::string &text, const std::string &what) {
    int n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

}  // namespace

TEST_F(DefinitionTest, ParserQuotesCommentsAndLines) {
    // Quoted text keeps its semicolons and braces; spaces just inside the quotes go.
    EXPECT_EQ(DumpText("Name: '  a;b{c}d  ' ;"), "Name=a;b{c}d");
    EXPECT_EQ(DumpText("'my key': v;"), "my key=v");
    // A comment after the value ends the value; a comment before the value is skipped.
    EXPECT_EQ(DumpText("Key: value /* note */;"), "Key=value");
    EXPECT_EQ(DumpText("Key: /* note */ 5;"), "Key=5");
    EXPECT_EQ(DumpText("Key: 'quoted' /* a */ /* b */;"), "Key=quoted");
    EXPECT_EQ(DumpText("Key: value /*a*/ /*b*/;"), "Key=value");
    // Line ends end entries; carriage returns are trimmed.
    EXPECT_EQ(DumpText("A: 1\nB: 2\n"), "A=1|B=2");
    EXPECT_EQ(DumpText("A: 1\r\nB: 2\r\n"), "A=1|B=2");
    // The line feed that ends a line comment ends the entry on that line, as if the comment were
    // not there: a comment never changes the next line.
    EXPECT_EQ(DumpText("A: 1; // c\nB: 2;"), "A=1|B=2");
    EXPECT_EQ(DumpText("A: 1 // c\nB: 2;"), "A=1|B=2");
    EXPECT_EQ(DumpText("Name: 'Brick Wall' // the name\r\nFile: 'a.png';"), "Name=Brick Wall|File=a.png");
    EXPECT_EQ(DumpText("Key: // nothing yet\n5;"), DumpText("Key:\n5;"));
    EXPECT_EQ(DumpText("C: 1, 2 // two\nD: 3"), "C=1, 2 // two{=1|=2}|D=3");   // a list's text is all it spans
    EXPECT_EQ(DumpText("S { A: 1 // c\n}"), "=S{A=1}");
    EXPECT_EQ(DumpText("A: 1 // comment to the end"), "A=1");
    // A slash that starts no comment is an ordinary character.
    EXPECT_EQ(DumpText("File: Textures/Brick.png"), "File=Textures/Brick.png");
    EXPECT_EQ(DumpText("P: a/b/c;Q: 1/2 /* half */;R: /"), "P=a/b/c|Q=1/2|R=/");
    EXPECT_EQ(DumpText("List: a/b, c/d"), "List=a/b, c/d{=a/b|=c/d}");
    // Empty entries add nothing; a key without a value adds nothing.
    EXPECT_EQ(DumpText(";;\n\n  ;Key: ;"), "");
}

TEST_F(DefinitionTest, ParserBlocksAndLists) {
    // The Material Red example: a block holding a list node with three unnamed items.
    MVE_DEFINITION_NODE *root = Parse("Material: Red {\n  Color: 255, 0, 0;\n}\n");
    EXPECT_EQ(Dump(root), "Material=Red{Color=255, 0, 0{=255|=0|=0}}");
    MVE_DEFINITION_NODE *color = MVE_FindDefinitionNode(root, "Material\\Color", "", 0);
    ASSERT_NE(color, nullptr);
    EXPECT_EQ(MVE_IsDefinitionBlock(color), 1);
    EXPECT_EQ(MVE_IsDefinitionBlock(root), 1);
    EXPECT_EQ(MVE_IsDefinitionBlock(MVE_GetDefinitionNode(color, 0)), 0);
    ExpectConsistent(root);

    EXPECT_EQ(DumpText("Emission: { A: 1 }"), "Emission={A=1}");
    EXPECT_EQ(DumpText("name { A: 1 }"), "=name{A=1}");
    EXPECT_EQ(DumpText("S { C: 1, 2 } D: 3;"), "=S{C=1, 2{=1|=2}}|D=3");
    EXPECT_EQ(DumpText("C: 1.0, 0.5, 0\nD: 4"), "C=1.0, 0.5, 0{=1.0|=0.5|=0}|D=4");
    EXPECT_EQ(DumpText("Faces: {0, 1, 2; 2, 3, 0}"), "Faces={=0, 1, 2{=0|=1|=2}|=2, 3, 0{=2|=3|=0}}");
    // The end of the text ends every level: lists and blocks stay, nothing is read beyond.
    EXPECT_EQ(DumpText("C: 1, 2"), "C=1, 2{=1|=2}");
    EXPECT_EQ(DumpText("S: x { A: 1; T { B: 2"), "S=x{A=1|=T{B=2}}");
    // A stray closing brace on the top level does not end the file.
    EXPECT_EQ(DumpText("A: 1; } B: 2;"), "A=1|B=2");
    // Unterminated quotes and comments drop the entry being read, and only it.
    EXPECT_EQ(DumpText("A: 1; B: 'abc"), "A=1");
    EXPECT_EQ(DumpText("A: 1; B: 2 /* open"), "A=1");
    EXPECT_EQ(DumpText("A: 1; B: 2 /* closed */ C: 3"), "A=1|2=3");   // as after a line comment
    // Every distinct key points at its first child.
    root = Parse("Shader: 1; Shader: 2; Other: 3");
    EXPECT_EQ(Value(MVE_FindDefinitionNode(root, "\\Shader", "", 0)), "1");
    EXPECT_EQ(MVE_CountDefinitionNodes(root, "Shader"), 2);
    EXPECT_EQ(MVE_CountDefinitionNodes(root, ""), 3);
    EXPECT_EQ(MVE_CountDefinitionNodes(nullptr, ""), 0);
    ExpectConsistent(root);
}

TEST_F(DefinitionTest, ReadersIntegersAndFloats) {
    auto integer = [](const char *text) { return MVE_ReadDefinitionInteger(MVE_GetDefinitionNode(Parse(std::string("V: ") + text), 0), 77); };
    EXPECT_EQ(integer("Enable"), 1);
    EXPECT_EQ(integer("TRUE"), 1);
    EXPECT_EQ(integer("DEFAULT"), -1);
    EXPECT_EQ(integer("None"), 0);
    EXPECT_EQ(integer("disable"), 0);
    EXPECT_EQ(integer("word"), 0);
    EXPECT_EQ(integer("$10"), 16);
    EXPECT_EQ(integer("$ff"), 255);
    EXPECT_EQ(integer("%101"), 5);
    EXPECT_EQ(integer("%102"), 2);
    EXPECT_EQ(integer("-$10"), -16);
    EXPECT_EQ(integer("+42abc"), 42);
    EXPECT_EQ(integer("-7"), -7);
    EXPECT_EQ(integer("1.9"), 1);
    EXPECT_EQ(integer("$FFFFFFFF"), -1);   // 32 bits written as a pattern
    EXPECT_EQ(integer("-2147483648"), INT32_MIN);
    EXPECT_EQ(integer("2147483647"), INT32_MAX);
    // Numbers beyond 32 bits are never wrapped into small ones: they stay at the ends of the range.
    EXPECT_EQ(integer("4294967297"), INT32_MAX);
    EXPECT_EQ(integer("2147483648"), INT32_MAX);
    EXPECT_EQ(integer("-4294967295"), INT32_MIN);
    EXPECT_EQ(integer("$100000001"), INT32_MAX);
    EXPECT_EQ(integer("%100000000000000000000000000000000"), INT32_MAX);
    EXPECT_EQ(integer("99999999999999999999999999"), INT32_MAX);
    EXPECT_EQ(MVE_ReadDefinitionInteger(nullptr, 77), 77);
    auto fits = [](const char *text) { return MVE_DefinitionIntegerFits(MVE_GetDefinitionNode(Parse(std::string("V: ") + text), 0)); };
    EXPECT_TRUE(fits("-2147483648") && fits("$FFFFFFFF") && fits("true") && fits("word") && fits("-$80000000"));
    EXPECT_FALSE(fits("2147483648") || fits("-2147483649") || fits("$1FFFFFFFF") || fits("-$80000001"));
    EXPECT_TRUE(MVE_DefinitionIntegerFits(nullptr));

    auto number = [](const char *text) { return MVE_ReadDefinitionFloat(MVE_GetDefinitionNode(Parse(std::string("V: ") + text), 0), 9.0f); };
    EXPECT_FLOAT_EQ(number("1.5"), 1.5f);
    EXPECT_FLOAT_EQ(number("+2.5e1"), 25.0f);
    EXPECT_FLOAT_EQ(number("-.5"), -0.5f);
    EXPECT_FLOAT_EQ(number("3abc"), 3.0f);
    EXPECT_EQ(number("abc"), 0.0f);
    EXPECT_EQ(number("+-1"), 0.0f);
    EXPECT_EQ(number("+Infinity"), INFINITY);
    EXPECT_EQ(number("-Infinity"), -INFINITY);
    EXPECT_TRUE(std::isnan(number("NaN")));
    EXPECT_EQ(number("1e999"), INFINITY);
    EXPECT_EQ(number("-1e999"), -INFINITY);
    EXPECT_EQ(number("1e-999"), 0.0f);
    EXPECT_EQ(MVE_ReadDefinitionFloat(nullptr, 9.0f), 9.0f);
    EXPECT_STREQ(MVE_ReadDefinitionString(nullptr, "dflt"), "dflt");
    EXPECT_STREQ(MVE_ReadDefinitionString(nullptr, nullptr), "");
}

TEST_F(DefinitionTest, ReadersVectorsColorsRanges) {
    MVE_DEFINITION_NODE *root = Parse("One: 2; Three: 1, 2, 3; Two: 1, 2; Four: 1, 2, 3, 4; Block: { 5; 6; 7 }\n"
                                      "Floats: 1.0, 0.5, 0; Bytes: 255, 128, 0, 64; Hex: $FF0000FF; Red: $FF;"
                                      "White: 4294967295; Beyond: 4294967297; Minus: -1; Below: -4294967297;"
                                      "Over: 2.0, 0, 0; Range: 1, 3; Half: 4,; Single: 2");
    auto node = [root](const char *key) { return MVE_FindDefinitionNode(root, (std::string("\\") + key).c_str(), "", 0); };
    v4f v = {9, 9, 9, 9};
    MVE_ReadDefinitionVector(node("One"), &v, 0, 0, 0, MVE_IGNORE_F);
    EXPECT_EQ(v.x, 0.0f); EXPECT_EQ(v.y, 0.0f); EXPECT_EQ(v.z, -2.0f); EXPECT_EQ(v.w, 9.0f);
    v = {9, 9, 9, 9};
    MVE_ReadDefinitionVector(node("Three"), &v, 0, 0, 0, MVE_IGNORE_F);
    EXPECT_EQ(v.x, 1.0f); EXPECT_EQ(v.y, 2.0f); EXPECT_EQ(v.z, 3.0f); EXPECT_EQ(v.w, 9.0f);
    v = {9, 9, 9, 9};
    MVE_ReadDefinitionVector(node("Two"), &v, 0, 0, 0, 5.0f);
    EXPECT_EQ(v.x, 1.0f); EXPECT_EQ(v.y, 2.0f); EXPECT_EQ(v.z, 9.0f); EXPECT_EQ(v.w, 5.0f);
    MVE_ReadDefinitionVector(node("Four"), &v, 0, 0, 0, 0.0f);
    EXPECT_EQ(v.w, 4.0f);
    MVE_ReadDefinitionVector(node("Block"), &v, 0, 0, 0, MVE_IGNORE_F);
    EXPECT_EQ(v.x, 5.0f); EXPECT_EQ(v.z, 7.0f); EXPECT_EQ(v.w, 4.0f);
    MVE_ReadDefinitionVector(nullptr, &v, 1, 2, 3, MVE_IGNORE_F);
    EXPECT_EQ(v.x, 1.0f); EXPECT_EQ(v.z, 3.0f); EXPECT_EQ(v.w, 4.0f);
    MVE_ReadDefinitionVector(nullptr, &v, 1, 2, 3, 0.5f);
    EXPECT_EQ(v.w, 0.5f);
    EXPECT_EQ(MVE_ReadDefinitionVector(node("One"), nullptr, 0, 0, 0, 0), nullptr);

    v4f c = {9, 9, 9, 9};
    EXPECT_EQ(MVE_ReadDefinitionColor(node("Floats"), &c, 0), 0xFF0080FFu);   // 0.5 * 255 rounds up
    EXPECT_FLOAT_EQ(c.x, 1.0f); EXPECT_FLOAT_EQ(c.y, 0.5f); EXPECT_FLOAT_EQ(c.z, 0.0f); EXPECT_FLOAT_EQ(c.w, 1.0f);
    EXPECT_EQ(MVE_ReadDefinitionColor(node("Bytes"), &c, 0), 0x400080FFu);
    EXPECT_FLOAT_EQ(c.w, 64.0f / 255.0f);
    EXPECT_EQ(MVE_ReadDefinitionColor(node("Hex"), &c, 0), 0xFF0000FFu);
    EXPECT_FLOAT_EQ(c.x, 1.0f); EXPECT_FLOAT_EQ(c.y, 0.0f); EXPECT_FLOAT_EQ(c.w, 1.0f);
    EXPECT_EQ(MVE_ReadDefinitionColor(node("Red"), &c, 0), 0xFFu);             // alpha byte stays 0...
    EXPECT_FLOAT_EQ(c.x, 1.0f); EXPECT_FLOAT_EQ(c.w, 1.0f);                    // ...but reads as opaque
    EXPECT_EQ(MVE_ReadDefinitionColor(node("Over"), nullptr, 0), 0xFF0001FEu); // not clamped: 510 spills
    // A packed colour holds 32 bits in any notation; beyond that it is white or black, never wrapped.
    EXPECT_EQ(MVE_ReadDefinitionColor(node("White"), nullptr, 0), 0xFFFFFFFFu);
    EXPECT_EQ(MVE_ReadDefinitionColor(node("Beyond"), nullptr, 0), 0xFFFFFFFFu);
    EXPECT_EQ(MVE_ReadDefinitionColor(node("Minus"), nullptr, 0), 0xFFFFFFFFu);
    EXPECT_EQ(MVE_ReadDefinitionColor(node("Below"), &c, 0), 0u);
    EXPECT_FLOAT_EQ(c.x, 0.0f); EXPECT_FLOAT_EQ(c.w, 1.0f);
    EXPECT_EQ(MVE_ReadDefinitionColor(nullptr, &c, 0x00FF0000u), 0x00FF0000u);
    EXPECT_FLOAT_EQ(c.z, 1.0f); EXPECT_FLOAT_EQ(c.w, 1.0f);
    EXPECT_EQ(MVE_ReadDefinitionColor(nullptr, nullptr, 0x12345678u), 0x12345678u);

    float r[2] = {9, 9};
    MVE_ReadDefinitionRange(node("Range"), r, 0, 0);
    EXPECT_EQ(r[0], 1.0f); EXPECT_EQ(r[1], 3.0f);
    r[1] = 9;
    MVE_ReadDefinitionRange(node("Half"), r, 0, 0);
    EXPECT_EQ(r[0], 4.0f); EXPECT_EQ(r[1], 9.0f);
    MVE_ReadDefinitionRange(node("Single"), r, 0, 0);
    EXPECT_EQ(r[0], 2.0f); EXPECT_EQ(r[1], 2.0f);
    MVE_ReadDefinitionRange(nullptr, r, 1.5f, MVE_IGNORE_F);
    EXPECT_EQ(r[0], 1.5f); EXPECT_EQ(r[1], 1.5f);
    MVE_ReadDefinitionRange(nullptr, r, 1.0f, 5.0f);
    EXPECT_EQ(r[0], 1.0f); EXPECT_EQ(r[1], 5.0f);
}

TEST_F(DefinitionTest, FindDirectSearchedValueAndFallBack) {
    MVE_DEFINITION_NODE *root = Parse("Texture: Stone { Filter: 2; File: 'stone.png'; }\n"
                                      "Group { Texture: Wood { Filter: 1; }\n"
                                      "        Material: Red { Texture: Inner { Filter: 3; } } }\n");
    auto find = [root](const char *path, const char *value, int fallBack) {
        return MVE_FindDefinitionNode(root, path, value, fallBack);
    };
    ASSERT_NE(find("Texture", "Wood", 0), nullptr);
    EXPECT_EQ(Key(find("Texture", "Wood", 0)), "Texture");
    EXPECT_EQ(Value(find("Texture", "Wood", 0)), "Wood");
    EXPECT_EQ(Value(find("Texture", "Inner", 0)), "Inner");
    EXPECT_EQ(Value(find("Texture", "", 0)), "Stone");            // first in pre-order
    EXPECT_EQ(Value(find("Texture", nullptr, 0)), "Stone");
    EXPECT_EQ(find("Texture", "Nowhere", 0), nullptr);
    EXPECT_EQ(find("Texture", "Nowhere", 1), root);
    EXPECT_EQ(Value(find("\\Texture\\Filter", "", 0)), "2");
    EXPECT_EQ(find("/Texture/File", "", 0), nullptr);               // paths split at backslashes only
    EXPECT_EQ(Value(find("Material\\Texture\\Filter", "", 0)), "3");
    EXPECT_EQ(find("Material/Texture/Filter", "", 0), nullptr);
    EXPECT_EQ(find("\\Material", "", 0), nullptr);                 // direct: children only
    EXPECT_EQ(find("\\Texture", "Wood", 0), nullptr);              // direct: the first Texture only
    EXPECT_EQ(Value(find("\\Texture\\Filter", "2", 0)), "2");
    EXPECT_EQ(find("", "", 0), root);
    // A key may hold a slash (quoted): it is found, since only backslashes split a path.
    MVE_DEFINITION_NODE *slashed = Parse("Group: G { 'Textures/Stone': 7; 'a\\b': 8 }");
    EXPECT_EQ(Value(MVE_FindDefinitionNode(slashed, "Group\\Textures/Stone", "", 0)), "7");
    EXPECT_EQ(Value(MVE_FindDefinitionNode(slashed, "\\Group\\Textures/Stone", "7", 0)), "7");
    EXPECT_EQ(find(nullptr, nullptr, 0), root);
    MVE_DEFINITION_NODE *wood = find("Texture", "Wood", 0);
    EXPECT_EQ(MVE_FindDefinitionNode(wood, "Texture", "", 0), wood); // a section finds itself
    EXPECT_EQ(Value(MVE_FindDefinitionNode(wood, "\\Filter", "", 0)), "1");
    EXPECT_EQ(MVE_FindDefinitionNode(wood, "\\Missing", "", 1), wood);
    EXPECT_EQ(MVE_FindDefinitionNode(nullptr, "Texture", "", 1), nullptr);

    EXPECT_EQ(Value(MVE_GetDefinitionNode(root, 0)), "Stone");
    EXPECT_EQ(Value(MVE_GetDefinitionNode(root, -1)), "Group");
    EXPECT_EQ(MVE_GetDefinitionNode(root, -3), nullptr);
    EXPECT_EQ(MVE_GetDefinitionNode(root, 2), nullptr);
    EXPECT_EQ(MVE_GetDefinitionNode(nullptr, 0), nullptr);
    EXPECT_EQ(Value(MVE_NextDefinitionNode(MVE_GetDefinitionNode(root, 0))), "Group");
    EXPECT_EQ(MVE_NextDefinitionNode(MVE_GetDefinitionNode(root, 1)), nullptr);
    EXPECT_EQ(MVE_NextDefinitionNode(root), nullptr);
}

TEST_F(DefinitionTest, FilesEncodingsFoldersAndPaths) {
    const std::string text = "Name: Caf\xC3\xA9 \xF0\x9F\x98\x80;";   // "Café 😀"
    auto utf16 = [](const std::u16string &s, bool big) {
        std::string out = big ? "\xFE\xFF" : "\xFF\xFE";
        for (char16_t u : s) {
            char hi = (char)(u >> 8), lo = (char)(u & 0xFF);
            out += big ? std::string{hi, lo} : std::string{lo, hi};
        }
        return out;
    };
    const std::u16string wide = u"Name: Caf\u00E9 \U0001F600;";
    WriteFile("utf8bom.mvd", "\xEF\xBB\xBF" + text);
    WriteFile("utf8.mvd", text);
    WriteFile("le.mvd", utf16(wide, false));
    WriteFile("be.mvd", utf16(wide, true));
    WriteFile("latin1.mvd", "Name: Caf\xE9;");
    WriteFile("lone.mvd", utf16(u"Name: a\xD800" u"b\xDC00" u"c;", false) + "x");   // lone surrogates, odd byte
    for (const char *file : {"utf8bom.mvd", "utf8.mvd", "le.mvd", "be.mvd"}) {
        MVE_DEFINITION_NODE *root = MVE_ReadDefinitionFile(file);
        ASSERT_NE(root, nullptr) << file;
        EXPECT_STREQ(MVE_ReadDefinitionString(MVE_FindDefinitionNode(root, "\\Name", "", 0), ""), "Caf\xC3\xA9 \xF0\x9F\x98\x80") << file;
    }
    EXPECT_STREQ(MVE_ReadDefinitionString(MVE_FindDefinitionNode(MVE_ReadDefinitionFile("latin1.mvd"), "\\Name", "", 0), ""), "Caf\xC3\xA9");
    EXPECT_STREQ(MVE_ReadDefinitionString(MVE_FindDefinitionNode(MVE_ReadDefinitionFile("lone.mvd"), "\\Name", "", 0), ""),
              "a\xEF\xBF\xBD" "b\xEF\xBF\xBD" "c");

    // Windows-style paths open; the folder is kept with one '/' and recorded as the file read last.
    WriteFile("defs/sub/x.mvd", "Texture: T { File: 'Textures\\Stone.png'; }");
    MVE_DEFINITION_NODE *root = MVE_ReadDefinitionFile("defs\\sub\\x.mvd");
    ASSERT_NE(root, nullptr);
    MVE_DEFINITION_STATE &d = MVE_Engine().Definition;
    EXPECT_EQ(MVE_GetDefinitionFolder(root), "defs/sub/");
    EXPECT_EQ(d.pLastRoot, root);
    EXPECT_EQ(d.sLastFile, "x.mvd");
    EXPECT_EQ(d.sLastFolder, "defs/sub/");
    MVE_DEFINITION_NODE *file = MVE_FindDefinitionNode(root, "Texture\\File", "", 0);
    EXPECT_EQ(MVE_GetDefinitionFolder(file), "defs/sub/");
    EXPECT_EQ(MVE_GetDefinitionPath(file, MVE_ReadDefinitionString(file, "")), "defs/sub/Textures/Stone.png");
    EXPECT_EQ(MVE_GetDefinitionFolder(nullptr), "");
    EXPECT_EQ(MVE_GetDefinitionFolder(MVE_ParseDefinitionText("", "a\\b\\\\")), "a/b/");

    // A missing file or a folder gives no tree and clears the record of the file read last.
    EXPECT_EQ(MVE_ReadDefinitionFile("missing\\none.mvd"), nullptr);
    EXPECT_EQ(d.pLastRoot, nullptr);
    EXPECT_EQ(d.sLastFile, "none.mvd");
    EXPECT_EQ(d.sLastFailure, "Fail: File not found!");
    EXPECT_EQ(MVE_ReadDefinitionFile("defs"), nullptr);
    EXPECT_EQ(d.sLastFailure, "Fail: File cannot be read!");
    EXPECT_EQ(MVE_ReadDefinitionFile(nullptr), nullptr);
}

TEST_F(DefinitionTest, DispatchByMaskAndNesting) {
    MVE_DEFINITION_NODE *root = Parse("Texture: T1 { Sound: Inside { } }\n"
                                      "Group { Material: M1 { Texture: InMaterial { } } Sound: S1 { File: a.ogg } }\n"
                                      "Texture: T2;\n");
    MVE_LoadDefinitions(root, 15);
    EXPECT_EQ(Loaded(), "T:T1 M:M1 S:S1 T:T2");   // nothing nested in a section is dispatched
    MVE_LoadDefinitions(root, MVE_DEFINITION_TEXTURE);
    EXPECT_EQ(Loaded(), "T:T1 T:T2");              // Material skipped, its inner Texture not searched
    MVE_LoadDefinitions(root, MVE_DEFINITION_SOUND);
    EXPECT_EQ(Loaded(), "S:S1");                   // the Sound inside T1 is never reached
    MVE_LoadDefinitions(root, 4);
    EXPECT_EQ(Loaded(), "");
    MVE_Engine().Definition.pLoadMaterial = nullptr;   // a kind without a loader is skipped
    MVE_LoadDefinitions(root, 15);
    EXPECT_EQ(Loaded(), "T:T1 S:S1 T:T2");
    MVE_LoadDefinitions(nullptr, 15);
}

TEST_F(DefinitionTest, FolderWalkWithAndWithoutPattern) {
    WriteFile("defs/b.mvd", "Texture: TB {}");
    WriteFile("defs/a.MVD", "Material: MA { Texture: Nested {} } Sound: SA {}");
    WriteFile("defs/notes.txt", "Texture: TN {}");
    WriteFile("defs/.hidden.mvd", "Texture: HIDDEN {}");
    WriteFile("defs/sub/c.mvd", "Material: MC {}");
    WriteFile("defs/sub/d.dat", "Sound: SD {}");
    WriteFile("defs/sub/deeper/e.mvd", "Texture: TE {}");
    std::filesystem::create_directory_symlink("..", "defs/sub/loop");   // must not be walked forever
    std::filesystem::path log = OpenLog();

    EXPECT_EQ(MVE_ParseDefinitionFiles("defs\\*.mvd", 15), 0);
    EXPECT_EQ(Loaded(), "M:MA S:SA T:TB");   // first folder only, sorted, case-blind pattern
    MVE_ParseDefinitionFiles("defs", 15);
    EXPECT_EQ(Loaded(), "M:MA S:SA T:TB T:TN M:MC S:SD T:TE");
    MVE_ParseDefinitionFiles("defs/", MVE_DEFINITION_MATERIAL);
    EXPECT_EQ(Loaded(), "M:MA M:MC");
    MVE_ParseDefinitionFiles("defs\\sub\\c.mvd", 15);
    EXPECT_EQ(Loaded(), "M:MC");
    std::filesystem::current_path("defs");
    MVE_ParseDefinitionFiles("*.txt", 15);
    EXPECT_EQ(Loaded(), "T:TN");
    std::filesystem::current_path("..");

    std::string html = mvetest::ReadFile(log);
    EXPECT_NE(html.find("Parse DefinitionFile: defs/a.MVD"), std::string::npos);
    EXPECT_NE(html.find("Parse DefinitionFile: defs/sub/deeper/e.mvd"), std::string::npos);
    EXPECT_NE(html.find("Parse DefinitionFile: defs\\sub\\c.mvd"), std::string::npos);
    EXPECT_NE(html.find("#404040"), std::string::npos);
    EXPECT_EQ(html.find("hidden"), std::string::npos);
    EXPECT_EQ(html.find("Fail"), std::string::npos);
    // One break per call, files and folders: 2 + 1; 6 + 4 (the loop link ends at once); again; 1; 1 + 1.
    EXPECT_EQ(Count(html, "Parse DefinitionFile: "), 2 + 6 + 6 + 1 + 1);
    EXPECT_EQ(Count(html, "<br>"), 3 + 10 + 10 + 1 + 2);

    MVE_ParseDefinitionFiles("defs\\missing.mvd", 15);
    MVE_ParseDefinitionFiles(nullptr, 15);
    EXPECT_EQ(Loaded(), "");
    html = mvetest::ReadFile(log);
    EXPECT_NE(html.find("Parse DefinitionFile: defs\\missing.mvd"), std::string::npos);
    EXPECT_EQ(Count(html, "Fail: File not found!"), 2);
}

TEST_F(DefinitionTest, FreeKeepsTreesConsistent) {
    MVE_DEFINITION_NODE *root = Parse("A: 1; B: 2; A: 3; C { D: 4; A: 5 }");
    MVE_DEFINITION_NODE *first = MVE_FindDefinitionNode(root, "\\A", "", 0);
    EXPECT_EQ(MVE_FreeDefinitionNode(first, 0), root);
    ExpectConsistent(root);
    EXPECT_EQ(Dump(root), "B=2|A=3|=C{D=4|A=5}");
    EXPECT_EQ(Value(MVE_FindDefinitionNode(root, "\\A", "", 0)), "3");   // the next A takes the key
    EXPECT_EQ(Value(MVE_NextDefinitionNode(MVE_GetDefinitionNode(root, 0))), "3");
    MVE_FreeDefinitionNode(MVE_FindDefinitionNode(root, "\\A", "", 0), 0);
    ExpectConsistent(root);
    EXPECT_EQ(MVE_FindDefinitionNode(root, "\\A", "", 0), nullptr);
    EXPECT_EQ(Value(MVE_FindDefinitionNode(root, "A", "", 0)), "5");

    // Whole tree from deep inside: the root leaves the list of roots.
    MVE_DEFINITION_STATE &d = MVE_Engine().Definition;
    size_t roots = d.Roots.size();
    EXPECT_EQ(MVE_FreeDefinitionNode(MVE_FindDefinitionNode(root, "D", "", 0), 1), nullptr);
    EXPECT_EQ(d.Roots.size(), roots - 1);
    EXPECT_EQ(MVE_FreeDefinitionNode(nullptr, 1), nullptr);

    // A tree freed by its loader is no longer the file read last, so freeing that is harmless.
    WriteFile("x.mvd", "A: 1");
    MVE_DEFINITION_NODE *file = MVE_ReadDefinitionFile("x.mvd");
    ASSERT_NE(file, nullptr);
    MVE_FreeDefinitionNode(file, 0);
    EXPECT_EQ(d.pLastRoot, nullptr);
    MVE_FreeDefinition();
    EXPECT_EQ(d.sLastFile, "");
    ASSERT_NE(MVE_ReadDefinitionFile("x.mvd"), nullptr);
    roots = d.Roots.size();
    MVE_FreeDefinition();
    EXPECT_EQ(d.Roots.size(), roots - 1);
    EXPECT_EQ(d.pLastRoot, nullptr);
}

TEST_F(DefinitionTest, HostileInputNeverCrashes) {
    std::filesystem::path log = OpenLog();
    // Nesting beyond the limit skips that block only: what comes before and after it is read,
    // and the tree says it is incomplete.
    const std::string tooDeep = std::string(MVE_DEFINITION_MAX_DEPTH + 5, '{') + "X: 1; 'q}': '}' /* } */ // }\n" +
                                std::string(MVE_DEFINITION_MAX_DEPTH + 5, '}');
    MVE_DEFINITION_NODE *cut = Parse("A: 1;\nOuter {" + tooDeep + " B: 2 }\nC: 3");
    EXPECT_EQ(Value(MVE_FindDefinitionNode(cut, "\\A", "", 0)), "1");
    EXPECT_EQ(Value(MVE_FindDefinitionNode(cut, "\\C", "", 0)), "3");
    EXPECT_EQ(Value(MVE_FindDefinitionNode(cut, "B", "", 0)), "2");
    EXPECT_EQ(MVE_FindDefinitionNode(cut, "X", "", 0), nullptr);
    EXPECT_EQ(MVE_IsDefinitionComplete(cut), 0);
    EXPECT_EQ(MVE_IsDefinitionComplete(Parse("A { B { C: 1 } }")), 1);
    MVE_DEFINITION_NODE *deep = Parse("A: 1;" + std::string(100000, '{'));
    EXPECT_EQ(Value(MVE_GetDefinitionNode(deep, 0)), "1");
    EXPECT_LE(Depth(deep), MVE_DEFINITION_MAX_DEPTH + 1);
    std::string lists;
    for (int i = 0; i < 50000; ++i) lists += "k: 1, {";
    EXPECT_LE(Depth(Parse(lists)), MVE_DEFINITION_MAX_DEPTH + 2);   // a list holds its first item
    EXPECT_EQ(Count(mvetest::ReadFile(log), "Fail: Definition text nested deeper than 1000 levels"), 3);  // once per text
    EXPECT_EQ(DumpText(std::string(100000, '}') + "A: 1"), "A=1");
    MVE_FindDefinitionNode(deep, "Missing", "x", 0);
    MVE_LoadDefinitions(deep, 15);

    // A NUL byte ends a text given in memory.
    EXPECT_EQ(DumpText(std::string("A: 1;\0B: 2;", 11)), "A=1");
    EXPECT_EQ(DumpText(std::string("A: 'x\0'; B: 2;", 14)), "");

    // Random texts made of the syntax's own characters, read through every reader.
    std::mt19937 rng(12345);
    const std::string alphabet = "{}:;,'/*\n\r\t $%.-+ab1\\";
    for (int round = 0; round < 3000; ++round) {
        std::string text(rng() % 120, ' ');
        for (char &ch : text) ch = alphabet[rng() % alphabet.size()];
        MVE_DEFINITION_NODE *root = Parse(text);
        ExpectConsistent(root);
        std::vector<MVE_DEFINITION_NODE *> all{root};
        for (size_t i = 0; i < all.size(); ++i)
            for (MVE_DEFINITION_NODE *c : Kids(all[i])) all.push_back(c);
        v4f v{};
        float r[2];
        for (MVE_DEFINITION_NODE *n : all) {
            MVE_ReadDefinitionInteger(n, 0);
            MVE_ReadDefinitionFloat(n, 0);
            MVE_ReadDefinitionVector(n, &v, 0, 0, 0, 0);
            MVE_ReadDefinitionColor(n, nullptr, 0);
            MVE_ReadDefinitionRange(n, r, 0, 0);
            MVE_FindDefinitionNode(root, MVE_GetDefinitionKey(n), MVE_GetDefinitionValue(n), 0);
        }
        MVE_LoadDefinitions(root, 15);
        if (all.size() > 1) MVE_FreeDefinitionNode(all[1 + rng() % (all.size() - 1)], 0);
        ExpectConsistent(root);
        MVE_FreeDefinitionNode(root, 1);
    }

    // Random bytes are no definition file: refused with the line where they start.
    const std::filesystem::path noise = std::filesystem::path(MVE_TEST_CORPUS) / "misc" / "nonsense.bin";
    MVE_REQUIRE_CORPUS_FILE(noise);
    EXPECT_EQ(MVE_ReadDefinitionFile(noise.c_str()), nullptr);
    EXPECT_EQ(MVE_Engine().Definition.sLastFailure.rfind("Fail: Line ", 0), 0u);
    std::string bytes = mvetest::ReadFile(noise);
    for (size_t at = 0; at + 4096 <= bytes.size(); at += 4096) ExpectConsistent(Parse(bytes.substr(at, 4096)));
    MVE_ParseDefinitionFiles(noise.c_str(), 15);
}

// A list-heavy file costs a few dozen bytes per item beyond its text, not a few hundred.
TEST_F(DefinitionTest, CompactTreesOfLongLists) {
    std::string text = "Mesh: M {\n Vertices: {\n";
    const int lines = 100000;
    for (int i = 0; i < lines; ++i) text += "  " + std::to_string(i) + ".5, -1.25, " + std::to_string(i % 7) + "\n";
    text += " }\n}\n";
    WriteFile("long.mvm", text);
    struct mallinfo2 before = mallinfo2();
    MVE_DEFINITION_NODE *root = MVE_ReadDefinitionFile("long.mvm");
    struct mallinfo2 after = mallinfo2();
    ASSERT_NE(root, nullptr);
    MVE_DEFINITION_NODE *list = MVE_FindDefinitionNode(root, "Vertices", "", 0);
    ASSERT_EQ(MVE_CountDefinitionNodes(list, ""), lines);
    const double used = (double)(after.uordblks + after.hblkhd) - (double)(before.uordblks + before.hblkhd);
    const double perNode = (used - (double)text.size()) / (lines * 4.0);   // a list node and three items per line
    EXPECT_LT(perNode, 32.0) << used << " bytes for " << text.size() << " bytes of text";
    // Everything still reads: by position from the far end, by walking, by value.
    v4f v{};
    MVE_ReadDefinitionVector(MVE_GetDefinitionNode(list, -1), &v, 0, 0, 0, MVE_IGNORE_F);
    EXPECT_EQ(v.x, lines - 0.5f);
    EXPECT_EQ(v.y, -1.25f);
    EXPECT_EQ(v.z, (float)((lines - 1) % 7));
    EXPECT_STREQ(MVE_GetDefinitionValue(MVE_GetDefinitionNode(list, 2)), "2.5, -1.25, 2");
    EXPECT_STREQ(MVE_GetDefinitionKey(MVE_FindDefinitionNode(root, "\\Mesh", "", 0)), "Mesh");
    MVE_FreeDefinitionNode(root, 1);
}
