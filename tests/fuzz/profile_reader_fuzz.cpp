// The profile reader on arbitrary bytes: no crash, no read out of bounds, and
// what it returns is stable: written out and read again it comes back the
// same, except that an empty last section is dropped, as the format says.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string_view>

#include "storage/profile_document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const ProfileData parsed = ParseProfile(bytes);

    ProfileData expected = parsed;
    auto& sections = expected.sections();
    if (!sections.empty() && std::prev(sections.end())->second.empty()) {
        sections.erase(std::prev(sections.end()));
    }
    if (ParseProfile(FormatProfile(parsed)) != expected) {
        std::abort();
    }

    // Any value may be read as a number.
    volatile std::int32_t sink = 0;
    for (const auto& [name, pairs] : parsed.sections()) {
        for (const auto& [key, value] : pairs) {
            sink = ParseNumber(value);
        }
    }
    (void)sink;
    return 0;
}
