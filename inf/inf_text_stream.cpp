// CInfTextStream. Portable logic.
#include "inf/inf_text_stream.h"

#include "platform/all.h"

bool CInfTextStream::Open(const std::string& path) {
    Close();
    m_File.reset(plat::_fsopen(path.c_str(), "rb", _SH_DENYNO));
    return static_cast<bool>(m_File);
}

void CInfTextStream::Close() {
    m_File.reset();
    m_Pos = m_End = 0;
    m_AtEnd = false;
}

bool CInfTextStream::Fill() {
    if (!m_File || m_AtEnd) return false;
    m_Pos = 0;
    m_End = plat::fread(m_Buffer, 1, kBufferSize, m_File.get());
    if (m_End == 0) m_AtEnd = true;
    return m_End != 0;
}

int CInfTextStream::Peek() {
    if (m_Pos == m_End && !Fill()) return EOF;
    unsigned char c = static_cast<unsigned char>(m_Buffer[m_Pos]);
    if (c == 0x1A) {  // Ctrl-Z: text mode ends the file here
        m_AtEnd = true;
        m_Pos = m_End;
        return EOF;
    }
    return c;
}

int CInfTextStream::Get() {
    int c = Peek();
    if (c != EOF) ++m_Pos;
    return c;
}

bool CInfTextStream::ReadLine(std::string& line) {
    line.clear();
    bool readAny = false;
    for (;;) {
        int c = Get();
        if (c == EOF) return readAny;
        readAny = true;
        if (c == '\r' && Peek() == '\n') c = Get();
        if (c == '\n') return true;
        line += static_cast<char>(c);
    }
}
