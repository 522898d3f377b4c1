#include "shell_support.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "support/browser_fixture.h"

namespace shell_e2e {

namespace {
ShellPrograms g_programs;
}  // namespace

const ShellPrograms& Shell() {
    return g_programs;
}
void SetShell(const ShellPrograms& programs) {
    g_programs = programs;
}

PelorinProcess::~PelorinProcess() {
    Kill();
}

bool PelorinProcess::Start(const std::string& folder) {
    static int counter = 0;
    outputPath_ = folder + "\\stdout-" + std::to_string(++counter) + ".txt";
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE output =
        CreateFileA(outputPath_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE)
        return false;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = output;
    startup.hStdError = output;
    std::string commandLine = "\"" + Shell().pelorin + "\"";
    PROCESS_INFORMATION info = {};
    const BOOL started = CreateProcessA(Shell().pelorin.c_str(), commandLine.data(), nullptr,
                                        nullptr, TRUE, 0, nullptr, folder.c_str(), &startup, &info);
    CloseHandle(output);
    if (!started)
        return false;
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    pid_ = info.dwProcessId;
    return true;
}

HWND PelorinProcess::Frame() const {
    return FindWindowOf(pid_, kFrameClass, kFrameTitle);
}

HWND PelorinProcess::WaitForFrame(std::chrono::milliseconds limit) const {
    return WaitForWindowOf(pid_, kFrameClass, kFrameTitle, limit);
}

bool PelorinProcess::WaitResponsive(std::chrono::milliseconds limit) const {
    return e2e::WaitUntil(
        [this] {
            HWND frame = Frame();
            DWORD_PTR ignored = 0;
            return frame &&
                   SendMessageTimeoutA(frame, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 200, &ignored) != 0;
        },
        limit);
}

bool PelorinProcess::WaitStarted(std::chrono::milliseconds limit) const {
    return process_ && WaitForInputIdle(process_, static_cast<DWORD>(limit.count())) == 0;
}

void PelorinProcess::PostCommand(UINT id) const {
    PostMessageA(Frame(), WM_COMMAND, id, 0);
}

bool PelorinProcess::Running() const {
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> PelorinProcess::WaitForExit(std::chrono::milliseconds limit) const {
    if (!process_ ||
        WaitForSingleObject(process_, static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return code;
}

std::string PelorinProcess::Output() const {
    return e2e::ReadFileBytes(outputPath_).value_or("<unreadable>");
}

void PelorinProcess::Kill() {
    if (!process_)
        return;
    if (Running()) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
    process_ = nullptr;
}

namespace {

struct WindowSearch {
    DWORD pid;
    const char* className;
    const char* title;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search.pid)
        return TRUE;
    char text[256] = {};
    if (search.className) {
        GetClassNameA(window, text, sizeof text);
        if (lstrcmpA(text, search.className) != 0)
            return TRUE;
    }
    if (search.title) {
        GetWindowTextA(window, text, sizeof text);
        if (lstrcmpA(text, search.title) != 0)
            return TRUE;
    }
    search.found.push_back(window);
    return TRUE;
}

}  // namespace

std::vector<HWND> WindowsOf(DWORD pid, const char* className) {
    WindowSearch search{pid, className, nullptr, {}};
    EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindWindowOf(DWORD pid, const char* className, const char* title) {
    WindowSearch search{pid, className, title, {}};
    EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found.empty() ? nullptr : search.found.front();
}

HWND WaitForWindowOf(DWORD pid, const char* className, const char* title,
                     std::chrono::milliseconds limit) {
    HWND window = nullptr;
    e2e::WaitUntil([&] { return (window = FindWindowOf(pid, className, title)) != nullptr; },
                   limit);
    return window;
}

HWND WaitForShownWindowOf(DWORD pid, const char* className, const char* title,
                          std::chrono::milliseconds limit) {
    HWND window = nullptr;
    e2e::WaitUntil(
        [&] {
            window = FindWindowOf(pid, className, title);
            return window && IsWindowVisible(window);
        },
        limit);
    return window && IsWindowVisible(window) ? window : nullptr;
}

PelorinProbe::PelorinProbe(HWND frame) {
    mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                  2 * sizeof(LONG), "PelorinProbeAnswer");
    if (mapping_)
        answer_ = static_cast<volatile LONG*>(
            MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, 2 * sizeof(LONG)));
    module_ = LoadLibraryA("pelorin_probe.dll");
    const auto hook = module_ ? reinterpret_cast<HOOKPROC>(
                                    reinterpret_cast<void*>(GetProcAddress(module_, "ProbeHook")))
                              : nullptr;
    if (hook)
        hook_ = SetWindowsHookExA(WH_GETMESSAGE, hook, module_,
                                  GetWindowThreadProcessId(frame, nullptr));
}

PelorinProbe::~PelorinProbe() {
    if (hook_)
        UnhookWindowsHookEx(hook_);
    if (module_)
        FreeLibrary(module_);
    if (answer_)
        UnmapViewOfFile(const_cast<LONG*>(answer_));
    if (mapping_)
        CloseHandle(mapping_);
}

std::optional<LONG> PelorinProbe::Ask(HWND window, const char* message, WPARAM wParam) {
    if (!Ready())
        return std::nullopt;
    const LONG ticket = ++tickets_;
    PostMessageA(window, RegisterWindowMessageA(message), wParam, ticket);
    if (!e2e::WaitUntil([&] { return answer_[0] == ticket; }))
        return std::nullopt;
    return answer_[1];
}

std::optional<UINT> PelorinProbe::MenuItemState(HWND menuWindow, UINT id) {
    const std::optional<LONG> state = Ask(menuWindow, "PelorinMenuProbe", id);
    return state ? std::optional<UINT>(UINT(*state)) : std::nullopt;
}

std::optional<bool> PelorinProbe::StopTimer(HWND window, UINT_PTR id) {
    const std::optional<LONG> armed = Ask(window, "PelorinTimerProbe", id);
    return armed ? std::optional<bool>(*armed != 0) : std::nullopt;
}

std::string TextOf(HWND window) {
    char text[1024] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 2000, &length);
    return text;
}

bool MutexExists() {
    HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, kMutexName);
    if (!mutex)
        return false;
    CloseHandle(mutex);
    return true;
}

std::vector<std::string> SnapshotFiles(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\save\\*.txt").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

bool TrayWindowShown() {
    HWND tray = FindWindowA(nullptr, "Wine System Tray");
    return tray && IsWindowVisible(tray);
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

namespace {

// A minimal PNG: 8-bit RGB, zlib stream of stored (uncompressed) blocks.
std::uint32_t Crc(const std::string& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : bytes) {
        crc ^= c;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xFFFFFFFFu;
}

void PutBig32(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

void PutChunk(std::string& out, const char* type, const std::string& data) {
    PutBig32(out, static_cast<std::uint32_t>(data.size()));
    const std::string typed = std::string(type, 4) + data;
    out += typed;
    PutBig32(out, Crc(typed));
}

std::string Png(int width, int height, const std::string& rgbRows) {
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw.push_back('\0');  // filter: none
        raw.append(rgbRows, static_cast<size_t>(y) * width * 3, static_cast<size_t>(width) * 3);
    }
    std::string z = "\x78\x01";
    std::uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        const size_t n = std::min<size_t>(65535, raw.size() - at);
        z.push_back(at + n >= raw.size() ? 1 : 0);
        z.push_back(static_cast<char>(n & 0xFF));
        z.push_back(static_cast<char>(n >> 8));
        z.push_back(static_cast<char>(~n & 0xFF));
        z.push_back(static_cast<char>((~n >> 8) & 0xFF));
        z.append(raw, at, n);
        if (raw.empty())
            break;
    }
    PutBig32(z, (b << 16) | a);
    std::string header;
    PutBig32(header, static_cast<std::uint32_t>(width));
    PutBig32(header, static_cast<std::uint32_t>(height));
    header += std::string("\x08\x02\x00\x00\x00", 5);
    std::string png = "\x89PNG\r\n\x1a\n";
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", z);
    PutChunk(png, "IEND", "");
    return png;
}

}  // namespace

bool TakeScreenshot(const std::string& name, RECT area) {
    if (Shell().screenshots.empty())
        return true;
    area.left = std::max<LONG>(area.left, 0);
    area.top = std::max<LONG>(area.top, 0);
    area.right = std::min<LONG>(area.right, GetSystemMetrics(SM_CXSCREEN));
    area.bottom = std::min<LONG>(area.bottom, GetSystemMetrics(SM_CYSCREEN));
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0)
        return false;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        ok = BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY) != 0;
        GdiFlush();
        const int stride = (width * 3 + 3) & ~3;
        std::string rgb;
        rgb.reserve(static_cast<size_t>(width) * height * 3);
        for (int y = 0; y < height; ++y) {
            const auto* row =
                static_cast<const unsigned char*>(bits) + static_cast<size_t>(y) * stride;
            for (int x = 0; x < width; ++x) {
                rgb.push_back(static_cast<char>(row[x * 3 + 2]));
                rgb.push_back(static_cast<char>(row[x * 3 + 1]));
                rgb.push_back(static_cast<char>(row[x * 3 + 0]));
            }
        }
        SelectObject(memory, old);
        ok = ok && WriteFileBytes(Shell().screenshots + "\\" + name, Png(width, height, rgb));
    }
    if (bitmap)
        DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

void SubstituteJapaneseFonts() {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\Fonts\\Replacements", 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return;
    }
    const char gothic[] = "IPAPGothic";
    // ＭＳ Ｐゴシック, ＭＳ ゴシック and MS UI Gothic, in code page 932.
    for (const char* face :
         {"\x82\x6c\x82\x72\x20\x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e",
          "\x82\x6c\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4e", "MS UI Gothic"}) {
        RegSetValueExA(key, face, 0, REG_SZ, reinterpret_cast<const BYTE*>(gothic), sizeof gothic);
    }
    RegCloseKey(key);
}

}  // namespace shell_e2e
