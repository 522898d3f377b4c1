// "Pelorin.ini": the eight user settings in the section "Setting".
#pragma once

#include <cstdint>

// The eight settings, named as their keys in the file. The values here are
// the defaults, which are also what an out-of-range value is replaced by.
struct Settings {
    std::int32_t ExitIEWhenRestore = 0;
    std::int32_t AutoSave = 0;
    std::int32_t AutoSaveTime = 1;
    std::int32_t Save = 0;
    std::int32_t CreateWait = 300;
    std::int32_t ResizeWait = 500;
    std::int32_t ExitIEWhenExit = 0;
    std::int32_t RestoreWhenStart = 0;

    friend bool operator==(const Settings&, const Settings&) = default;
};

// Reads "Pelorin.ini" into `settings`: a file that yields no section leaves
// the values as they are; then every value outside its bounds is replaced by
// its default.
void LoadSettingsFile(Settings& settings);

// Removes the temporary file of a settings save that was cut short. Only at
// start-up, before any save.
void RemoveInterruptedSettingsSave();

// Writes the nine lines of "Pelorin.ini" from `settings` as they are (no
// range check), atomically where the file can be replaced and in place where
// it cannot. False when the file was not written whole.
bool SaveSettingsFile(const Settings& settings);
