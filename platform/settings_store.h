// One key of a settings store: typed values under names, read, changed in
// memory and written back with commit(). Two stores stand behind it, one per
// system: a REGEDIT4 text file on Linux (registry_store.h) and the system
// registry on Windows (registry_key.h).
//
// Value names compare without regard to ASCII case, as the registry's do.
// Everything a store hands out was read from outside the program: callers
// check type and size before they use a value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Registry value types, with their numbers.
namespace regtype {
constexpr uint32_t String = 1;
constexpr uint32_t ExpandString = 2;
constexpr uint32_t Binary = 3;
constexpr uint32_t Dword = 4;
}  // namespace regtype

// One value. A string's data is its text in the program's encoding with the
// terminating NUL; a dword's is four bytes, little-endian.
struct RegistryValue {
    std::string name;
    uint32_t type = regtype::Binary;
    std::vector<uint8_t> data;
};

bool registryNamesEqual(std::string_view a, std::string_view b);
// Null when `values` holds none of that name.
const RegistryValue* registryFindValue(const std::vector<RegistryValue>& values,
                                       std::string_view name);
// Replaces the value of the same name where it stands, or adds it at the end.
void registrySetValue(std::vector<RegistryValue>& values, RegistryValue value);

class SettingsStore {
  public:
    virtual ~SettingsStore() = default;

    // True when the key did not exist when the store was opened: nothing was
    // stored yet, or what was stored could not be read.
    virtual bool keyCreatedNow() const = 0;
    // Null when the key has no value of that name.
    virtual const RegistryValue* value(std::string_view name) const = 0;
    // Adds or replaces a value in memory, until commit().
    virtual void setValue(RegistryValue value) = 0;
    // Stores the key with every value set since it was opened. False when
    // that failed.
    virtual bool commit() = 0;

    void setString(std::string_view name, std::string_view text);
    void setDword(std::string_view name, uint32_t number);
    void setBinary(std::string_view name, std::vector<uint8_t> bytes);
};
