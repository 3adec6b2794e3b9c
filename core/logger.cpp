// CLogger and LogLastError. Portable logic.
#include "core/logger.h"

#include <cstdarg>
#include <vector>

#include "platform/scoped.h"

namespace {

// What Windows' text mode does to written bytes: every "\n" becomes CR LF.
std::string ToTextMode(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

// What Windows' text mode does to read bytes: Ctrl-Z ends the file, CR LF becomes "\n".
std::string FromTextMode(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\x1A') break;
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
        out += raw[i];
    }
    return out;
}

std::string ReadRest(FILE* f) {
    std::string raw;
    char buf[4096];
    size_t n;
    while ((n = plat::fread(buf, 1, sizeof buf, f)) > 0) raw.append(buf, n);
    return raw;
}

}  // namespace

std::string RotationPartnerPath(const std::string& path) {
    return path.substr(0, path.size() >= 4 ? path.size() - 4 : 0) + "2.log";
}

CLogger::CLogger(const char* fileName) {
    char szTemp[MAX_PATH + 1] = {0};
    DWORD len = plat::GetTempPathA(MAX_PATH, szTemp);
    if (len == 0 || len > MAX_PATH) szTemp[0] = 0;
    m_Path = std::string(szTemp) + (fileName ? fileName : "");

    m_File.reset(plat::_fsopen(m_Path.c_str(), "a+b", _SH_DENYNO));
    if (m_File) {
        plat::fseek(m_File.get(), 0, SEEK_END);
        long size = plat::ftell(m_File.get());
        if (size > kMaxLogSize) Rotate();
    }
    WriteTimestamp();
    WriteLine("Start Log");
}

// Keeps the last 51200 bytes, line by line, through the partner file. The old log is replaced only
// by a successful rename of the finished partner, so a failure never loses it; the logger is then
// silent.
void CLogger::Rotate() {
    m_File.reset();

    const std::string partnerPath = RotationPartnerPath(m_Path);
    plat::ScopedStream partner(plat::_fsopen(partnerPath.c_str(), "wb", _SH_DENYNO));
    plat::ScopedStream log(plat::_fsopen(m_Path.c_str(), "r+b", _SH_DENYNO));
    if (!partner || !log) return;

    plat::fseek(log.get(), -kMaxLogSize, SEEK_END);
    std::string text = FromTextMode(ReadRest(log.get()));
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = ToTextMode(std::string_view(text).substr(start, end - start)) + "\r\n";
        plat::fwrite(line.data(), 1, line.size(), partner.get());
        plat::fflush(partner.get());
        start = end + 1;
    }
    partner.reset();
    log.reset();

    if (!plat::MoveFileExA(partnerPath.c_str(), m_Path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        plat::DeleteFileA(partnerPath.c_str());
        return;
    }
    m_File.reset(plat::_fsopen(m_Path.c_str(), "r+b", _SH_DENYNO));
    if (m_File) plat::fseek(m_File.get(), 0, SEEK_END);
}

CLogger::~CLogger() {
    WriteTimestamp();
    WriteLine("End Log");
    WriteLine("");
}

bool CLogger::WriteText(std::string_view text, bool flush) {
    if (!m_File) return false;
    std::string bytes = ToTextMode(text);
    plat::fwrite(bytes.data(), 1, bytes.size(), m_File.get());
    if (flush) plat::fflush(m_File.get());
    return true;
}

int CLogger::Print(const char* format, ...) {
    if (!m_File) return 0;
    // Long texts are written whole: the buffer grows instead of cutting them.
    std::vector<char> buf(272);
    int n;
    for (;;) {
        va_list args;
        va_start(args, format);
        n = std::vsnprintf(buf.data(), buf.size(), format, args);
        va_end(args);
        if (n >= 0 && static_cast<size_t>(n) < buf.size()) break;
        if (buf.size() > (1u << 24)) return 0;
        buf.resize(n >= 0 ? static_cast<size_t>(n) + 1 : buf.size() * 2);
    }
    std::string text(buf.data(), static_cast<size_t>(n));
    text += '\n';
    WriteText(text, true);
    return n;
}

bool CLogger::WriteLine(const char* text) { return WriteText(std::string(text ? text : "") + "\n", true); }

bool CLogger::WriteLabel(const char* text) { return WriteText(std::string(text ? text : "") + "\t", false); }

bool CLogger::Write(const char* text) { return WriteText(text ? text : "", false); }

bool CLogger::WriteTimestamp() {
    if (!m_File) return false;
    SYSTEMTIME st{};
    plat::GetLocalTime(&st);
    char line[64];
    std::snprintf(line, sizeof line, "%02u:%02u:%02u\t%02u/%02u/%02u\t\n", st.wHour, st.wMinute, st.wSecond,
                  st.wMonth, st.wDay, st.wYear % 100u);
    return WriteText(line, true);
}

void LogLastError(const char* functionName, CLogger* pLogger) {
    DWORD code = plat::GetLastError();
    plat::ScopedLocalText message;
    plat::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, code, LANG_USER_DEFAULT,
                         reinterpret_cast<LPSTR>(message.out()), 0, nullptr);
    if (pLogger)
        pLogger->Print("%s failed with error %d: %s", functionName, static_cast<int>(code),
                       message ? message.get() : "");
}
