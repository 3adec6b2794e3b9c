// The simulated machine's one handle table: every key, device set, service, stream, buffer, COM
// object and COM string handed out to the logic is registered here, so a test can see what was
// left open.
// Simulated machine only.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace plat::sim {

enum class HandleKind {
    RegistryKey,
    DeviceInfoSet,
    ServiceManager,
    Service,
    Stream,
    File,  // a file handle from CreateFileA
    LocalMemory,
    Inf,
    Find,
    Process,
    Thread,
    Event,
    ComObject,  // a COM object the logic holds a reference to
    ComString,  // a BSTR from SysAllocString
};

const char* HandleKindName(HandleKind kind);

class HandleTable {
public:
    // Registers an object under a fresh handle value (small, deterministic numbers).
    uintptr_t Add(HandleKind kind, std::shared_ptr<void> object, std::string what);
    // Registers an object under a value chosen elsewhere (a stream or a memory block).
    void AddAt(uintptr_t value, HandleKind kind, std::shared_ptr<void> object, std::string what);

    template <class T>
    std::shared_ptr<T> Get(uintptr_t value, HandleKind kind) const {
        auto it = entries_.find(value);
        if (it == entries_.end() || it->second.kind != kind) return nullptr;
        return std::static_pointer_cast<T>(it->second.object);
    }
    bool Contains(uintptr_t value, HandleKind kind) const;
    bool Remove(uintptr_t value, HandleKind kind);
    // The kind of an open handle; nothing when the value is not an open handle.
    std::optional<HandleKind> KindOf(uintptr_t value) const;
    // Closes every open handle at once (the process ends), answering what was open, one line each.
    std::vector<std::string> RemoveAll();

    size_t open_count() const { return entries_.size(); }
    // One line per open handle: kind, value and what it refers to.
    std::vector<std::string> Describe() const;

private:
    struct Entry {
        HandleKind kind;
        std::shared_ptr<void> object;
        std::string what;
    };
    std::map<uintptr_t, Entry> entries_;
    uintptr_t next_ = 0x100;
};

}  // namespace plat::sim
