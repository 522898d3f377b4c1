// The Windows programs a Wine test run is given on its command line.
#pragma once

#include <string>

namespace e2e {

struct TestPrograms {
    std::string fixtureBrowser;  // tests/fixtures' fixture browser
    std::string markerProgram;   // tests/fixtures' marker program
};

const TestPrograms& Programs();

}  // namespace e2e
