// An address read as wide text, kept as ANSI bytes where the code page holds
// it exactly and as its ASCII URI elsewhere.
#include <windows.h>

#include "platform/win32/stored_address.h"

#include <iterator>
#include <optional>

#include "platform/address_uri.h"

namespace platform {
namespace {

std::size_t AnsiLength(std::wstring_view text) {
    const int length = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    return length > 0 ? static_cast<std::size_t>(length) : 0;
}

// The text in the ANSI code page when every character has its own exact
// counterpart there; absent when any would become the default character or a
// best-fit look-alike (code page 932 turns "café" into "cafe": another page).
std::optional<std::string> ExactAnsi(std::wstring_view text) {
    if (text.empty())
        return std::string();
    // No ANSI code page needs more than 3 bytes for one UTF-16 unit.
    std::string ansi(text.size() * 4, '\0');
    BOOL usedDefault = FALSE;
    int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(),
                                     static_cast<int>(text.size()), ansi.data(),
                                     static_cast<int>(ansi.size()), nullptr, &usedDefault);
    const DWORD error = length == 0 ? GetLastError() : ERROR_SUCCESS;
    if (error == ERROR_INVALID_FLAGS || error == ERROR_INVALID_PARAMETER) {
        // Code pages that take neither the flag nor the report (UTF-8, which
        // Windows 10 offers as the ANSI code page): the round trip decides.
        usedDefault = FALSE;
        length = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                     ansi.data(), static_cast<int>(ansi.size()), nullptr, nullptr);
    }
    if (length <= 0 || usedDefault)
        return std::nullopt;
    ansi.resize(static_cast<std::size_t>(length));
    std::wstring back(text.size(), L'\0');
    const int backLength = MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, back.data(),
                                               static_cast<int>(back.size()));
    if (backLength <= 0 || std::wstring_view(back.data(), backLength) != text)
        return std::nullopt;

    // The ANSI read cut at 1023 bytes; so does this, but between characters.
    if (ansi.size() > kMaxAddressBytes) {
        std::size_t units = 0;
        std::size_t bytes = 0;
        while (units < text.size()) {
            const std::size_t step = IS_HIGH_SURROGATE(text[units]) ? 2 : 1;
            const std::size_t more = AnsiLength(text.substr(units, step));
            if (bytes + more > kMaxAddressBytes)
                break;
            bytes += more;
            units += step;
        }
        ansi.resize(bytes);
    }
    return ansi;
}

using IdnToAsciiCall = int(WINAPI*)(DWORD, LPCWSTR, int, LPWSTR, int);

// IDNA by the system: kernel32 has IdnToAscii from Windows Vista on; older
// systems have it only in normaliz.dll, where the IDN download installed it.
// Absent where neither has it, or for a name it refuses.
std::optional<std::u16string> HostByIdna(std::u16string_view host) {
    HMODULE normaliz = nullptr;
    FARPROC found = GetProcAddress(GetModuleHandleA("kernel32.dll"), "IdnToAscii");
    if (found == nullptr) {
        char folder[MAX_PATH] = {};
        const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
        // By its full path: never a normaliz.dll planted beside the program or
        // in the current folder.
        if (length > 0 && length < MAX_PATH)
            normaliz = LoadLibraryA((std::string(folder, length) + "\\normaliz.dll").c_str());
        if (normaliz != nullptr)
            found = GetProcAddress(normaliz, "IdnToAscii");
    }
    std::optional<std::u16string> ascii;
    if (found != nullptr) {
        wchar_t buffer[256];  // a host name has at most 255 characters
        const int length = reinterpret_cast<IdnToAsciiCall>(reinterpret_cast<void (*)()>(found))(
            0, reinterpret_cast<LPCWSTR>(host.data()), static_cast<int>(host.size()), buffer,
            static_cast<int>(std::size(buffer)));
        if (length > 0)
            ascii = std::u16string(buffer, buffer + length);
    }
    if (normaliz != nullptr)
        FreeLibrary(normaliz);
    return ascii;
}

// A local file whose name the code page lacks, by its short (8.3) path when
// the code page holds that exactly. The browser decodes the escapes of a
// file: URI in the ANSI code page, not as UTF-8, so the URI would name
// another file; the short path names this one. Absent when the file is gone
// (the system finds short names on the disk only) or the volume keeps no
// short names.
std::optional<std::string> ShortAnsiPath(std::wstring_view shown) {
    const std::optional<std::u16string> path =
        LocalPathOf(std::u16string(shown.begin(), shown.end()));
    if (!path)
        return std::nullopt;
    const std::wstring wide(path->begin(), path->end());
    const DWORD needed = GetShortPathNameW(wide.c_str(), nullptr, 0);
    if (needed == 0 || needed > kMaxAddressBytes)
        return std::nullopt;
    std::wstring shortPath(needed, L'\0');
    const DWORD length = GetShortPathNameW(wide.c_str(), shortPath.data(), needed);
    if (length == 0 || length >= needed)
        return std::nullopt;
    shortPath.resize(length);
    return ExactAnsi(shortPath);
}

}  // namespace

std::string StoredAddress(std::wstring_view shown) {
    if (std::optional<std::string> ansi = ExactAnsi(shown))
        return *std::move(ansi);
    if (std::optional<std::string> shortPath = ShortAnsiPath(shown))
        return *std::move(shortPath);
    return AddressAsUri(std::u16string(shown.begin(), shown.end()), HostByIdna);
}

}  // namespace platform
