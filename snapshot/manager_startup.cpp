// The manager's start-up step and its link to the settings file, kept apart
// from the rest of the manager so that only what starts the program needs the
// settings file.
#include "platform/platform.h"
#include "snapshot/snapshot_manager.h"
#include "storage/settings_file.h"
#include "storage/snapshot_files.h"

bool CSnapshotManager::Startup() {
    if (!EnsureSaveFolder()) {
        // The one user text outside the resource script: MessageBoxA takes
        // ANSI bytes, and these are the code page 932 (Shift-JIS) bytes of
        // "\"save\" フォルダが作成できません" and "エラー".
        platform::ShowErrorBox(
            "\"save\" "
            "\x83\x74\x83\x48\x83\x8b\x83\x5f\x82\xaa\x8d\xec\x90\xac\x82\xc5\x82\xab\x82\xdc"
            "\x82\xb9\x82\xf1",
            "\x83\x47\x83\x89\x81\x5b");
        return false;
    }
    // A killed save leaves its temporary file behind; with one copy of the
    // program running at a time, none of ours can be in use at start-up.
    RemoveInterruptedSnapshotSaves();
    RemoveInterruptedSettingsSave();
    LoadSettings();
    if (RestoreWhenStart != 0)
        Restore(std::string());
    return true;
}

void CSnapshotManager::LoadSettings() {
    LoadSettingsFile(*this);
}

bool CSnapshotManager::SaveSettings() {
    return SaveSettingsFile(*this);
}
