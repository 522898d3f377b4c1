// The settings dialog: edits its own copies of the eight settings, which the
// caller fills before DoModal and reads after IDOK.
#pragma once

#include <windows.h>

#include <cstdint>

#include "shell/framework/modal_dialog.h"

class CSettingDlg : public fw::ModalDialog {
public:
    explicit CSettingDlg(HWND parent);

    std::int32_t ExitIEWhenRestore = 0;
    std::int32_t AutoSave = 0;
    std::int32_t AutoSaveTime = 0;
    std::int32_t Save = 0;
    std::int32_t CreateWait = 0;
    std::int32_t ResizeWait = 0;
    std::int32_t ExitIEWhenExit = 0;
    std::int32_t RestoreWhenStart = 0;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    void SetCheck(int id, std::int32_t value);
    std::int32_t GetCheck(int id);
    void SetNumber(int id, std::int32_t value);
    std::int32_t GetNumber(int id);
};
