#pragma once
// The program's own named resources: image data built into the program and
// found by name and type ("BMP", "JPEG", "TGA"), as a Windows module offers
// them. Like Windows resource names, names and types match without regard to
// letter case. The viewer registers none; tests register their own.
#include <cstdint>
#include <string>
#include <vector>

// Adds or replaces the resource name of the given type.
void RegisterResource(const std::string& name, const std::string& type, std::vector<uint8_t> bytes);

// The bytes of a resource, or nullptr when there is none of that name and
// type. An empty name never matches. The pointer stays valid until the
// resource is replaced or the registry is cleared.
const std::vector<uint8_t>* FindResource(const std::string& name, const std::string& type);

// Forgets every registered resource.
void ClearResources();
