// pelorin_probe.dll: answers questions about Pelorin's own windows from
// inside its process, where the answers can be read. Wine keeps a menu's
// items in the process that owns the menu (GetMenuState on the handle fails
// anywhere else), and a timer can only be touched by the thread that owns its
// window. A test loads this into Pelorin's process with a WH_GETMESSAGE hook
// on its thread, posts one of the registered messages below (lParam: a
// sequence number) and reads the answer from the shared memory named
// kAnswerName: the answer, then the sequence number.
//   kMenuProbe to the open menu window, wParam a command id: GetMenuState of
//     that item, by command.
//   kTimerProbe to a window, wParam a timer id: whether KillTimer found that
//     timer armed (1) or not (0). The timer is gone afterwards.
//   kShutdownProbe to any window of the thread: the process's shutdown level
//     as GetProcessShutdownParameters gives it (-1 when it fails).
#include <windows.h>

namespace {

constexpr char kMenuProbe[] = "PelorinMenuProbe";
constexpr char kTimerProbe[] = "PelorinTimerProbe";
constexpr char kShutdownProbe[] = "PelorinShutdownProbe";
constexpr char kAnswerName[] = "PelorinProbeAnswer";

void Answer(LONG value, LPARAM ticket) {
    const HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, kAnswerName);
    if (mapping == nullptr)
        return;
    if (auto* answer = static_cast<volatile LONG*>(
            MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 2 * sizeof(LONG)))) {
        answer[1] = value;
        InterlockedExchange(&answer[0], LONG(ticket));
        UnmapViewOfFile(const_cast<LONG*>(answer));
    }
    CloseHandle(mapping);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    ProbeHook(int code, WPARAM removal, LPARAM message) {
    static const UINT menuProbe = RegisterWindowMessageA(kMenuProbe);
    static const UINT timerProbe = RegisterWindowMessageA(kTimerProbe);
    static const UINT shutdownProbe = RegisterWindowMessageA(kShutdownProbe);
    const MSG* msg = reinterpret_cast<const MSG*>(message);
    // Answered once, when the message is taken off the queue.
    if (code == HC_ACTION && removal == PM_REMOVE) {
        if (msg->message == menuProbe && menuProbe != 0) {
            const auto items = reinterpret_cast<HMENU>(SendMessageA(msg->hwnd, MN_GETHMENU, 0, 0));
            Answer(LONG(GetMenuState(items, UINT(msg->wParam), MF_BYCOMMAND)), msg->lParam);
        } else if (msg->message == timerProbe && timerProbe != 0) {
            Answer(KillTimer(msg->hwnd, msg->wParam) ? 1 : 0, msg->lParam);
        } else if (msg->message == shutdownProbe && shutdownProbe != 0) {
            DWORD level = 0;
            DWORD flags = 0;
            Answer(GetProcessShutdownParameters(&level, &flags) ? LONG(level) : -1, msg->lParam);
        }
    }
    return CallNextHookEx(nullptr, code, removal, message);
}
