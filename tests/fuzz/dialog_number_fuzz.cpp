// The settings dialog's number parse on any pasted text, and where the
// number goes from there: it is the atoi value of at most 255 bytes; stored
// unchecked, it must still give a usable timer period and restore waits
// within the settings' bounds, and a save and load bring it within bounds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "platform/platform.h"
#include "platform/sim/sim_desktop.h"
#include "shell/auto_save_interval.h"
#include "shell/dialog_number.h"
#include "snapshot/snapshot_manager.h"
#include "storage/settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Files();
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::int32_t number = DialogNumber(text);

    std::string_view read = text.substr(0, text.find('\0'));
    read = read.substr(0, 255);
    if (number != ParseNumber(std::string(read))) {
        fuzz::Fail("more than the buffer's 255 bytes were read");
    }

    const std::uint32_t period = AutoSaveIntervalMs(number);
    if (period < 60000 || period % 60000 != 0) {
        fuzz::Fail("a timer period that is not whole minutes");
    }

    // The dialog stores the number in every numeric setting at once.
    Settings typed;
    typed.AutoSaveTime = number;
    typed.CreateWait = number;
    typed.ResizeWait = number;
    if (!SaveSettingsFile(typed)) {
        fuzz::Fail("cannot save the settings");
    }
    Settings loaded;
    LoadSettingsFile(loaded);
    if (loaded.AutoSaveTime < 1 || loaded.AutoSaveTime > 1440 || loaded.CreateWait < 100 ||
        loaded.CreateWait > 60000 || loaded.ResizeWait < 500 || loaded.ResizeWait > 300000) {
        fuzz::Fail("a typed number loaded out of bounds");
    }

    // A restore with those waits, before any load, of one recorded window.
    if (!platform::IsDirectory("save") && !platform::CreateDirectoryAt("save")) {
        fuzz::Fail("cannot make the save folder");
    }
    if (!platform::ReplaceWholeFile("save\\20050412153012.txt",
                                    "[0]\r\nname=IEFrame\r\noption=about:blank\r\nstyle=1\r\n")) {
        fuzz::Fail("cannot write the snapshot");
    }
    sim::Desktop desktop;
    CSnapshotManager manager;
    manager.CreateWait = number;
    manager.ResizeWait = number;
    manager.Restore(std::string());
    if (desktop.Sleeps().size() != 2 || desktop.Sleeps()[0] < 100 || desktop.Sleeps()[0] > 60000 ||
        desktop.Sleeps()[1] < 500 || desktop.Sleeps()[1] > 300000) {
        fuzz::Fail("restore waits outside the settings' bounds");
    }
    return 0;
}
