// ParseNumber against the C library: on any bytes it gives what strtol gives
// (base 10, "C" locale) clamped to 32 bits, reading up to the first zero byte
// as a C string would; and every 32-bit value survives IntToString and back.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "storage/profile_document.h"

namespace {

std::int32_t Reference(const std::string& text) {
    errno = 0;
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    // strtoll saturates at 64 bits (ERANGE); the clamp then gives the 32-bit end.
    if (value > std::numeric_limits<std::int32_t>::max()) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (value < std::numeric_limits<std::int32_t>::min()) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string_view upToZero(bytes.c_str());
    // strtoll takes a "0x" prefix only in base 16 and no digit separators in
    // base 10, so on a C string the two rules agree exactly.
    if (ParseNumber(upToZero) != Reference(bytes)) {
        fuzz::Fail("ParseNumber differs from strtoll clamped to 32 bits");
    }
    // A zero byte ends the digits as any other non-digit does.
    if (ParseNumber(bytes) != ParseNumber(upToZero)) {
        fuzz::Fail("bytes after a zero byte changed the number");
    }
    if (size >= 4) {
        std::int32_t value;
        std::memcpy(&value, data, sizeof value);
        if (ParseNumber(IntToString(value)) != value) {
            fuzz::Fail("IntToString does not read back");
        }
    }
    return 0;
}
