// Measures, under Wine, the time from CreateProcess to the moment the
// program's tray icon exists (Wine's tray window is shown while any icon
// exists), for Pelorin.exe and the bare window program in alternation, and
// prints medians, their ratio and Pelorin.exe's size.
//
// usage: start_timer PELORIN_EXE BARE_EXE [ROUNDS]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool TrayShown() {
    HWND tray = FindWindowA(nullptr, "Wine System Tray");
    return tray && IsWindowVisible(tray);
}

bool WaitFor(bool wanted, DWORD limitMs) {
    const DWORD start = GetTickCount();
    while (TrayShown() != wanted) {
        if (GetTickCount() - start > limitMs)
            return false;
        Sleep(1);
    }
    return true;
}

std::string WindowsPath(const std::string& path) {
    if (path.empty() || path[0] != '/')
        return path;
    std::string out = "Z:" + path;
    std::replace(out.begin(), out.end(), '/', '\\');
    return out;
}

// Milliseconds from CreateProcess to the icon, or a negative value.
double TimeOneStart(const std::string& exe, const std::string& folder) {
    if (!WaitFor(false, 10000))
        return -1;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::string line = "\"" + exe + "\"";
    LARGE_INTEGER frequency, before, after;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&before);
    if (!CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &info)) {
        return -2;
    }
    const bool shown = WaitFor(true, 20000);
    QueryPerformanceCounter(&after);
    // The process is ours and is ended by its id's handle.
    TerminateProcess(info.hProcess, 0);
    WaitForSingleObject(info.hProcess, 10000);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    if (!shown)
        return -3;
    return 1000.0 * static_cast<double>(after.QuadPart - before.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s PELORIN_EXE BARE_EXE [ROUNDS]\n", argv[0]);
        return 2;
    }
    const std::string pelorin = WindowsPath(argv[1]);
    const std::string bare = WindowsPath(argv[2]);
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 15;
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "pelorin-footprint";
    CreateDirectoryA(folder.c_str(), nullptr);

    // One start of each first, untimed: the first start of any program pays
    // for loading Wine's DLLs from disk.
    TimeOneStart(pelorin, folder);
    TimeOneStart(bare, folder);
    std::vector<double> pelorinTimes, bareTimes;
    for (int i = 0; i < rounds; ++i) {
        // Alternate which goes first, so neither always follows the other's end.
        double p = 0, b = 0;
        if (i % 2 == 0) {
            p = TimeOneStart(pelorin, folder);
            b = TimeOneStart(bare, folder);
        } else {
            b = TimeOneStart(bare, folder);
            p = TimeOneStart(pelorin, folder);
        }
        if (p < 0 || b < 0) {
            std::fprintf(stderr, "round %d failed (%g, %g)\n", i, p, b);
            return 1;
        }
        pelorinTimes.push_back(p);
        bareTimes.push_back(b);
    }
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExA(pelorin.c_str(), GetFileExInfoStandard, &data);
    const double pm = Median(pelorinTimes), bm = Median(bareTimes);
    std::printf("Pelorin.exe size: %lu bytes (%.1f KB; goal at most 300 KB)\n", data.nFileSizeLow,
                data.nFileSizeLow / 1024.0);
    std::printf(
        "start to icon, median of %d: Pelorin.exe %.1f ms, bare window %.1f ms, ratio %.2f (goal "
        "at most 1.25)\n",
        rounds, pm, bm, bm > 0 ? pm / bm : 0.0);
    return 0;
}
