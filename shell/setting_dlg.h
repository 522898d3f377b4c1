// The settings dialog: edits its own copies of the eight settings (the
// Settings base, members named after their keys), which the caller fills
// before DoModal and reads after IDOK.
#pragma once

#include <windows.h>

#include <cstdint>

#include "shell/framework/modal_dialog.h"
#include "storage/settings_file.h"

class CSettingDlg : public fw::ModalDialog, public Settings {
public:
    explicit CSettingDlg(HWND parent);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    void SetCheck(int id, std::int32_t value);
    std::int32_t GetCheck(int id);
    void SetNumber(int id, std::int32_t value);
    std::int32_t GetNumber(int id);
};
