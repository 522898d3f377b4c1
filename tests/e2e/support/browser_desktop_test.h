// The base of the Wine tests that put browser frames on the desktop: each
// test starts with the fixture browser installed, no browser frame open, a
// fresh current directory and no snapshot written in this run; and ends with
// every frame it opened closed.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "support/browser_fixture.h"

namespace e2e {

struct StartedFrame {
    std::string address;
    DWORD pid = 0;
    HWND hwnd = nullptr;
};

class BrowserDesktopTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the fixture at `placement` and waits for its visible frame.
    StartedFrame StartFixture(const std::string& address,
                              const std::optional<FramePlacement>& placement = std::nullopt);

    std::string directory_;
};

// The id of the process that started `pid`; 0 when it is not known.
DWORD ParentOf(DWORD pid);

// The whole file, for a failure message: bytes below 32 shown as \r, \n, \xNN.
std::string Visible(const std::string& bytes);

}  // namespace e2e
