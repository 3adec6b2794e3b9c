// The 32- and 64-bit views of the simulated registry. Simulated machine only.
#include "platform/sim/registry_views.h"

#include "platform/text/names.h"

namespace plat::sim {
namespace {

// Keys that Windows 7 and later share between the 64-bit and the 32-bit view, below SOFTWARE.
const char* const kSharedKeys[] = {
    "Classes",
    "Clients",
    "Policies",
    "RegisteredApplications",
    "Microsoft\\COM3",
    "Microsoft\\Cryptography\\Calais\\Current",
    "Microsoft\\Cryptography\\Calais\\Readers",
    "Microsoft\\Cryptography\\Services",
    "Microsoft\\CTF\\SystemShared",
    "Microsoft\\CTF\\TIP",
    "Microsoft\\DFS",
    "Microsoft\\Driver Signing",
    "Microsoft\\EnterpriseCertificates",
    "Microsoft\\EventSystem",
    "Microsoft\\MSMQ",
    "Microsoft\\Non-Driver Signing",
    "Microsoft\\Notepad\\DefaultFonts",
    "Microsoft\\OLE",
    "Microsoft\\RAS",
    "Microsoft\\RPC",
    "Microsoft\\SystemCertificates",
    "Microsoft\\TermServLicensing",
    "Microsoft\\TransactionServer",
    "Microsoft\\Windows\\CurrentVersion\\App Paths",
    "Microsoft\\Windows\\CurrentVersion\\Control Panel\\Cursors\\Schemes",
    "Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers",
    "Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons",
    "Microsoft\\Windows\\CurrentVersion\\Explorer\\KindMap",
    "Microsoft\\Windows\\CurrentVersion\\Group Policy",
    "Microsoft\\Windows\\CurrentVersion\\Policies",
    "Microsoft\\Windows\\CurrentVersion\\PreviewHandlers",
    "Microsoft\\Windows\\CurrentVersion\\Setup",
    "Microsoft\\Windows\\CurrentVersion\\Telephony\\Locations",
    "Microsoft\\Windows NT\\CurrentVersion\\Console",
    "Microsoft\\Windows NT\\CurrentVersion\\FontDpi",
    "Microsoft\\Windows NT\\CurrentVersion\\FontLink",
    "Microsoft\\Windows NT\\CurrentVersion\\FontMapper",
    "Microsoft\\Windows NT\\CurrentVersion\\Fonts",
    "Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes",
    "Microsoft\\Windows NT\\CurrentVersion\\Gre_Initialize",
    "Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options",
    "Microsoft\\Windows NT\\CurrentVersion\\Language Pack",
    "Microsoft\\Windows NT\\CurrentVersion\\NetworkCards",
    "Microsoft\\Windows NT\\CurrentVersion\\Perflib",
    "Microsoft\\Windows NT\\CurrentVersion\\Ports",
    "Microsoft\\Windows NT\\CurrentVersion\\Print",
    "Microsoft\\Windows NT\\CurrentVersion\\ProfileList",
    "Microsoft\\Windows NT\\CurrentVersion\\Time Zones",
};

// Below the shared SOFTWARE\Classes these keep a 32-bit copy under Classes\Wow6432Node.
const char* const kRedirectedClasses[] = {"CLSID", "DirectShow", "Interface", "Media Type", "MediaFoundation"};

constexpr const char* kWowNode = "Wow6432Node";

bool StartsWith(const std::vector<std::string>& path, size_t offset, const std::vector<std::string>& prefix) {
    if (path.size() - offset < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (!text::EqualNames(path[offset + i], prefix[i])) return false;
    return true;
}

}  // namespace

bool InView32(bool is_64bit, bool parent_view32, REGSAM sam) {
    return is_64bit && (parent_view32 || (sam & KEY_WOW64_32KEY)) && !(sam & KEY_WOW64_64KEY);
}

std::vector<std::string> PhysicalPath(Hive hive, const std::vector<std::string>& logical, bool view32) {
    if (!view32 || hive != Hive::LocalMachine) return logical;
    if (logical.empty() || !text::EqualNames(logical[0], "SOFTWARE")) return logical;
    if (logical.size() >= 2 && text::EqualNames(logical[1], kWowNode)) return logical;
    if (logical.size() >= 3 && text::EqualNames(logical[1], "Classes")) {
        for (const char* redirected : kRedirectedClasses) {
            if (text::EqualNames(logical[2], redirected)) {
                std::vector<std::string> out(logical.begin(), logical.begin() + 2);
                out.emplace_back(kWowNode);
                out.insert(out.end(), logical.begin() + 2, logical.end());
                return out;
            }
        }
    }
    // The shared keys split into their parts once.
    static const std::vector<std::vector<std::string>> kSharedParts = [] {
        std::vector<std::vector<std::string>> parts;
        for (const char* shared : kSharedKeys) parts.push_back(text::SplitPath(shared));
        return parts;
    }();
    for (const std::vector<std::string>& shared : kSharedParts) {
        if (StartsWith(logical, 1, shared)) return logical;
    }
    std::vector<std::string> out{logical[0], kWowNode};
    out.insert(out.end(), logical.begin() + 1, logical.end());
    return out;
}

}  // namespace plat::sim
