// The HTML log ("MVE LogFile.html"): the engine's diagnostic channel.
// Owns the log file, the section depth and the optional columns. Any thread may write; rows are
// serialised by a lock and every write is flushed, so the file is complete if the process dies.
#pragma once
#include <cstdio>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

struct MVE_LOG_STATE {
    FILE *pFile = nullptr;   // null while no log is open: writes are discarded
    int iHeadFlag = 0;       // 0 = the HTML head was written
    int iDepth = 0;          // section nesting depth
    int iColumns = 0;        // 1 time, 2 source file, 4 procedure, 8 source line
    std::mutex Lock;
    std::mutex UnknownLock;  // guards Unknown (any thread may look up a wrong ID)
    std::set<std::pair<const void *, int>> Unknown;  // (procedure, ID) pairs already reported
};

// Colours of the engine's row kinds (0xAABBGGRR).
enum : uint32_t {
    MVE_LOG_HEADING = 0x404040,
    MVE_LOG_OK = 0xFF00FF11,
    MVE_LOG_FAIL = 0xFF0000FF,
    MVE_LOG_NOTICE = 0xFFFF0000,
    MVE_LOG_DETAIL = 0xFF545454,
    MVE_LOG_PLAIN = 0,
};

// "#RRGGBB" of an engine colour (alpha dropped).
std::string MVE_LogHtmlColor(uint32_t color);

// Shorthands for the row kinds every loader writes.
void MVE_LogHeading(const std::string &message, int line, const char *file, const char *procedure);
void MVE_LogOK(const char *procedure);
void MVE_LogFail(const std::string &message, const char *procedure);
void MVE_LogNotice(const std::string &message, const char *procedure);
void MVE_LogDetail(const std::string &message, long long count, const char *procedure);
// "Fail: No <kind> with this ID! (<id>)": the red row of a procedure given an ID that designates
// nothing. Written once per procedure and ID, so a program that repeats the mistake every frame
// does not bury the log under copies of it.
void MVE_LogUnknownID(const char *kind, int id, const char *procedure);

// While one is open, the rows this thread writes are collected here instead of written (sections and
// breaks are dropped): a live reload runs a loader and sums its rows up in one. Other threads write on.
struct MVE_LOG_CAPTURE {
    std::vector<std::pair<uint32_t, std::string>> Rows;   // (colour, text) in order
    MVE_LOG_CAPTURE();
    ~MVE_LOG_CAPTURE();
    MVE_LOG_CAPTURE(const MVE_LOG_CAPTURE &) = delete;
    MVE_LOG_CAPTURE &operator=(const MVE_LOG_CAPTURE &) = delete;
    MVE_LOG_CAPTURE *pOuter = nullptr;
};
