#include "shell_test.h"

#include <tlhelp32.h>

#include "resource.h"

namespace shell_e2e {

namespace {

std::vector<DWORD> BrowserProcesses() {
    std::vector<DWORD> pids;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return pids;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szExeFile, "iexplore.exe") == 0)
            pids.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return pids;
}

}  // namespace

// A browser process of the previous test that has closed its frame may still
// be running, and its executable cannot be replaced until it has gone.
void ShellTest::SetUp() {
    if (!e2e::WaitUntil([] { return BrowserProcesses().empty(); }, 5000ms)) {
        for (DWORD pid : BrowserProcesses()) {
            ADD_FAILURE() << "browser process " << pid << " still runs, with "
                          << WindowsOf(pid, nullptr).size() << " windows; ending it";
            if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
                TerminateProcess(process, 99);
                WaitForSingleObject(process, 5000);
                CloseHandle(process);
            }
        }
    }
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
    return WaitForShownWindowOf(copy.pid(), "#32770", kSettingsCaption);
}

}  // namespace shell_e2e
