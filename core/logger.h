// CLogger: the co-installer's plain-text log in the temporary folder, and LogLastError.
// Portable logic.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "platform/all.h"
#include "platform/scoped.h"

// A log file in the temporary folder of the account. Lines are written as Windows' C runtime
// writes text mode ("\n" reaches the file as CR LF), every line is flushed when written, and a file
// grown beyond 51200 bytes is cut back to its last 51200 bytes when a logger opens it. A logger
// whose file did not open is silent: every call does nothing and answers 0 or false. A log is
// opened append-only, so that Windows puts every write of every process's logger at the end of the
// file and no two writers overwrite each other's lines. When another process holds the log open,
// the cut copy cannot take its place: the logger then appends to the whole, uncut log.
//
// Other users may create files in the temporary folder, so the logger never follows a link planted
// under a log's name: a log or partner that is a symbolic link, a junction or a folder, or has a
// second name (a hard link), is refused (the logger is then silent), and the rotation deletes a
// partner name's link itself, creates the partner only as a new file and puts it in the log's
// place through its own handle.
class CLogger {
public:
    static constexpr long kMaxLogSize = 51200;

    explicit CLogger(const char* fileName);
    virtual ~CLogger();
    CLogger(const CLogger&) = delete;
    CLogger& operator=(const CLogger&) = delete;

    // Formats like printf, writes the text and a line end, flushes; answers the formatted length.
    int Print(const char* format, ...)
#ifdef __GNUC__
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    bool WriteLine(const char* text);
    // The text and a tab, without line end or flush.
    bool WriteLabel(const char* text);
    // The text alone, without line end or flush.
    bool Write(const char* text);
    // "HH:MM:SS\tMM/DD/YY\t" and a line end, from the local clock.
    bool WriteTimestamp();

    bool IsOpen() const { return static_cast<bool>(m_File); }
    const std::string& Path() const { return m_Path; }

private:
    bool WriteText(std::string_view text, bool flush);
    void Rotate();

    plat::ScopedStream m_File;
    std::string m_Path;
};

// The path of the rotation partner: the path without its last four characters, then "2.log".
std::string RotationPartnerPath(const std::string& path);

// The full path in the native form that a new name given through a file handle takes, which the
// rotation gives the partner: "\??\" before a drive path or in place of the "\\?\" or "\\.\" of
// one, "\??\UNC\" in place of a network path's leading "\\"; empty for a relative path, which
// has no such form.
std::string NativePath(const std::string& path);

// Logs "<name> failed with error <code>: <system text>" for the thread's last error; the message
// text is queried and freed even when pLogger is null.
void LogLastError(const char* functionName, CLogger* pLogger);
