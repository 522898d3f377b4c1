#include "support/browser_desktop_test.h"

#include <tlhelp32.h>

#include <cstdio>

#include "fixture_protocol.h"
#include "storage/snapshot_files.h"
#include "support/test_programs.h"

namespace e2e {

void BrowserDesktopTest::SetUp() {
    ASSERT_TRUE(InstallFixtureBrowser(Programs().fixtureBrowser))
        << "cannot install " << Programs().fixtureBrowser << " as " << BrowserExecutablePath();
    ASSERT_TRUE(CloseEveryBrowserFrame()) << "a browser frame from before would not close";
    const auto* test = testing::UnitTest::GetInstance()->current_test_info();
    directory_ = EnterFreshDirectory(test->name());
    ResetLastWrittenSnapshot();
}

void BrowserDesktopTest::TearDown() {
    EXPECT_TRUE(CloseEveryBrowserFrame()) << "a browser frame would not close";
    DeleteFileA("C:\\Program.exe");
    DeleteFileA(fixture::kMarkerFile);
    InstallFixtureBrowser(Programs().fixtureBrowser);
}

StartedFrame BrowserDesktopTest::StartFixture(const std::string& address,
                                              const std::optional<FramePlacement>& placement) {
    StartedFrame frame{address, StartBrowser(address, placement), nullptr};
    if (frame.pid != 0)
        frame.hwnd = WaitForFrameOf(frame.pid);
    EXPECT_NE(frame.hwnd, nullptr) << "no frame for " << address << " (pid " << frame.pid << ")";
    return frame;
}

DWORD ParentOf(DWORD pid) {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    DWORD parent = 0;
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID == pid)
            parent = entry.th32ParentProcessID;
    }
    CloseHandle(snapshot);
    return parent;
}

std::string Visible(const std::string& bytes) {
    std::string text;
    for (unsigned char c : bytes) {
        if (c == '\r') {
            text += "\\r";
        } else if (c == '\n') {
            text += "\\n\n";
        } else if (c < 32) {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\x%02X", c);
            text += escaped;
        } else {
            text += char(c);
        }
    }
    return text;
}

}  // namespace e2e
