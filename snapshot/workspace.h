// Where a recorded rectangle goes on the monitors of today's desktop.
//
// A window's normal rectangle is read and recorded in workspace coordinates:
// shifted by the offset of its monitor's work area from the monitor's corner
// (a taskbar at the top or left). Windows are moved in screen coordinates.
// Snapshot files keep workspace coordinates, as they always have, and the
// restore converts; moving by the recorded values alone would shift every
// window by the taskbar's size at each save and restore.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/platform.h"

// A position and size, as a record holds them and a move takes them.
struct PlacedRect {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    friend bool operator==(const PlacedRect&, const PlacedRect&) = default;
};

// The recorded rectangle in screen coordinates of the monitor it belongs to
// (the one it covers most). One that lies on no monitor, such as one saved on
// a monitor since detached, goes into the nearest monitor's work area, at its
// recorded size where that fits and cut to the work area where it does not.
// Unchanged when no monitor is known.
PlacedRect ScreenRectOf(const PlacedRect& recorded, const std::vector<platform::Monitor>& monitors);

// A rectangle in screen coordinates, such as a window's current one, in the
// workspace coordinates of the monitor it covers most (else the nearest).
// Unchanged when no monitor is known.
platform::Rect WorkspaceRectOf(const platform::Rect& screen,
                               const std::vector<platform::Monitor>& monitors);
