// CReadInf: read-only access to one driver INF: the walk over the sections whose names contain a
// text, the walk over the key names of a section, the string tokens in the first and third fields
// of a key's value, and the friendly-name token of a button found in the file's raw text.
// Portable logic.
#pragma once

#include <memory>
#include <string>

#include "inf/inf_text_stream.h"

class CReadInf {
public:
    static constexpr size_t kSectionListSize = 1040;
    static constexpr size_t kKeyListSize = 260;
    static constexpr size_t kValueSize = 260;
    static constexpr const char* kSectionDefault = "****";
    static constexpr const char* kKeyMissing = "Cannot find key in inf";
    static constexpr const char* kEndOfKeys = "end";

    // The full path is the folder immediately followed by the file name: the folder carries its
    // own trailing backslash. Nothing is read yet.
    CReadInf(const std::string& driverFolder, const std::string& infName);
    virtual ~CReadInf();
    CReadInf(const CReadInf&) = delete;
    CReadInf& operator=(const CReadInf&) = delete;

    const std::string& GetFullPath() const { return m_FullPath; }

    // The next section whose name contains the search text. The first call reads the file's
    // section names (at most 1,040 bytes of them) and takes the caller's text as the search text;
    // later calls continue after the name handed out last, whatever text they bring. At the end
    // of the list the answer is false, the text is left alone and the next call starts afresh.
    bool FindNextSection(std::string& text);
    // The next key name of a section. The first call reads the key names (at most 260 bytes of
    // them) of the section named; later calls continue that list whatever section they name.
    // False with "end" when the list is used up (the next call reads anew); false with the text
    // left alone when the section yields no names (the next call then answers "end").
    bool GetNextKeyName(const std::string& section, std::string& keyName);
    // The first or third comma-separated field of a key's value without its first and last
    // character (so %ScanButton.Desc% gives ScanButton.Desc). Runs of commas count as one
    // separator. False with "Cannot find key in inf" for a missing key, false with the empty text
    // when the value has too few fields.
    bool GetStringValueName(const std::string& section, const std::string& key, std::string& token);
    bool GetAppValueName(const std::string& section, const std::string& key, std::string& token);
    // The token between the first two '%' of the first line, after the header line that starts
    // with '[' and contains the section text, that holds the button name and "FriendlyName"; the
    // next header line ends the search. False, with the token left alone, when the file cannot be
    // read or no such line comes.
    bool GetButLocValueName(const std::string& section, const std::string& button, std::string& token);

    // The friendly-name scan's tests of one line, for tools that follow the scan over a text: a
    // header line is one that starts with '['; the scan's section starts at the first header line
    // that contains the section text; a line of that section names the button's friendly name
    // when it holds the button name (any line, for an empty name), "FriendlyName" and a '%', and
    // the token is what follows the first '%' up to the next one (or the line's end).
    static bool IsHeaderLine(const std::string& line) { return !line.empty() && line[0] == '['; }
    static bool IsScanSectionHeader(const std::string& line, const std::string& section);
    static bool FriendlyNameToken(const std::string& line, const std::string& button, std::string& token);

private:
    bool GetValueField(const std::string& section, const std::string& key, size_t field, std::string& token);
    // The friendly-name scan over the open stream.
    bool ScanForFriendlyName(const std::string& section, const std::string& button, std::string& token);
    // The name after the one the cursor stands on; null at the end of the list or of its buffer.
    static char* NextName(char* cursor, char* listEnd);
    void ReleaseSectionNames();
    void ReleaseKeyNames();

    std::string m_FullPath;
    char* m_pSectionCursor = nullptr;
    std::unique_ptr<char[]> m_pSectionNames;
    std::string searchstring;
    char* m_pKeyCursor = nullptr;
    std::unique_ptr<char[]> m_pKeyNames;
    CInfTextStream m_InfStream;
};
