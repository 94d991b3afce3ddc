// The log as people read it: opened in a real browser (headless Chromium), every section title and
// row text shows, in order, and none of the markup shows as text. Skipped only where no browser
// is installed.
#include "TestSupport.h"
#include <cstdio>
#include <regex>

using mvetest::EngineTest;
using LogBrowserTest = EngineTest;

namespace {
std::string FindBrowser() {
    for (const char *candidate : {"/usr/bin/chromium", "/usr/bin/chromium-browser", "/usr/bin/google-chrome"})
        if (std::filesystem::exists(candidate)) return candidate;
    return "";
}

std::string RunCommand(const std::string &command) {
    std::string out;
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
    return out;
}

// The text a reader sees: tags dropped, the few entities the browser writes decoded.
std::string VisibleText(const std::string &dom) {
    std::string text = std::regex_replace(dom, std::regex("<[^>]*>"), "\n");
    text = std::regex_replace(text, std::regex("&amp;"), "&");
    return text;
}
}  // namespace

TEST_F(LogBrowserTest, EverySectionAndRowShowsInOrder) {
    const std::string browser = FindBrowser();
    if (browser.empty()) GTEST_SKIP() << "no Chromium installed (scripts/test.sh installs Debian's chromium)";

    MVE_OpenLogFile("MVE LogFile.html", 0, 1);
    MVE_SetLogColumns(15);
    MVE_LogSection("Outer Section", 0xFF31BC51);
    MVE_Log("First row, green", 0xFF00FF00, 10, 0, "Source/Outer.cpp", "MVE_Outer");
    MVE_LogSection("Middle Section", 0xBEFB);
    MVE_Log("Second row, blue notice", 0xFFFF0000, 20, 0, "Middle.cpp", "MVE_Middle");
    MVE_LogSection("Inner Section", 0xFF808080);
    MVE_Log("Fail: Third row, red failure!", 0xFF0000FF, 30, 0, "Inner.cpp", "MVE_Inner");
    MVE_SetLogColumns(0);
    MVE_Log("Fourth row without columns", 0, 0, 0, "", "");
    MVE_LogSectionEnd();
    MVE_Log("Fifth row, back in the middle", 0, 0, 0, "", "");
    MVE_LogSectionEnd();
    MVE_LogBreak();
    MVE_Log("Sixth row, back outside", 0xFF00FF00, 0, 0, "", "");
    MVE_LogSectionEnd();
    MVE_CloseLogFile();

    const std::string page = (dir_ / "MVE LogFile.html").string();
    const std::string dom = RunCommand("'" + browser + "' --headless --no-sandbox --disable-gpu --disable-dev-shm-usage "
                                "--user-data-dir='" + (dir_ / "profile").string() + "' --dump-dom 'file://" + page +
                                "' 2>/dev/null");
    ASSERT_NE(dom.find("<body"), std::string::npos) << "the browser printed no page:\n" << dom;

    // Markup that leaked into the text would come back escaped.
    EXPECT_EQ(dom.find("&lt;"), std::string::npos) << dom;
    const std::string text = VisibleText(dom);
    for (const char *leak : {"colspan", "style=", "<td", "<tr", "<i "}) EXPECT_EQ(text.find(leak), std::string::npos) << leak;

    size_t at = 0;
    for (const char *expected : {"Outer Section", "MVE_Outer", "First row, green", "Middle Section", "Second row, blue notice",
                                 "Inner Section", "MVE_Inner", "Fail: Third row, red failure!", "Fourth row without columns",
                                 "Fifth row, back in the middle", "Sixth row, back outside"}) {
        const size_t found = text.find(expected, at);
        ASSERT_NE(found, std::string::npos) << "\"" << expected << "\" missing or out of order in:\n" << text;
        at = found + 1;
    }
    // The failure is red on the page, not only in the file.
    EXPECT_TRUE(std::regex_search(dom, std::regex("color: ?(#FF0000|rgb\\(255, 0, 0\\));?\"?'?>Fail: Third row")))
        << "the red row lost its colour";
}
