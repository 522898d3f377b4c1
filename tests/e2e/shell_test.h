// The base of the Pelorin.exe tests: a fresh current folder with the fixture
// browser installed and no browser frame open (from BrowserDesktopTest), no
// copy of Pelorin running, and helpers to prepare Pelorin.ini and snapshots.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "shell_support.h"
#include "support/browser_desktop_test.h"

namespace shell_e2e {

class ShellTest : public e2e::BrowserDesktopTest {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string Path(const std::string& name) const { return directory_ + "\\" + name; }
    void WriteIni(const std::string& bytes) {
        ASSERT_TRUE(WriteFileBytes(Path("Pelorin.ini"), bytes));
    }
    // A snapshot file in save\ with one record per address.
    void WriteSnapshot(const std::string& name, const std::vector<std::string>& addresses);
    std::string ReadOr(const std::string& name) const;
    // Starts `copy` here and waits until its message loop runs.
    void StartResident(PelorinProcess& copy);
    // The settings dialog of `copy`, opened by command 105.
    HWND OpenSettings(const PelorinProcess& copy);

    PelorinProcess pelorin_;
};

// A snapshot file as the program writes it: one section per address.
std::string SnapshotText(const std::vector<std::string>& addresses);

}  // namespace shell_e2e
