#include "storage/settings_file.h"

#include <array>

#include "platform/platform.h"
#include "storage/profile_document.h"

namespace {

constexpr const char* kFileName = "Pelorin.ini";
constexpr const char* kSection = "Setting";

// One setting: its key, where it lives in Settings and its inclusive bounds.
// Flags are the settings bounded by 0 and 1. Every default is the value a
// freshly constructed Settings holds.
struct SettingField {
    const char* key;
    std::int32_t Settings::*member;
    std::int32_t low;
    std::int32_t high;
};

constexpr std::array<SettingField, 8> kFields = {{
    {"ExitIEWhenRestore", &Settings::ExitIEWhenRestore, 0, 1},
    {"AutoSave", &Settings::AutoSave, 0, 1},
    {"AutoSaveTime", &Settings::AutoSaveTime, 1, 1440},
    {"Save", &Settings::Save, 0, 1},
    {"CreateWait", &Settings::CreateWait, 100, 60000},
    {"ResizeWait", &Settings::ResizeWait, 500, 300000},
    {"ExitIEWhenExit", &Settings::ExitIEWhenExit, 0, 1},
    {"RestoreWhenStart", &Settings::RestoreWhenStart, 0, 1},
}};

}  // namespace

void LoadSettingsFile(Settings& settings) {
    const ProfileData data = ProfileDocument(kFileName).Read();
    // A file that yields no section at all (missing, empty, or only lines
    // the profile syntax drops) keeps the values the caller already holds.
    if (!data.empty()) {
        for (const SettingField& field : kFields) {
            settings.*field.member = ParseNumber(data.Get(kSection, field.key));
        }
    }
    // Out of range means the default, never the nearer bound: a typo such as
    // 14400 minutes must not silently become a day.
    const Settings defaults;
    for (const SettingField& field : kFields) {
        std::int32_t& value = settings.*field.member;
        if (value < field.low || value > field.high)
            value = defaults.*field.member;
    }
}

void RemoveInterruptedSettingsSave() {
    platform::RemoveInterruptedReplacements(kFileName);
}

bool SaveSettingsFile(const Settings& settings) {
    ProfileData data;
    for (const SettingField& field : kFields) {
        data.Set(kSection, field.key, IntToString(settings.*field.member));
    }
    // Atomically where it can be done; where the folder lets no file be made
    // beside "Pelorin.ini", or another program holds it open for writing,
    // the settings are written into the file itself rather than lost.
    return ProfileDocument(kFileName).WriteOrOverwrite(data);
}
