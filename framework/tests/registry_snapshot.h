// A picture of a registry tree (every key with its values), and the keys in
// which two pictures differ: what a registration added, changed or removed.
#pragma once

#include <windows.h>

#include <map>
#include <set>
#include <string>

namespace fwtest {

// Key path below the root -> its values, each as "name=type:hex bytes".
using RegistrySnapshot = std::map<std::string, std::set<std::string>>;

RegistrySnapshot TakeSnapshot(HKEY root, const std::string& path = std::string());

struct RegistryDiff {
    std::set<std::string> added;    // keys only in the second picture
    std::set<std::string> removed;  // keys only in the first
    std::set<std::string> changed;  // keys in both with other values
    bool empty() const { return added.empty() && removed.empty() && changed.empty(); }
};

RegistryDiff Compare(const RegistrySnapshot& before, const RegistrySnapshot& after);
std::string Describe(const RegistryDiff& diff);

}  // namespace fwtest
