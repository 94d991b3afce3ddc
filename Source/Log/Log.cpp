// The HTML log. Writers: every module, on any thread (the lock keeps rows whole).
// Nothing here may fail loudly: a log that cannot be written is simply discarded.
#include "Log/Log.h"
#include "Core/Engine.h"
#include "MVE.h"
#include <ctime>

static MVE_LOG_STATE &L() { return MVE_Engine().Log; }

static thread_local MVE_LOG_CAPTURE *t_capture = nullptr;

MVE_LOG_CAPTURE::MVE_LOG_CAPTURE() : pOuter(t_capture) { t_capture = this; }
MVE_LOG_CAPTURE::~MVE_LOG_CAPTURE() { t_capture = pOuter; }

static const char *kHead =
    "<html><head><style>body,td,pre{font:12px Verdana;margin:0px;} big{font:bold 14px Verdana; display:block; "
    "margin: 8px; } th{font:bold 12px Verdana;border-bottom:solid 1px #C0C0C0;} td,th{ vertical-align:top; "
    "padding:3px 6px;} table{border-collapse:collapse;} i{color:#404040;} blockquote{margin:0px 16px;}"
    "</style></head><body><table>";

// Caller holds the lock.
static void WriteLocked(const std::string &text) {
    MVE_LOG_STATE &l = L();
    if (!l.pFile) return;
    fwrite(text.data(), 1, text.size(), l.pFile);
    fflush(l.pFile);
}

std::string MVE_LogHtmlColor(uint32_t c) {
    uint32_t value = (c & 0xFF00u) | ((c & 0xFFu) << 16) | ((c & 0xFF0000u) >> 16);
    char buf[16];
    snprintf(buf, sizeof buf, "#%06X", value);
    return buf;
}

extern "C" int MVE_OpenLogFile(const char *file, int headFlag, int create) {
    MVE_LOG_STATE &l = L();
    std::lock_guard<std::mutex> lock(l.Lock);
    if (l.pFile) {
        fclose(l.pFile);
        l.pFile = nullptr;
    }
    if (!file) return 0;
    FILE *f = fopen(file, create ? "wb" : "ab");
    if (!f) return 0;
    l.pFile = f;
    l.iHeadFlag = headFlag;
    l.iColumns = 9;
    WriteLocked("\xEF\xBB\xBF");
    if (headFlag == 0) WriteLocked(std::string(kHead) + "\r\n");
    return 1;
}

extern "C" void MVE_CloseLogFile(void) {
    MVE_LOG_STATE &l = L();
    std::lock_guard<std::mutex> lock(l.Lock);
    if (l.pFile) fclose(l.pFile);
    l.pFile = nullptr;
}

extern "C" void MVE_SetLogColumns(int mask) {
    MVE_LOG_STATE &l = L();
    std::lock_guard<std::mutex> lock(l.Lock);
    l.iColumns = mask;
    if (l.pFile) fflush(l.pFile);
}

extern "C" void MVE_LogSection(const char *title, uint32_t color) {
    if (t_capture) return;
    MVE_LOG_STATE &l = L();
    std::lock_guard<std::mutex> lock(l.Lock);
    l.iDepth += 1;
    WriteLocked("</table><big style='color:" + MVE_LogHtmlColor(color) + ";font-size:" +
                std::to_string(16 - 2 * l.iDepth) + "px;'>" + (title ? title : "") + "</big><blockquote><table>");
}

extern "C" void MVE_LogSectionEnd(void) {
    if (t_capture) return;
    MVE_LOG_STATE &l = L();
    std::lock_guard<std::mutex> lock(l.Lock);
    l.iDepth -= 1;
    WriteLocked("</table></blockquote><table><br>");
}

extern "C" void MVE_LogBreak(void) {
    if (t_capture) return;
    MVE_LOG_STATE &l = L();
    std::lock_guard<std::mutex> lock(l.Lock);
    WriteLocked("<br>");
}

static std::string FilePart(const char *path) {
    if (!path) return "";
    std::string p(path);
    size_t cut = p.find_last_of("/\\");
    return cut == std::string::npos ? p : p.substr(cut + 1);
}

extern "C" void MVE_Log(const char *message, uint32_t color, int line, int, const char *file, const char *procedure) {
    if (t_capture) {
        t_capture->Rows.emplace_back(color, message ? message : "");
        return;
    }
    MVE_LOG_STATE &l = L();
    std::lock_guard<std::mutex> lock(l.Lock);
    if (!l.pFile) return;
    std::string row = "<tr><td></td>";
    if (l.iColumns & 1) {
        time_t now = time(nullptr);
        struct tm t;
        localtime_r(&now, &t);
        char buf[16];
        snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.tm_hour, t.tm_min, t.tm_sec);
        row += std::string("<td>") + buf + "</td>";
    }
    if (l.iColumns & 2) row += "<td>" + FilePart(file) + "</td>";
    if (l.iColumns & 4) row += std::string("<td>") + (procedure ? procedure : "") + "</td>";
    if (l.iColumns & 8) row += line ? "<td>" + std::to_string(line) + "</td>" : std::string("<td></td>");
    row += "<td colspan=2><i style='color:" + MVE_LogHtmlColor(color) + ";'>" + (message ? message : "") + "</i></td></tr>";
    WriteLocked(row);
}

void MVE_LogHeading(const std::string &message, int line, const char *file, const char *procedure) {
    MVE_Log(message.c_str(), MVE_LOG_HEADING, line, 0, file, procedure);
}
void MVE_LogOK(const char *procedure) { MVE_Log("OK", MVE_LOG_OK, 0, 0, "", procedure); }
void MVE_LogFail(const std::string &message, const char *procedure) {
    MVE_Log(message.c_str(), MVE_LOG_FAIL, 0, 0, "", procedure);
}
void MVE_LogUnknownID(const char *kind, int id, const char *procedure) {
    MVE_LOG_STATE &log = MVE_Engine().Log;
    {
        std::lock_guard<std::mutex> guard(log.UnknownLock);
        // Procedure names are literals: their address tells them apart.
        if (log.Unknown.size() >= 4096) log.Unknown.clear();
        if (!log.Unknown.insert({procedure, id}).second) return;
    }
    MVE_LogFail(std::string("Fail: No ") + kind + " with this ID! (" + std::to_string(id) + ")", procedure);
}
void MVE_LogNotice(const std::string &message, const char *procedure) {
    MVE_Log(message.c_str(), MVE_LOG_NOTICE, 0, 0, "", procedure);
}
void MVE_LogDetail(const std::string &message, long long count, const char *procedure) {
    MVE_Log((message + std::to_string(count)).c_str(), MVE_LOG_DETAIL, 0, 0, "", procedure);
}
