// Feeds arbitrary text to the registry-file parser. Whatever it accepts must
// survive a write and a second read unchanged.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/registry_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kRegistryFileMax)
        return 0;
    RegistryDocument first;
    if (!first.parse(std::string_view(reinterpret_cast<const char*>(data), size)))
        return 0;
    const std::string text = first.serialize();
    RegistryDocument second;
    if (!second.parse(text) || second.serialize() != text)
        std::abort();
    return 0;
}
