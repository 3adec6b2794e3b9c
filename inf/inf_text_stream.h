// CInfTextStream: a driver INF read line by line as Windows' C runtime reads a file in text mode
// (CR LF becomes LF, Ctrl-Z ends the file), through the seam's C runtime streams, so that the
// lines are the same on every backend. Portable logic.
#pragma once

#include <cstdio>
#include <string>

#include "platform/scoped.h"

class CInfTextStream {
public:
    CInfTextStream() = default;
    ~CInfTextStream() = default;
    CInfTextStream(const CInfTextStream&) = delete;
    CInfTextStream& operator=(const CInfTextStream&) = delete;

    // Opens the file for reading, others may read and write it meanwhile. A successful open starts
    // a clean stream; a failed one leaves the stream closed and every read failing.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return static_cast<bool>(m_File); }

    // The next line, without its line feed. A last line without a line feed is a line too. False
    // at the end of the file, when nothing was read, and on a closed stream.
    bool ReadLine(std::string& line);

private:
    static constexpr size_t kBufferSize = 4096;

    // The next raw byte, or EOF; Peek leaves it to be read again.
    int Get();
    int Peek();
    bool Fill();

    plat::ScopedStream m_File;
    char m_Buffer[kBufferSize];
    size_t m_Pos = 0;
    size_t m_End = 0;
    bool m_AtEnd = false;
};
