// The API reference builder's readers on texts made for them: which red rows a source writes under
// which procedure (through helpers, locals and choices), how the header falls into areas and
// entries, and what the notes are held to. The committed reference itself is checked by the test
// Docs.ApiReferenceMatchesHeader.
#include "ApiDoc.h"
#include <gtest/gtest.h>
#include <algorithm>

using namespace apidoc;

namespace {

const std::string E = kEllipsis;

// A header with a constant, the thing's lookup helper that reports under its caller's name, a
// refusal that takes its reason, a stage whose label depends on a constant its caller passes, and
// a procedure whose failure text is held in locals.
const std::vector<std::pair<std::string, std::string>> kSources = {
    {"Source/Thing/Thing.h", R"SRC(
inline constexpr const char *MVE_FAIL_THING =
    "Fail: Thing not found!";
)SRC"},
    {"Source/Thing/Thing.cpp", R"SRC(
#include "Thing/Thing.h"
namespace {
constexpr const char *kProcedure = "MVE_LoadThing";
MVE_THING *Resolve(int id, const char *procedure) {
    MVE_THING *t = Find(id);
    if (!t) MVE_LogFail("Fail: Thing " + std::to_string(id) + " not found!", procedure);
    return t;
}
int Refuse(const std::string &message) {
    MVE_LogFail(message, "MVE_OpenThing");
    return 0;
}
int Stage(int id, int type, const char *procedure) {
    const char *label = type == KIND_A ? " [A]: " : " [B]: ";
    bool ok = Compile(id);
    MVE_Log((std::string("Stage") + label + Why()).c_str(), ok ? MVE_LOG_HEADING : MVE_LOG_FAIL, 0, 0, "", procedure);
    return Resolve(id, procedure) != nullptr;
}
}  // namespace
extern "C" int MVE_MoveThing(int id) { return Resolve(id, "MVE_MoveThing") ? 1 : 0; }
extern "C" int MVE_StageA(int id) { return Stage(id, KIND_A, "MVE_StageA"); }
extern "C" int MVE_OpenThing(int w, int a, int b) {
    if (w < 0) return Refuse("Fail: Width " + std::to_string(w) + " is negative!");
    std::string failure;
    if (a) failure = "Fail: A!";
    else if (b) failure = MVE_FAIL_THING;
    if (!failure.empty()) {
        MVE_LogFail(failure, "MVE_OpenThing");   // "(" and ")" in texts are no brackets: ")"
        return 0;
    }
    failure = "Fail: Late!";
    state.sError = "gone";
    state.sError = "broken (" + std::to_string(w) + ")";
    MVE_LogFail("Fail: " + state.sError + "!", "MVE_OpenThing");
    MVE_LogFail(Compute(), "MVE_OpenThing");
    MVE_LogNotice("Info: Not red!", "MVE_OpenThing");
    MVE_Log("Not red either", MVE_LOG_OK, 0, 0, "", "MVE_OpenThing");
    return 1;
}
extern "C" int MVE_LoadThing(const char *file) {
    MVE_LogFail(MVE_FAIL_THING, kProcedure);
    return Resolve(1, kProcedure) ? 1 : 0;
}
)SRC"},
};

std::vector<std::string> RowsOf(const ApiSourceFacts &facts, const std::string &procedure) {
    std::vector<std::string> out;
    auto it = facts.Rows.find(procedure);
    if (it != facts.Rows.end())
        for (const ApiRow &r : it->second) out.push_back(r.sText);
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<std::string> Rows(std::vector<std::string> rows) {
    std::sort(rows.begin(), rows.end());
    return rows;
}

// "Source/Thing/Thing.cpp:LINE" of the first line of a source that holds the text.
std::string WhereIs(const std::string &text) {
    const std::string &source = kSources[1].second;
    const size_t at = source.find(text);
    return kSources[1].first + ":" + std::to_string(1 + std::count(source.begin(), source.begin() + at, '\n'));
}

}  // namespace

TEST(ApiDoc, RowsFollowHelpersLocalsAndChoices) {
    const ApiSourceFacts facts = ScanSources(kSources);
    // A helper's row lands under the name its caller passes, with the number left open.
    EXPECT_EQ(RowsOf(facts, "MVE_MoveThing"), Rows({"Fail: Thing " + E + " not found!"}));
    // The caller's constant decides the label; the row is red only on the failing branch, but red.
    EXPECT_EQ(RowsOf(facts, "MVE_StageA"), Rows({"Fail: Thing " + E + " not found!", "Stage [A]: " + E}));
    // A reason passed to a refusal, locals assigned before the row (never after it), the last
    // assignment that always runs, a constant of a header; notices and green rows are no failures.
    EXPECT_EQ(RowsOf(facts, "MVE_OpenThing"),
              Rows({"Fail: A!", "Fail: Thing not found!", "Fail: Width " + E + " is negative!",
                    "Fail: broken (" + E + ")!"}));
    // A file-level name for the procedure, and a constant split over lines.
    EXPECT_EQ(RowsOf(facts, "MVE_LoadThing"), Rows({"Fail: Thing " + E + " not found!", "Fail: Thing not found!"}));
    // Helpers are no procedures of their own; a text made elsewhere is named, not guessed.
    EXPECT_TRUE(RowsOf(facts, "Resolve").empty());
    ASSERT_EQ(facts.Computed.count("MVE_OpenThing"), 1u);
    EXPECT_EQ(facts.Computed.at("MVE_OpenThing")[0], WhereIs("Compute()"));
    EXPECT_EQ(facts.Computed.count("MVE_MoveThing"), 0u);
}

namespace {

const char *const kHeader = R"SRC(/* Thing library.
 * Second line. */
#ifndef THING_H
#define THING_H
/* ---------------------------------------------------------------- Things (a note)
 * More about things. */
#define T_A   1            /* flags of MVE_MakeThing */
#define T_B   2

#define T_C   (-3)
typedef struct pt { float x, y; } pt;   /* a point */
typedef int (*CB)(int a, int b);         /* called back */
int   MVE_MakeThing(int id, const char *name); /* makes a thing */
pt   *MVE_GetPoint(pt *out, const float v[2]);
      /* continued comment
         over two lines */
/* A paragraph of its own. */
void  MVE_Free(void);                    /* frees */
void  MVE_Quiet(int id);

/* ---------------------------------------------------------------- Other */
int   MVE_Count(void);                   /* how many */
#endif
)SRC";

}  // namespace

TEST(ApiDoc, HeaderFallsIntoAreasEntriesAndTables) {
    std::vector<std::string> problems;
    const ApiHeader h = ParseHeader(kHeader, problems);
    EXPECT_TRUE(problems.empty()) << problems[0];
    EXPECT_EQ(h.sIntro, "Thing library. Second line.");
    ASSERT_EQ(h.Areas.size(), 2u);
    EXPECT_EQ(h.Areas[0].sTitle, "Things");
    EXPECT_EQ(h.Areas[0].sNote, "a note. More about things.");
    EXPECT_EQ(h.Areas[1].sTitle, "Other");
    const std::vector<ApiItem> &items = h.Areas[0].Items;
    std::vector<std::string> names;
    for (const ApiItem &i : items) names.push_back(i.sName);
    EXPECT_EQ(names, std::vector<std::string>({"T_A", "T_B", "T_C", "pt", "CB", "MVE_MakeThing", "MVE_GetPoint", "",
                                               "MVE_Free", "MVE_Quiet"}));
    // A blank line starts a new table of constants.
    EXPECT_TRUE(items[0].bGroupStart);
    EXPECT_FALSE(items[1].bGroupStart);
    EXPECT_TRUE(items[2].bGroupStart);
    EXPECT_EQ(items[2].sCode, "(-3)");
    EXPECT_EQ(items[3].sCode, "typedef struct pt { float x, y; } pt;");
    EXPECT_EQ(items[4].sComment, "called back");
    EXPECT_EQ(items[5].sCode, "int MVE_MakeThing(int id, const char *name)");
    ASSERT_EQ(items[5].Params.size(), 2u);
    EXPECT_EQ(items[5].Params[1].sName, "name");
    EXPECT_EQ(items[6].sReturn, "pt *");
    EXPECT_EQ(items[6].sCode, "pt *MVE_GetPoint(pt *out, const float v[2])");
    EXPECT_EQ(items[6].Params[1].sName, "v");
    EXPECT_EQ(items[6].sComment, "continued comment over two lines");
    EXPECT_EQ(items[7].eKind, ApiItem::Paragraph);
    EXPECT_EQ(items[8].sCode, "void MVE_Free(void)");
    EXPECT_TRUE(items[9].sComment.empty());
}

TEST(ApiDoc, NotesAreHeldToTheHeaderAndTheSources) {
    std::vector<std::string> problems, missing;
    ApiInputs in;
    in.Header = ParseHeader(kHeader, problems);
    ASSERT_TRUE(problems.empty());
    in.Facts = ScanSources({{"Source/T.cpp", R"SRC(
extern "C" void MVE_Quiet(int id) { if (id < 0) MVE_LogFail("Fail: Line " + std::to_string(id) + ": " + "bad!", "MVE_Quiet"); }
)SRC"}});
    in.Notes = ParseNotes(R"SRC(# comment
[MVE_MakeThing]
param nme: misspelt
returns: the thing's handle,
 0 on failure
fails: "Fail: Never written!"
fails: "Fail: Line ...: bad!"
include: @missing
[MVE_Free]
returns: nothing at all
[MVE_Quiet]
text: Quiet.
fails: none
[MVE_Gone]
text: gone from the header
[@unused]
fails: "Fail: Line ...: bad!"
)SRC",
                          problems);
    ASSERT_TRUE(problems.empty()) << problems[0];
    const std::string md = BuildReference(in, problems, missing);
    auto has = [&](const std::string &text) {
        return std::any_of(problems.begin(), problems.end(), [&](const std::string &p) { return p.find(text) != std::string::npos; });
    };
    EXPECT_TRUE(has("docs/api-notes.txt:2: [MVE_MakeThing] has no parameter \"nme\""));
    EXPECT_TRUE(has("docs/api-notes.txt:6: [MVE_MakeThing] the engine's sources write no row \"Fail: Never written!\""));
    EXPECT_FALSE(has("bad!\" ("));  // a row put together from several texts is found
    EXPECT_TRUE(has("[MVE_MakeThing] includes \"@missing\""));
    EXPECT_TRUE(has("[MVE_Free] returns nothing in Include/MVE.h"));
    EXPECT_TRUE(has("[MVE_Quiet] says fails: none, but Source/T.cpp:2 writes \"Fail: Line " + E + ": bad!\""));
    EXPECT_TRUE(has("[MVE_Gone] names nothing in Include/MVE.h"));
    EXPECT_TRUE(has("[@unused] is included by no entry"));
    EXPECT_EQ(problems.size(), 7u);
    // What the header line leaves open must come from the notes: said as the lines to add.
    ASSERT_EQ(missing.size(), 4u);
    EXPECT_EQ(missing[0], "[T_B]   # Include/MVE.h:8\ntext: <what it does; its header line has no comment>");
    EXPECT_NE(missing[1].find("[T_C]   # Include/MVE.h:10\ntext: "), std::string::npos);
    EXPECT_NE(missing[2].find("[MVE_GetPoint]"), std::string::npos);
    EXPECT_NE(missing[2].find("\nreturns: "), std::string::npos);
    EXPECT_NE(missing[3].find("[MVE_Count]   # Include/MVE.h:22\nreturns: "), std::string::npos);
    // The entry as a reader sees it: signature, description, the notes' result and rows, links.
    EXPECT_NE(md.find("### MVE_MakeThing\n\n`int MVE_MakeThing(int id, const char *name)`\n\nmakes a thing\n\n"
                      "- **Returns:** the thing's handle, 0 on failure\n- **Fails:**\n  - `Fail: Never written!`\n"
                      "  - `Fail: Line " + E + ": bad!`\n"),
              std::string::npos)
        << md;
    EXPECT_NE(md.find("| `T_A` | `1` | flags of [`MVE_MakeThing`](#mve_makething) |\n| `T_B` | `2` |  |\n\n"
                      "| Constant | Value | Meaning |"),
              std::string::npos);
    EXPECT_NE(md.find("- [Things](#things) (4 procedures)\n- [Other](#other) (1 procedure)"), std::string::npos);
}
