// Entry point of the Wine tests of Pelorin.exe: GoogleTest's options, then
// Pelorin.exe, the fixture browser, the marker program and, optionally, the
// folder that receives the screenshots (Unix paths are taken as Z:).
#include <gtest/gtest.h>

#include <cstdio>

#include "shell_support.h"
#include "support/browser_fixture.h"
#include "support/test_programs.h"

namespace e2e {
namespace {
TestPrograms programs;
}
const TestPrograms& Programs() {
    return programs;
}
}  // namespace e2e

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr,
                     "usage: %s [gtest options] PELORIN_EXE FIXTURE_BROWSER MARKER_PROGRAM "
                     "[SCREENSHOT_DIR]\n",
                     argv[0]);
        return 2;
    }
    e2e::programs = {e2e::ToWindowsPath(argv[2]), e2e::ToWindowsPath(argv[3])};
    shell_e2e::SetShell(
        {e2e::ToWindowsPath(argv[1]), argc == 5 ? e2e::ToWindowsPath(argv[4]) : std::string()});
    shell_e2e::SubstituteJapaneseFonts();
    return RUN_ALL_TESTS();
}
