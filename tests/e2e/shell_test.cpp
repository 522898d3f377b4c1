#include "shell_test.h"

#include "resource.h"

namespace shell_e2e {

void ShellTest::SetUp() {
    e2e::BrowserDesktopTest::SetUp();
    ASSERT_TRUE(e2e::WaitUntil([] { return !MutexExists(); }))
        << "a copy of Pelorin is still running";
}

void ShellTest::TearDown() {
    pelorin_.Kill();
    e2e::BrowserDesktopTest::TearDown();
}

std::string SnapshotText(const std::vector<std::string>& addresses) {
    std::string text;
    for (size_t i = 0; i < addresses.size(); ++i) {
        text += "[" + std::to_string(i) + "]\r\nname=IEFrame\r\noption=" + addresses[i] +
                "\r\nstyle=1\r\ntitle=x\r\nw_height=300\r\nw_width=400\r\nw_x=" +
                std::to_string(40 + 30 * i) + "\r\nw_y=" + std::to_string(40 + 30 * i) + "\r\n";
    }
    return text;
}

void ShellTest::WriteSnapshot(const std::string& name, const std::vector<std::string>& addresses) {
    CreateDirectoryA(Path("save").c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(Path("save\\" + name), SnapshotText(addresses)));
}

std::string ShellTest::ReadOr(const std::string& name) const {
    return e2e::ReadFileBytes(Path(name)).value_or("<missing>");
}

void ShellTest::StartResident(PelorinProcess& copy) {
    ASSERT_TRUE(copy.Start(directory_));
    ASSERT_TRUE(copy.WaitForFrame())
        << "no frame of class " << kFrameClass << " titled " << kFrameTitle;
    ASSERT_TRUE(copy.WaitStarted());
    ASSERT_TRUE(copy.WaitResponsive());
}

HWND ShellTest::OpenSettings(const PelorinProcess& copy) {
    copy.PostCommand(IDM_SETTINGS);
    return WaitForWindowOf(copy.pid(), "#32770", kSettingsCaption);
}

}  // namespace shell_e2e
