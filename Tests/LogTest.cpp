#include "TestSupport.h"
#include <regex>

using mvetest::EngineTest;
using LogTest = EngineTest;

TEST_F(LogTest, FileStartsWithMarkHeadAndBanner) {
    MVE_Init();
    MVE_Quit();
    std::string text = mvetest::ReadFile("MVE LogFile.html");
    ASSERT_GE(text.size(), 3u);
    EXPECT_EQ(text.substr(0, 3), "\xEF\xBB\xBF");
    size_t lineEnd = text.find("\r\n");
    ASSERT_NE(lineEnd, std::string::npos);
    EXPECT_EQ(text.substr(3, 6), "<html>");
    EXPECT_EQ(text.substr(lineEnd - 13, 13), "<body><table>");
    std::string rest = text.substr(lineEnd + 2);
    EXPECT_EQ(rest.find("</table><big style='color:#51BC31;font-size:14px;'>[MVE] Morvek Engine</big><blockquote><table>"), 0u);
    EXPECT_NE(rest.find("<tr><td></td><td></td><td></td><td colspan=2><i style='color:#000000;'>0.3.0.g (2014-12-14)</i></td></tr>"),
              std::string::npos);
    EXPECT_NE(rest.find("<big style='color:#FBBE00;font-size:12px;'>Program</big>"), std::string::npos);
    // Only the head line is followed by a line break.
    EXPECT_EQ(rest.find('\n'), std::string::npos);
}

TEST_F(LogTest, RowsWithEveryColumnCombination) {
    OpenLog(10);
    MVE_Log("OK", 0xFF00FF11, 0, 0, "", "X");
    MVE_Log("msg", 0xFF0000FF, 12, 0, "C:\\src\\dir/File.cpp", "Proc");
    MVE_SetLogColumns(15);
    MVE_Log("m", 0xFFFF0000, 7, 0, "a\\b.cpp", "P");
    MVE_SetLogColumns(0);
    MVE_Log("<b>&", 0, 0, 0, "", "");
    std::string t = LogText();
    EXPECT_NE(t.find("<tr><td></td><td></td><td></td><td colspan=2><i style='color:#11FF00;'>OK</i></td></tr>"
                     "<tr><td></td><td>File.cpp</td><td>12</td><td colspan=2><i style='color:#FF0000;'>msg</i></td></tr>"),
              std::string::npos);
    std::regex full("<tr><td></td><td>[0-2][0-9]:[0-5][0-9]:[0-5][0-9]</td><td>b.cpp</td><td>P</td><td>7</td>"
                    "<td colspan=2><i style='color:#0000FF;'>m</i></td></tr>");
    EXPECT_TRUE(std::regex_search(t, full));
    EXPECT_NE(t.find("<tr><td></td><td colspan=2><i style='color:#000000;'><b>&</i></td></tr>"), std::string::npos);
}

TEST_F(LogTest, ColourConversionDropsAlphaAndSwapsRedAndBlue) {
    EXPECT_EQ(MVE_LogHtmlColor(0xFF0000FF), "#FF0000");
    EXPECT_EQ(MVE_LogHtmlColor(0xFFFF0000), "#0000FF");
    EXPECT_EQ(MVE_LogHtmlColor(0), "#000000");
    EXPECT_EQ(MVE_LogHtmlColor(0xFF31BC51), "#51BC31");
    EXPECT_EQ(MVE_LogHtmlColor(0x404040), "#404040");
    EXPECT_EQ(MVE_LogHtmlColor(0xBEFB), "#FBBE00");
}

TEST_F(LogTest, SectionSizesAreNotClamped) {
    OpenLog();
    for (int i = 0; i < 9; ++i) MVE_LogSection("S", 0xD06600);
    MVE_LogSectionEnd();
    std::string t = LogText();
    EXPECT_NE(t.find("<big style='color:#0066D0;font-size:14px;'>S</big>"), std::string::npos);
    EXPECT_NE(t.find("font-size:0px;'>S</big>"), std::string::npos);
    EXPECT_NE(t.find("font-size:-2px;'>S</big><blockquote><table></table></blockquote><table><br>"), std::string::npos);
}

TEST_F(LogTest, UnopenableLogDiscardsWritesAndKeepsRunning) {
    EXPECT_EQ(MVE_OpenLogFile("no/such/folder/log.html", 0, 1), 0);
    MVE_Log("lost", 0, 0, 0, "", "");
    MVE_LogSection("lost", 0);
    MVE_LogSectionEnd();
    MVE_LogBreak();
    EXPECT_FALSE(std::filesystem::exists("no/such/folder/log.html"));
}

TEST_F(LogTest, AppendModeKeepsEarlierText) {
    MVE_OpenLogFile("a.html", 1, 1);
    MVE_Log("first", 0, 0, 0, "", "");
    MVE_OpenLogFile("a.html", 1, 0);
    MVE_Log("second", 0, 0, 0, "", "");
    MVE_CloseLogFile();
    std::string t = mvetest::ReadFile("a.html");
    EXPECT_LT(t.find("first"), t.find("second"));
    // Rows are on disk as soon as they are written (no buffering across calls).
    MVE_OpenLogFile("b.html", 1, 1);
    MVE_Log("now", 0, 0, 0, "", "");
    EXPECT_NE(mvetest::ReadFile("b.html").find("now"), std::string::npos);
}
