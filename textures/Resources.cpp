#include "Resources.h"
#include "platform/system/System.h"

#include <cctype>
#include <map>
#include <utility>

namespace {

// Keyed by upper-cased type and name, so that look-ups ignore letter case.
using ResourceKey = std::pair<std::string, std::string>;

std::map<ResourceKey, std::vector<uint8_t>>& registry()
{
    static std::map<ResourceKey, std::vector<uint8_t>> resources;
    return resources;
}

} // namespace

void RegisterResource(const std::string& name, const std::string& type, std::vector<uint8_t> bytes)
{
    registry()[{platform::UpperCase(type), platform::UpperCase(name)}] = std::move(bytes);
}

const std::vector<uint8_t>* FindResource(const std::string& name, const std::string& type)
{
    if (name.empty())
        return nullptr;
    auto found = registry().find({platform::UpperCase(type), platform::UpperCase(name)});
    return found == registry().end() ? nullptr : &found->second;
}

void ClearResources() { registry().clear(); }
