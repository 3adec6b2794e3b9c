// Registry snapshots and their difference. Portable.
#include "tools/scenario/registry_snapshot.h"

#include <algorithm>

#include "platform/text/hives.h"
#include "platform/text/names.h"

namespace tvx {

using plat::text::EqualNames;

std::optional<std::string> CanonicalRegistryPath(std::string_view path) {
    std::vector<std::string> parts = plat::text::SplitPath(path);
    if (parts.empty()) return std::nullopt;
    std::optional<size_t> hive = plat::text::FindHive(parts[0]);
    if (!hive) return std::nullopt;
    std::string out = plat::text::kHives[*hive].name;
    for (size_t i = 1; i < parts.size(); ++i) out += "\\" + parts[i];
    return out;
}

const RegistryValue* RegistryKeyState::FindValue(std::string_view name) const {
    for (const RegistryValue& v : values)
        if (EqualNames(v.name, name)) return &v;
    return nullptr;
}

// Upper-cased, with the separator ordered before every character, so that a key sorts
// directly before its subkeys and siblings sort as Windows sorts them.
std::string RegistrySnapshot::OrderKey(std::string_view path) {
    std::string key(path);
    char* p = key.data();
    for (size_t i = 0, n = key.size(); i < n; ++i) p[i] = p[i] == '\\' ? '\x01' : plat::text::UpperAscii(p[i]);
    return key;
}

const RegistryKeyState* RegistrySnapshot::Find(std::string_view path) const {
    auto it = keys_.find(OrderKey(path));
    return it == keys_.end() ? nullptr : &it->second;
}

namespace {

// A path in the form the snapshot keeps: parts joined by single backslashes, none empty.
bool IsJoined(std::string_view path) {
    return !path.empty() && path.front() != '\\' && path.back() != '\\' && path.find("\\\\") == std::string_view::npos;
}

}  // namespace

RegistryKeyState& RegistrySnapshot::Ensure(std::string_view path) {
    // Most keys come parents first (a machine's keys walked in order): a key that is there, or
    // whose parent is there (or is the hive), is found or added without walking its path.
    if (IsJoined(path)) {
        std::string order = OrderKey(path);
        if (auto it = keys_.find(order); it != keys_.end()) return it->second;
        const size_t cut = path.rfind('\\');
        const std::string_view parent = cut == std::string_view::npos ? std::string_view() : path.substr(0, cut);
        // The parent's order key begins the key's own.
        if (cut == std::string_view::npos || parent.find('\\') == std::string_view::npos ||
            keys_.count(order.substr(0, cut))) {
            auto it = keys_.emplace_hint(keys_.end(), std::move(order), RegistryKeyState{});
            it->second.path = std::string(path);
            return it->second;
        }
    }
    std::vector<std::string> parts = plat::text::SplitPath(path);
    std::string current;
    RegistryKeyState* state = nullptr;
    for (size_t i = 0; i < parts.size(); ++i) {
        current += (i ? "\\" : "") + parts[i];
        if (i == 0 && parts.size() > 1) continue;  // the hive itself is not listed as a key
        auto [it, added] = keys_.try_emplace(OrderKey(current));
        if (added) it->second.path = current;
        state = &it->second;
    }
    if (!state) {
        auto [it, added] = keys_.try_emplace(OrderKey(path));
        if (added) it->second.path = std::string(path);
        state = &it->second;
    }
    return *state;
}

void RegistrySnapshot::SetValue(std::string_view path, RegistryValue value) {
    RegistryKeyState& key = Ensure(path);
    for (RegistryValue& v : key.values) {
        if (EqualNames(v.name, value.name)) {
            v.type = value.type;
            v.data = std::move(value.data);
            return;
        }
    }
    key.values.push_back(std::move(value));
}

bool RegistrySnapshot::DeleteValue(std::string_view path, std::string_view name) {
    auto it = keys_.find(OrderKey(path));
    if (it == keys_.end()) return false;
    auto& values = it->second.values;
    auto found = std::find_if(values.begin(), values.end(),
                              [&](const RegistryValue& v) { return EqualNames(v.name, name); });
    if (found == values.end()) return false;
    values.erase(found);
    return true;
}

void RegistrySnapshot::RemoveTree(std::string_view path) {
    std::string prefix = OrderKey(path);
    auto it = keys_.lower_bound(prefix);
    while (it != keys_.end() && it->first.compare(0, prefix.size(), prefix) == 0 &&
           (it->first.size() == prefix.size() || it->first[prefix.size()] == '\x01')) {
        it = keys_.erase(it);
    }
}

RegistryDiff DiffRegistry(const RegistrySnapshot& before, const RegistrySnapshot& after) {
    RegistryDiff diff;
    auto b = before.keys().begin();
    auto a = after.keys().begin();
    std::string last_removed;  // order key of the last removed subtree root
    auto removed_below = [&](const std::string& order_key) {
        return !last_removed.empty() && order_key.size() > last_removed.size() &&
               order_key.compare(0, last_removed.size(), last_removed) == 0 &&
               order_key[last_removed.size()] == '\x01';
    };
    while (b != before.keys().end() || a != after.keys().end()) {
        bool take_before = a == after.keys().end() || (b != before.keys().end() && b->first < a->first);
        bool take_after = b == before.keys().end() || (a != after.keys().end() && a->first < b->first);
        if (take_before) {
            if (!removed_below(b->first)) {
                diff.keys.push_back(KeyChange{KeyChange::Kind::Removed, b->second.path, {}, {}});
                last_removed = b->first;
            }
            ++b;
        } else if (take_after) {
            diff.keys.push_back(KeyChange{KeyChange::Kind::Added, a->second.path, a->second.values, {}});
            ++a;
        } else {
            KeyChange change{KeyChange::Kind::Changed, a->second.path, {}, {}};
            for (const RegistryValue& old : b->second.values) {
                const RegistryValue* now = a->second.FindValue(old.name);
                if (!now)
                    change.changes.push_back(ValueChange{old.name, old, std::nullopt});
                else if (now->type != old.type || now->data != old.data)
                    change.changes.push_back(ValueChange{now->name, old, *now});
            }
            for (const RegistryValue& now : a->second.values) {
                if (!b->second.FindValue(now.name)) change.changes.push_back(ValueChange{now.name, std::nullopt, now});
            }
            if (!change.changes.empty()) diff.keys.push_back(std::move(change));
            ++a;
            ++b;
        }
    }
    return diff;
}

}  // namespace tvx
