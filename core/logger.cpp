// CLogger and LogLastError. Portable logic.
#include "core/logger.h"

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "platform/scoped.h"

namespace {

// What Windows' text mode does to written bytes: every "\n" becomes CR LF.
std::string ToTextMode(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    // Whole runs between line feeds are copied at once.
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            out.append(text, start);
            break;
        }
        out.append(text, start, end - start).append("\r\n");
        start = end + 1;
    }
    return out;
}

// What Windows' text mode does to read bytes: Ctrl-Z ends the file, CR LF becomes "\n".
std::string FromTextMode(std::string_view raw) {
    raw = raw.substr(0, raw.find('\x1A'));
    std::string out;
    out.reserve(raw.size());
    // Whole runs up to the next CR are copied at once; a CR before a LF is dropped.
    for (size_t start = 0; start < raw.size();) {
        size_t cr = raw.find('\r', start);
        if (cr == std::string_view::npos) cr = raw.size();
        out.append(raw, start, cr - start);
        if (cr == raw.size()) break;
        if (cr + 1 >= raw.size() || raw[cr + 1] != '\n') out += '\r';
        start = cr + 1;
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

// A log is opened to read (the rotation reads its tail) and to append, without the right to write
// data anywhere else: Windows then puts every write at the end of the file as one step, whatever
// the position, so the loggers of several processes that append to one log at once never write
// over each other's lines (the C runtime's append mode alone moves to the end and then writes, in
// two steps). The rotation partner is written from its start and renamed and deleted through its
// handle. Both keep GENERIC_READ, which carries the right to read the attributes that asking a
// log file who it is needs.
constexpr DWORD kLogAccess = GENERIC_READ | FILE_APPEND_DATA | SYNCHRONIZE;
constexpr DWORD kPartnerAccess = GENERIC_READ | GENERIC_WRITE | DELETE;

// Opens a log file as a stream that appends at the end, shared for reading and writing with the
// other processes' loggers. The temporary folder may be one in which other users create files, so
// any name there may be a planted link: a symbolic link or junction is opened as itself (never
// followed), and a file that is a reparse point, a folder, or has a second name (a hard link) is
// refused, so that nothing is ever read or written through a link. `phFile`, when given, receives
// the handle the stream is made on; it closes with the stream. Answers no stream when the file does
// not open or is refused.
plat::ScopedStream OpenLogFile(const std::string& path, DWORD dwDisposition, DWORD dwAccess,
                               HANDLE* phFile = nullptr) {
    HANDLE hFile = plat::CreateFileA(path.c_str(), dwAccess, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     dwDisposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) return {};
    BY_HANDLE_FILE_INFORMATION info{};
    const bool bRefused = !plat::GetFileInformationByHandle(hFile, &info) || info.nNumberOfLinks > 1 ||
                          (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0;
    if (bRefused) {
        plat::CloseHandle(hFile);
        return {};
    }
    const int fd = plat::_open_osfhandle(reinterpret_cast<intptr_t>(hFile), _O_APPEND);
    if (fd == -1) {
        plat::CloseHandle(hFile);
        return {};
    }
    plat::ScopedStream stream(plat::_fdopen(fd, "a+b"));
    if (!stream) {
        plat::_close(fd);
        return {};
    }
    if (phFile) *phFile = hFile;
    return stream;
}

// Gives an open file the name `path`, replacing the file that has it (a folder there stays). The
// handle is what is renamed, so whatever another user may have done to the file's old name meanwhile,
// only this file can land under the new one. The handle needs DELETE access.
bool RenameOpenFile(HANDLE hFile, const std::string& path) {
    const std::string native = NativePath(path);
    if (native.empty()) return false;
    const int length = static_cast<int>(native.size());
    const int units = plat::MultiByteToWideChar(CP_ACP, 0, native.c_str(), length, nullptr, 0);
    if (units <= 0) return false;
    // The record and its name, with room for a closing NUL, in storage aligned for the record.
    const size_t bytes = offsetof(FILE_RENAME_INFO, FileName) + (static_cast<size_t>(units) + 1) * sizeof(WCHAR);
    std::vector<ULONG_PTR> storage((bytes + sizeof(ULONG_PTR) - 1) / sizeof(ULONG_PTR) + 1, 0);
    auto* pInfo = reinterpret_cast<FILE_RENAME_INFO*>(storage.data());
    pInfo->ReplaceIfExists = TRUE;
    pInfo->RootDirectory = nullptr;
    pInfo->FileNameLength = static_cast<DWORD>(units) * sizeof(WCHAR);
    if (plat::MultiByteToWideChar(CP_ACP, 0, native.c_str(), length, pInfo->FileName, units) != units) return false;
    return plat::SetFileInformationByHandle(hFile, FileRenameInfo, pInfo, static_cast<DWORD>(bytes)) != FALSE;
}

// Marks an open file for deletion when its handle closes. The handle needs DELETE access.
void DeleteOpenFile(HANDLE hFile) {
    FILE_DISPOSITION_INFO info = {TRUE};
    plat::SetFileInformationByHandle(hFile, FileDispositionInfo, &info, sizeof info);
}

}  // namespace

std::string NativePath(const std::string& path) {
    if (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) return "\\??\\" + path;
    // "\\?\" and "\\.\" name the same place as the native "\??\".
    if (path.compare(0, 4, "\\\\?\\") == 0 || path.compare(0, 4, "\\\\.\\") == 0) return "\\??\\" + path.substr(4);
    if (path.compare(0, 2, "\\\\") == 0) return "\\??\\UNC\\" + path.substr(2);
    return "";
}

std::string RotationPartnerPath(const std::string& path) {
    return path.substr(0, path.size() >= 4 ? path.size() - 4 : 0) + "2.log";
}

CLogger::CLogger(const char* fileName) {
    char szTemp[MAX_PATH + 1] = {0};
    const DWORD len = plat::GetTempPathA(MAX_PATH, szTemp);
    // Without the temporary folder the logger stays silent: the file name alone would be a path
    // relative to the host's current folder (for the system account, the system folder). An answer
    // above the buffer's size is the size the folder needs; one of exactly the buffer's size, which
    // some Windows versions give for a folder that fits without its NUL, is refused as well.
    if (len == 0 || len >= MAX_PATH) return;
    m_Path = std::string(szTemp, len) + (fileName ? fileName : "");

    m_File = OpenLogFile(m_Path, OPEN_ALWAYS, kLogAccess);
    if (m_File) {
        plat::fseek(m_File.get(), 0, SEEK_END);
        long size = plat::ftell(m_File.get());
        if (size > kMaxLogSize) Rotate();
    }
    WriteTimestamp();
    WriteLine("Start Log");
}

// Keeps the last 51200 bytes, line by line, through the partner file. The partner is always a new
// file of the logger's own: whatever has its name is deleted first (a link goes itself, never what
// it leads to) and the partner is created only where no file is. It replaces the log through its
// own handle, so no other file can take its place under the log's name, and only once it holds the
// whole tail. A failure before that (the tail cannot be read whole, or the partner cannot be made or
// written) keeps the old log, deletes the partner and leaves the logger silent. When the
// replacement itself fails (Windows replaces no file that another process holds open, as a second
// copy of the library or a log viewer does), the log is still whole: the logger deletes the partner
// and appends to the uncut log, opened anew with the same checks.
void CLogger::Rotate() {
    const std::string partnerPath = RotationPartnerPath(m_Path);
    plat::DeleteFileA(partnerPath.c_str());
    HANDLE hPartner = INVALID_HANDLE_VALUE;
    plat::ScopedStream partner = OpenLogFile(partnerPath, CREATE_NEW, kPartnerAccess, &hPartner);
    if (!partner) {
        m_File.reset();
        return;
    }

    // The tail is the last 51200 bytes or more (another process may append meanwhile); a seek or
    // read that fails gives less, and a copy of less must not replace the log.
    const bool bPositioned = plat::fseek(m_File.get(), -kMaxLogSize, SEEK_END) == 0;
    const std::string raw = bPositioned ? ReadRest(m_File.get()) : std::string();
    m_File.reset();
    const std::string text = FromTextMode(raw);
    bool bCopied = raw.size() >= static_cast<size_t>(kMaxLogSize);
    size_t start = 0;
    while (bCopied && start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = ToTextMode(std::string_view(text).substr(start, end - start)) + "\r\n";
        bCopied = plat::fwrite(line.data(), 1, line.size(), partner.get()) == line.size() &&
                   plat::fflush(partner.get()) == 0;
        start = end + 1;
    }

    if (!bCopied) {
        DeleteOpenFile(hPartner);
        return;
    }
    if (!RenameOpenFile(hPartner, m_Path)) DeleteOpenFile(hPartner);
    // The log, cut or whole, is opened anew append-only and without the right to delete it, which
    // would keep the other processes' loggers from opening it.
    partner.reset();
    m_File = OpenLogFile(m_Path, OPEN_EXISTING, kLogAccess);
    if (m_File) plat::fseek(m_File.get(), 0, SEEK_END);
}

// The end lines are built in allocated texts; when memory runs out the log goes without them, as
// nothing may leave a destructor (the library's unload runs it).
CLogger::~CLogger() {
    try {
        WriteTimestamp();
        WriteLine("End Log");
        WriteLine("");
    } catch (const std::bad_alloc&) {
    }
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
