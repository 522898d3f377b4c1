// LoadSettingsFile on arbitrary content of Pelorin.ini: every setting ends up
// within its bounds, whatever it held before; a file without a section keeps
// the values held before; a value written by SaveSettingsFile reads back.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "platform/platform.h"
#include "storage/profile_document.h"
#include "storage/settings_file.h"

namespace {

bool WithinBounds(const Settings& s) {
    auto flag = [](std::int32_t v) { return v == 0 || v == 1; };
    return flag(s.ExitIEWhenRestore) && flag(s.AutoSave) && flag(s.Save) &&
           flag(s.ExitIEWhenExit) && flag(s.RestoreWhenStart) && s.AutoSaveTime >= 1 &&
           s.AutoSaveTime <= 1440 && s.CreateWait >= 100 && s.CreateWait <= 60000 &&
           s.ResizeWait >= 500 && s.ResizeWait <= 300000;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Files();
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (!platform::ReplaceWholeFile("Pelorin.ini", bytes)) {
        fuzz::Fail("cannot write the input");
    }

    // Held before the load: in bounds but not the defaults.
    Settings held;
    held.AutoSave = 1;
    held.AutoSaveTime = 77;
    held.CreateWait = 1234;
    Settings loaded = held;
    LoadSettingsFile(loaded);
    if (!WithinBounds(loaded)) {
        fuzz::Fail("a loaded setting out of bounds");
    }
    if (ParseProfile(bytes).empty() && !(loaded == held)) {
        fuzz::Fail("a file without sections changed the settings");
    }

    // Out-of-bounds values held before a load are replaced too.
    Settings absurd;
    absurd.AutoSaveTime = -1;
    absurd.CreateWait = 0;
    absurd.ResizeWait = INT32_MIN;
    absurd.Save = 2;
    LoadSettingsFile(absurd);
    if (!WithinBounds(absurd)) {
        fuzz::Fail("an absurd held setting survived the load");
    }

    // Whatever was loaded saves and loads again as itself.
    if (!SaveSettingsFile(loaded)) {
        fuzz::Fail("cannot save the settings");
    }
    Settings again;
    LoadSettingsFile(again);
    if (!(again == loaded)) {
        fuzz::Fail("saved settings read back different");
    }
    return 0;
}
