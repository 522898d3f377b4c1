// menu_probe.dll: reads the state of an item of an open popup menu from
// inside the process that owns the menu. Wine keeps a menu's items in that
// process, so GetMenuState on the handle fails anywhere else. A test loads
// this into Pelorin's process with a WH_GETMESSAGE hook on its thread, posts
// kProbeMessage to the open menu window (wParam: the command id, lParam: a
// sequence number) and reads the answer from the shared memory named
// kAnswerName: the item's GetMenuState, then the sequence number.
#include <windows.h>

namespace {

constexpr char kProbeMessage[] = "PelorinMenuProbe";
constexpr char kAnswerName[] = "PelorinMenuProbeAnswer";

void Answer(const MSG& probe) {
    const HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, kAnswerName);
    if (mapping == nullptr)
        return;
    if (auto* answer = static_cast<volatile LONG*>(
            MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 2 * sizeof(LONG)))) {
        const auto items = reinterpret_cast<HMENU>(SendMessageA(probe.hwnd, MN_GETHMENU, 0, 0));
        answer[1] = LONG(GetMenuState(items, UINT(probe.wParam), MF_BYCOMMAND));
        InterlockedExchange(&answer[0], LONG(probe.lParam));
        UnmapViewOfFile(const_cast<LONG*>(answer));
    }
    CloseHandle(mapping);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    MenuProbeHook(int code, WPARAM removal, LPARAM message) {
    static const UINT probe = RegisterWindowMessageA(kProbeMessage);
    const MSG* msg = reinterpret_cast<const MSG*>(message);
    if (code == HC_ACTION && msg->message == probe && probe != 0)
        Answer(*msg);
    return CallNextHookEx(nullptr, code, removal, message);
}
