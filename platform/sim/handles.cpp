// The simulated machine's handle table. Simulated machine only.
#include "platform/sim/handles.h"

#include <cstdio>

namespace plat::sim {

const char* HandleKindName(HandleKind kind) {
    switch (kind) {
        case HandleKind::RegistryKey: return "registry key";
        case HandleKind::DeviceInfoSet: return "device information set";
        case HandleKind::ServiceManager: return "service manager";
        case HandleKind::Service: return "service";
        case HandleKind::Stream: return "file stream";
        case HandleKind::File: return "file";
        case HandleKind::LocalMemory: return "local memory";
        case HandleKind::Inf: return "INF file";
        case HandleKind::Find: return "find handle";
        case HandleKind::Process: return "process";
        case HandleKind::Thread: return "thread";
        case HandleKind::Event: return "event";
        case HandleKind::ComObject: return "COM object";
        case HandleKind::ComString: return "COM string";
    }
    return "handle";
}

uintptr_t HandleTable::Add(HandleKind kind, std::shared_ptr<void> object, std::string what) {
    uintptr_t value = next_;
    next_ += 4;
    entries_[value] = Entry{kind, std::move(object), std::move(what)};
    return value;
}

void HandleTable::AddAt(uintptr_t value, HandleKind kind, std::shared_ptr<void> object, std::string what) {
    entries_[value] = Entry{kind, std::move(object), std::move(what)};
}

bool HandleTable::Contains(uintptr_t value, HandleKind kind) const {
    auto it = entries_.find(value);
    return it != entries_.end() && it->second.kind == kind;
}

bool HandleTable::Remove(uintptr_t value, HandleKind kind) {
    auto it = entries_.find(value);
    if (it == entries_.end() || it->second.kind != kind) return false;
    entries_.erase(it);
    return true;
}

std::optional<HandleKind> HandleTable::KindOf(uintptr_t value) const {
    auto it = entries_.find(value);
    if (it == entries_.end()) return std::nullopt;
    return it->second.kind;
}

std::vector<std::string> HandleTable::RemoveAll() {
    std::vector<std::string> open = Describe();
    // Objects may refer to one another (a thread handle to its process); release them only after
    // the table no longer lists them.
    std::map<uintptr_t, Entry> gone;
    gone.swap(entries_);
    gone.clear();
    return open;
}

std::vector<std::string> HandleTable::Describe() const {
    std::vector<std::string> lines;
    for (const auto& [value, e] : entries_) {
        char head[64];
        std::snprintf(head, sizeof head, "%s 0x%llX: ", HandleKindName(e.kind),
                      static_cast<unsigned long long>(value));
        lines.push_back(head + e.what);
    }
    return lines;
}

}  // namespace plat::sim
