#include "Resources.h"

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

std::string upperCase(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

void RegisterResource(const std::string& name, const std::string& type, std::vector<uint8_t> bytes)
{
    registry()[{upperCase(type), upperCase(name)}] = std::move(bytes);
}

const std::vector<uint8_t>* FindResource(const std::string& name, const std::string& type)
{
    if (name.empty())
        return nullptr;
    auto found = registry().find({upperCase(type), upperCase(name)});
    return found == registry().end() ? nullptr : &found->second;
}

void ClearResources() { registry().clear(); }
