#include "shell/setting_dlg.h"

#include "shell/dialog_number.h"
#include "shell/resources/resource.h"
#include "storage/profile_document.h"

CSettingDlg::CSettingDlg(HWND parent) : fw::ModalDialog(IDD_SETTINGS, parent) {}

BOOL CSettingDlg::OnInitDialog() {
    if (!fw::ModalDialog::OnInitDialog())
        return FALSE;
    SetCheck(IDC_AUTO_SAVE, AutoSave);
    SetCheck(IDC_EXIT_IE_WHEN_RESTORE, ExitIEWhenRestore);
    SetCheck(IDC_SAVE, Save);
    SetCheck(IDC_EXIT_IE_WHEN_EXIT, ExitIEWhenExit);
    SetCheck(IDC_RESTORE_WHEN_START, RestoreWhenStart);
    SetNumber(IDC_AUTO_SAVE_TIME, AutoSaveTime);
    SetNumber(IDC_CREATE_WAIT, CreateWait);
    SetNumber(IDC_RESIZE_WAIT, ResizeWait);
    return TRUE;
}

void CSettingDlg::OnOK() {
    AutoSaveTime = GetNumber(IDC_AUTO_SAVE_TIME);
    CreateWait = GetNumber(IDC_CREATE_WAIT);
    ResizeWait = GetNumber(IDC_RESIZE_WAIT);
    AutoSave = GetCheck(IDC_AUTO_SAVE);
    ExitIEWhenRestore = GetCheck(IDC_EXIT_IE_WHEN_RESTORE);
    Save = GetCheck(IDC_SAVE);
    ExitIEWhenExit = GetCheck(IDC_EXIT_IE_WHEN_EXIT);
    RestoreWhenStart = GetCheck(IDC_RESTORE_WHEN_START);
    fw::ModalDialog::OnOK();
}

// A value of 0 leaves the box as the template made it: clear.
void CSettingDlg::SetCheck(int id, std::int32_t value) {
    if (value != 0)
        SendMessageA(Item(id), BM_SETCHECK, BST_CHECKED, 0);
}

std::int32_t CSettingDlg::GetCheck(int id) {
    return SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}

void CSettingDlg::SetNumber(int id, std::int32_t value) {
    SetWindowTextA(Item(id), IntToString(value).c_str());
}

std::int32_t CSettingDlg::GetNumber(int id) {
    char text[kDialogTextBuffer] = {};
    GetWindowTextA(Item(id), text, sizeof text);
    return DialogNumber(text);
}
