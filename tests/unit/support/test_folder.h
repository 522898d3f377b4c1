// A fresh, empty working folder for one test, removed again afterwards.
//
// While a TestFolder lives, relative paths given to the platform calls
// ("Pelorin.ini", "save\\x.txt") resolve inside it. On the simulated backend
// it is a new host folder installed as the file system's root; under Windows
// it is a new folder below %TEMP% made the process's current directory.
// When two live at once, paths resolve in the newer one until it ends.
#pragma once

#include <memory>
#include <string>

class TestFolder {
public:
    TestFolder();
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    // The folder's location on the machine running the tests, for messages.
    const std::string& location() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};
