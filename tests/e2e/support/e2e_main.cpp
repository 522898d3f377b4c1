// Entry point of the Wine test executables: GoogleTest's own options, then
// the paths of the fixture browser and the marker program (Unix paths are
// taken as Wine's Z: drive).
#include <gtest/gtest.h>

#include <cstdio>

#include "support/browser_fixture.h"
#include "support/test_programs.h"

namespace e2e {
namespace {
TestPrograms programs;

std::string FullPath(const char* path) {
    const std::string windows = ToWindowsPath(path);
    char full[MAX_PATH] = {};
    const DWORD length = GetFullPathNameA(windows.c_str(), MAX_PATH, full, nullptr);
    return length > 0 && length < MAX_PATH ? std::string(full, length) : windows;
}
}  // namespace
const TestPrograms& Programs() {
    return programs;
}
}  // namespace e2e

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s [gtest options] FIXTURE_BROWSER MARKER_PROGRAM\n", argv[0]);
        return 2;
    }
    // Made absolute now: every test changes the current directory.
    e2e::programs = {e2e::FullPath(argv[1]), e2e::FullPath(argv[2])};
    return RUN_ALL_TESTS();
}
