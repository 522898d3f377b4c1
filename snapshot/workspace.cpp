#include "snapshot/workspace.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Edges in 64 bits: a snapshot file may hold any 32-bit position and size,
// whose sum does not fit in 32.
struct Box {
    std::int64_t left, top, right, bottom;
};

Box BoxOf(const platform::Rect& r) {
    return {r.left, r.top, r.right, r.bottom};
}

std::int64_t OffsetX(const platform::Monitor& m) {
    return std::int64_t{m.workArea.left} - m.area.left;
}
std::int64_t OffsetY(const platform::Monitor& m) {
    return std::int64_t{m.workArea.top} - m.area.top;
}

// At least one pixel each way, so that an empty rectangle still lies on the
// monitor under its corner.
std::int64_t OverlapArea(Box b, const platform::Rect& area) {
    b.right = std::max(b.right, b.left + 1);
    b.bottom = std::max(b.bottom, b.top + 1);
    const std::int64_t w =
        std::min<std::int64_t>(b.right, area.right) - std::max<std::int64_t>(b.left, area.left);
    const std::int64_t h =
        std::min<std::int64_t>(b.bottom, area.bottom) - std::max<std::int64_t>(b.top, area.top);
    return w > 0 && h > 0 ? w * h : 0;
}

double Gap(const Box& b, const platform::Rect& area) {
    const double dx =
        static_cast<double>(std::max<std::int64_t>({0, area.left - b.right, b.left - area.right}));
    const double dy =
        static_cast<double>(std::max<std::int64_t>({0, area.top - b.bottom, b.top - area.bottom}));
    return std::hypot(dx, dy);
}

// The monitor `boxOn(monitor)` covers most, as MonitorFromRect picks it; the
// nearest when it covers none (`covered` false then).
template <typename BoxOn>
const platform::Monitor& MonitorOf(const std::vector<platform::Monitor>& monitors, BoxOn boxOn,
                                   bool& covered) {
    const platform::Monitor* best = &monitors.front();
    std::int64_t bestArea = 0;
    double bestGap = std::numeric_limits<double>::infinity();
    for (const platform::Monitor& m : monitors) {
        const Box b = boxOn(m);
        if (const std::int64_t area = OverlapArea(b, m.area); area > bestArea) {
            best = &m;
            bestArea = area;
        } else if (bestArea == 0) {
            if (const double gap = Gap(b, m.area); gap < bestGap) {
                best = &m;
                bestGap = gap;
            }
        }
    }
    covered = bestArea > 0;
    return *best;
}

std::int32_t To32(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// `start` moved so that `size` fits between `low` and `high` where it can.
std::int64_t Within(std::int64_t start, std::int64_t size, std::int64_t low, std::int64_t high) {
    return std::max(low, std::min(start, high - std::max<std::int64_t>(size, 0)));
}

}  // namespace

PlacedRect ScreenRectOf(const PlacedRect& recorded,
                        const std::vector<platform::Monitor>& monitors) {
    if (monitors.empty())
        return recorded;
    const Box box{recorded.x, recorded.y, std::int64_t{recorded.x} + recorded.width,
                  std::int64_t{recorded.y} + recorded.height};
    auto onMonitor = [&box](const platform::Monitor& m) {
        return Box{box.left + OffsetX(m), box.top + OffsetY(m), box.right + OffsetX(m),
                   box.bottom + OffsetY(m)};
    };
    bool covered = false;
    const platform::Monitor& m = MonitorOf(monitors, onMonitor, covered);
    const Box on = onMonitor(m);
    if (covered)
        return {To32(on.left), To32(on.top), recorded.width, recorded.height};

    const platform::Rect& work = m.workArea;
    const std::int64_t width =
        std::min<std::int64_t>(recorded.width, std::int64_t{work.right} - work.left);
    const std::int64_t height =
        std::min<std::int64_t>(recorded.height, std::int64_t{work.bottom} - work.top);
    return {To32(Within(on.left, width, work.left, work.right)),
            To32(Within(on.top, height, work.top, work.bottom)), To32(width), To32(height)};
}

platform::Rect WorkspaceRectOf(const platform::Rect& screen,
                               const std::vector<platform::Monitor>& monitors) {
    if (monitors.empty())
        return screen;
    bool covered = false;
    const platform::Monitor& m = MonitorOf(
        monitors, [&screen](const platform::Monitor&) { return BoxOf(screen); }, covered);
    return {To32(screen.left - OffsetX(m)), To32(screen.top - OffsetY(m)),
            To32(screen.right - OffsetX(m)), To32(screen.bottom - OffsetY(m))};
}
