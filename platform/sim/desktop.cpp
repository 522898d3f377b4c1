// The simulated desktop and the window, process and clock operations of the
// platform seam on top of it.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/platform.h"
#include "platform/sim/sim_desktop.h"

namespace sim {
namespace {

Desktop* installed = nullptr;

// GetWindowTextA, GetClassNameA and WM_GETTEXT all copy into 1024 bytes with
// a terminator: at most 1023 bytes arrive, and nothing after a zero byte.
std::string CutAsBufferOf1024(const std::string& text) {
    std::string cut = text.substr(0, text.find('\0'));
    if (cut.size() > 1023)
        cut.resize(1023);
    return cut;
}

platform::WindowHandle HandleOf(std::uintptr_t id) {
    return reinterpret_cast<platform::WindowHandle>(id);
}

// The argument a started program sees: what follows its name and one space.
std::string ArgumentOf(const std::string& commandLine) {
    std::size_t end;
    if (!commandLine.empty() && commandLine[0] == '"') {
        end = commandLine.find('"', 1);
        end = end == std::string::npos ? commandLine.size() : end + 1;
    } else {
        end = commandLine.find(' ');
        if (end == std::string::npos)
            end = commandLine.size();
    }
    if (end < commandLine.size() && commandLine[end] == ' ')
        ++end;
    return commandLine.substr(end);
}

// The rectangle moved by dx, dy; edges wrap as 32-bit arithmetic does.
platform::Rect Shifted(const platform::Rect& r, std::int32_t dx, std::int32_t dy) {
    auto add = [](std::int32_t a, std::int32_t b) {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) +
                                         static_cast<std::uint32_t>(b));
    };
    return {add(r.left, dx), add(r.top, dy), add(r.right, dx), add(r.bottom, dy)};
}

}  // namespace

std::string Operation::ToString() const {
    std::string name = Desktop::Name(window);
    switch (kind) {
        case Kind::CloseRequested:
            return "close " + name;
        case Kind::Moved:
            return "move " + name + " " + std::to_string(values[0]) + " " +
                   std::to_string(values[1]) + " " + std::to_string(values[2]) + " " +
                   std::to_string(values[3]);
        case Kind::Shown:
            return "show " + name + " " + std::to_string(values[0]);
        case Kind::TopmostSet:
            return "topmost " + name + (values[0] ? " on" : " off");
        case Kind::Stacked:
            return "stack" + text;
        case Kind::Launched:
            return "launch " + text;
        case Kind::Slept:
            return "sleep " + std::to_string(static_cast<std::uint32_t>(values[0]));
        case Kind::TabOpened:
            return "tab " + name + (values[0] ? " front " : " behind ") + text;
    }
    return "?";
}

Desktop::Desktop() {
    if (installed != nullptr) {
        std::fputs("sim::Desktop: a desktop is already installed\n", stderr);
        std::abort();
    }
    installed = this;
    installed_ = true;
    OnLaunch([](Desktop& desktop, platform::ProcessId pid, const std::string& argument) {
        desktop.AddBrowserFrame(pid, "", argument);
    });
    SetLocalTime(2005, 4, 12, 15, 30, 12);
}

Desktop::Desktop(RealClockTag) : realClock_(true) {}

Desktop::~Desktop() {
    if (installed_)
        installed = nullptr;
}

Desktop& Desktop::Current() {
    if (installed != nullptr)
        return *installed;
    static Desktop empty{RealClockTag{}};
    return empty;
}

platform::WindowHandle Desktop::AddWindow(Window window) {
    platform::WindowHandle handle = HandleOf(nextId_++);
    window.parent = nullptr;
    window.children.clear();
    bool topmost = window.topmost;
    windows_.emplace(Id(handle), std::move(window));
    zOrder_.insert(zOrder_.begin() + TopOfBand(topmost), handle);
    return handle;
}

platform::WindowHandle Desktop::AddChild(platform::WindowHandle parent, Window child) {
    platform::WindowHandle handle = HandleOf(nextId_++);
    child.parent = parent;
    child.children.clear();
    windows_.emplace(Id(handle), std::move(child));
    At(parent).children.push_back(handle);
    return handle;
}

platform::WindowHandle Desktop::AddBrowserFrame(platform::ProcessId pid, const std::string& title,
                                                const std::string& address,
                                                platform::Placement placement, FrameShape shape) {
    Window frame;
    frame.className = "IEFrame";
    frame.title = title;
    frame.pid = pid;
    frame.placement = placement;
    const auto [dx, dy] = WorkAreaOffset(placement.normal);
    frame.rect = Shifted(placement.normal, dx, dy);
    platform::WindowHandle handle = AddWindow(std::move(frame));
    platform::WindowHandle worker = AddChild(handle, Window{.className = "WorkerW", .pid = pid});
    platform::WindowHandle rebar =
        AddChild(worker, Window{.className = "ReBarWindow32", .pid = pid});
    if (shape != FrameShape::IE6)
        rebar = AddChild(rebar, Window{.className = "Address Band Root", .pid = pid});
    AddChild(rebar, Window{.className = shape == FrameShape::IE8 ? "Edit" : "ComboBoxEx32",
                           .pid = pid,
                           .text = address});
    return handle;
}

void Desktop::Erase(platform::WindowHandle window) {
    auto found = windows_.find(Id(window));
    if (found == windows_.end())
        return;
    std::vector<platform::WindowHandle> children = found->second.children;
    windows_.erase(found);
    for (platform::WindowHandle child : children)
        Erase(child);
}

void Desktop::RemoveWindow(platform::WindowHandle window) {
    const Window* w = Find(window);
    if (w == nullptr)
        return;
    if (w->parent != nullptr) {
        auto& siblings = At(w->parent).children;
        std::erase(siblings, window);
    }
    std::erase(zOrder_, window);
    Erase(window);
    if (mainWindow == window)
        mainWindow = nullptr;
    if (foreground == window)
        foreground = nullptr;
}

std::size_t Desktop::TopOfBand(bool topmost) const {
    if (topmost)
        return 0;
    std::size_t index = 0;
    while (index < zOrder_.size() && windows_.at(Id(zOrder_[index])).topmost)
        ++index;
    return index;
}

void Desktop::BringToTop(platform::WindowHandle window) {
    if (std::erase(zOrder_, window) == 0)
        return;
    zOrder_.insert(zOrder_.begin() + TopOfBand(At(window).topmost), window);
}

bool Desktop::Exists(platform::WindowHandle window) const {
    return Find(window) != nullptr;
}

const Window* Desktop::Find(platform::WindowHandle window) const {
    auto found = windows_.find(Id(window));
    return found == windows_.end() ? nullptr : &found->second;
}

Window& Desktop::At(platform::WindowHandle window) {
    auto found = windows_.find(Id(window));
    if (found == windows_.end()) {
        std::fprintf(stderr, "sim::Desktop: no window %s\n", Name(window).c_str());
        std::abort();
    }
    return found->second;
}

std::vector<std::string> Desktop::LogLines() const {
    std::vector<std::string> lines;
    for (const Operation& op : log_)
        lines.push_back(op.ToString());
    return lines;
}

std::vector<std::string> Desktop::LogLines(Operation::Kind kind) const {
    std::vector<std::string> lines;
    for (const Operation& op : log_) {
        if (op.kind == kind)
            lines.push_back(op.ToString());
    }
    return lines;
}

void Desktop::OpenTabs(platform::WindowHandle frame, const std::vector<std::string>& addresses,
                       std::size_t front) {
    for (std::size_t i = 1; i < addresses.size(); ++i) {
        Record({.kind = Operation::Kind::TabOpened,
                .window = frame,
                .values = {i == front ? 1 : 0},
                .text = addresses[i]});
        auto found = windows_.find(Id(frame));
        if (found == windows_.end() || found->second.refusesTabs)
            return;
        if (i == front) {
            for (platform::FrameTab& tab : found->second.tabs)
                tab.front = false;
        }
        found->second.tabs.push_back({addresses[i], i == front});
    }
}

void Desktop::LaunchCreatesNothing() {
    launchHandler_ = [](Desktop&, platform::ProcessId, const std::string&) {};
}

Desktop::LaunchHandler Desktop::Opening(Opens opens, FrameShape shape) {
    return [opens, shape](Desktop& d, platform::ProcessId pid, const std::string& arg) {
        platform::ProcessId owner = opens == Opens::HandedOff ? d.NewProcessId() : pid;
        const platform::WindowHandle running = d.FindChild(nullptr, "IEFrame");
        if (opens == Opens::Merged && running != nullptr)
            owner = d.At(running).pid;
        d.AddBrowserFrame(owner, "", arg, {1, {0, 0, 800, 600}}, shape);
    };
}

platform::WindowHandle Desktop::FindChild(platform::WindowHandle parent,
                                          const std::string& className) const {
    // FindWindowExA with no parent searches the desktop's children, that is
    // the top-level windows, in Z order.
    const Window* w = Find(parent);
    if (parent != nullptr && w == nullptr)
        return nullptr;
    for (platform::WindowHandle child : parent == nullptr ? zOrder_ : w->children) {
        if (Find(child)->className == className)
            return child;
    }
    return nullptr;
}

void Desktop::PostClose(platform::WindowHandle window) {
    Record({.kind = Operation::Kind::CloseRequested, .window = window});
    const Window* w = Find(window);
    if (w != nullptr && w->closesOnRequest)
        RemoveWindow(window);
}

void Desktop::Move(platform::WindowHandle window, std::int32_t x, std::int32_t y,
                   std::int32_t width, std::int32_t height, MoveWait wait) {
    Record({.kind = Operation::Kind::Moved, .window = window, .values = {x, y, width, height}});
    if (!Exists(window))
        return;
    Window& w = At(window);
    // A snapshot file may hold any 32-bit position and size; the edges wrap
    // instead of overflowing, as the 32-bit arithmetic of a real system does.
    auto edge = [](std::int32_t from, std::int32_t span) {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(from) +
                                         static_cast<std::uint32_t>(span));
    };
    const platform::Rect target{x, y, edge(x, width), edge(y, height)};
    platform::Rect rect = target;
    const std::size_t monitor = MonitorIndexOf(rect);
    const std::int32_t scale = monitor < monitorScales.size() ? monitorScales[monitor] : 100;
    if (scale != w.scale && w.scale > 0) {
        rect.right = edge(x, static_cast<std::int32_t>(std::int64_t{width} * scale / w.scale));
        rect.bottom = edge(y, static_cast<std::int32_t>(std::int64_t{height} * scale / w.scale));
        w.scale = scale;
    }
    if (std::int64_t{rect.right} - rect.left > w.maxWidth)
        rect.right = edge(x, w.maxWidth);
    if (std::int64_t{rect.bottom} - rect.top > w.maxHeight)
        rect.bottom = edge(y, w.maxHeight);
    if (wait == MoveWait::UntilPlaced && rect != target && rect == w.rect)
        Advance(1000);
    w.rect = rect;
    // A maximised or minimised window is moved where it is shown; its normal
    // rectangle stays.
    if (w.placement.showCmd == 2 || w.placement.showCmd == 3)
        return;
    const auto [dx, dy] = WorkAreaOffset(rect);
    w.placement.normal = Shifted(rect, -dx, -dy);
}

std::size_t Desktop::MonitorIndexOf(const platform::Rect& screen) const {
    std::size_t found = monitors.size();
    std::int64_t most = -1;
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        const platform::Rect& m = monitors[i].area;
        const std::int64_t w =
            std::int64_t{std::min(screen.right, m.right)} - std::max(screen.left, m.left);
        const std::int64_t h =
            std::int64_t{std::min(screen.bottom, m.bottom)} - std::max(screen.top, m.top);
        const std::int64_t area = w > 0 && h > 0 ? w * h : 0;
        if (area > most) {
            most = area;
            found = i;
        }
    }
    return found;
}

std::pair<std::int32_t, std::int32_t> Desktop::WorkAreaOffset(const platform::Rect& screen) const {
    const std::size_t i = MonitorIndexOf(screen);
    if (i == monitors.size())
        return {0, 0};
    const platform::Monitor& m = monitors[i];
    return {m.workArea.left - m.area.left, m.workArea.top - m.area.top};
}

void Desktop::Show(platform::WindowHandle window, std::int32_t showCmd) {
    Record({.kind = Operation::Kind::Shown, .window = window, .values = {showCmd, 0, 0, 0}});
    if (!Exists(window))
        return;
    Window& w = At(window);
    w.visible = showCmd != 0;  // SW_HIDE
    // SW_SHOWNOACTIVATE and SW_RESTORE bring the window to its normal state,
    // at its normal rectangle, as SW_SHOWNORMAL does.
    if ((showCmd == 4 || showCmd == 9) && w.placement.showCmd == 2 && w.restoresMaximized) {
        w.placement.showCmd = 3;
        w.restoresMaximized = false;
    } else if (showCmd == 1 || showCmd == 4 || showCmd == 9) {
        w.placement.showCmd = 1;
        const auto [dx, dy] = WorkAreaOffset(w.placement.normal);
        w.rect = Shifted(w.placement.normal, dx, dy);
    } else if (showCmd != 0) {
        w.placement.showCmd = showCmd;
    }
}

platform::WindowHandle Desktop::Below(platform::WindowHandle window) const {
    ++belowSteps_;
    for (std::size_t i = 0; i < zOrder_.size(); ++i) {
        if (zOrder_[i] != window)
            continue;
        if (i + 1 < zOrder_.size())
            return zOrder_[i + 1];
        return belowSteps_ < kLoopingChainEnd ? zChainLoopsTo : nullptr;
    }
    return nullptr;
}

void Desktop::SetTopmost(platform::WindowHandle window, bool topmost) {
    Record({.kind = Operation::Kind::TopmostSet, .window = window, .values = {topmost, 0, 0, 0}});
    if (!Exists(window) || At(window).parent != nullptr)
        return;
    // HWND_TOPMOST puts the window at the top of the topmost band,
    // HWND_NOTOPMOST at the top of the others.
    std::erase(zOrder_, window);
    At(window).topmost = topmost;
    zOrder_.insert(zOrder_.begin() + TopOfBand(topmost), window);
    foreground = window;
}

void Desktop::Stack(const std::vector<platform::WindowHandle>& topFirst) {
    Operation op{.kind = Operation::Kind::Stacked};
    for (platform::WindowHandle window : topFirst)
        op.text += " " + Name(window);
    Record(std::move(op));
    // The first to the top of its band, each next directly below the one
    // placed before it; no other window moves.
    for (std::size_t i = 0; i < topFirst.size(); ++i) {
        if (i == 0 || !Exists(topFirst[i - 1]))
            BringToTop(topFirst[i]);
        else if (std::erase(zOrder_, topFirst[i]) != 0)
            zOrder_.insert(std::find(zOrder_.begin(), zOrder_.end(), topFirst[i - 1]) + 1,
                           topFirst[i]);
    }
    if (!topFirst.empty() && Exists(topFirst.front()))
        foreground = topFirst.front();
}

platform::ProcessId Desktop::Start(const std::string& application, const std::string& commandLine) {
    Record({.kind = Operation::Kind::Launched, .text = commandLine});
    if (launchFails_) {
        launches_.push_back({application, commandLine, 0});
        return 0;
    }
    platform::ProcessId pid = NewProcessId();
    launches_.push_back({application, commandLine, pid});
    if (launchHandler_)
        launchHandler_(*this, pid, ArgumentOf(commandLine));
    return pid;
}

void Desktop::Sleep(std::uint32_t milliseconds) {
    Record({.kind = Operation::Kind::Slept, .values = {static_cast<std::int32_t>(milliseconds)}});
    sleeps_.push_back(milliseconds);
    Advance(milliseconds);
}

void Desktop::Advance(std::uint32_t milliseconds) {
    elapsedMs_ += milliseconds;
    std::uint64_t total = subSecondMs_ + static_cast<std::uint64_t>(milliseconds);
    epochSeconds_ += static_cast<std::int64_t>(total / 1000);
    subSecondMs_ = static_cast<std::uint32_t>(total % 1000);
}

void Desktop::SetLocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    // The virtual clock keeps local time directly; timegm avoids any time zone.
    epochSeconds_ = timegm(&fields);
    subSecondMs_ = 0;
}

std::optional<std::tm> Desktop::LocalTime() const {
    if (localTimeFails_)
        return std::nullopt;
    std::tm fields{};
    if (realClock_) {
        std::time_t now = std::time(nullptr);
        if (localtime_r(&now, &fields) == nullptr)
            return std::nullopt;
        return fields;
    }
    std::time_t virtualNow = static_cast<std::time_t>(epochSeconds_);
    if (gmtime_r(&virtualNow, &fields) == nullptr)
        return std::nullopt;
    return fields;
}

}  // namespace sim

namespace platform {

std::vector<WindowHandle> TopLevelWindows() {
    return sim::Desktop::Current().TopLevelWindows();
}

std::string WindowClassName(WindowHandle window) {
    const sim::Window* w = sim::Desktop::Current().Find(window);
    return w == nullptr ? std::string() : sim::CutAsBufferOf1024(w->className);
}

std::string WindowTitle(WindowHandle window) {
    const sim::Window* w = sim::Desktop::Current().Find(window);
    return w == nullptr ? std::string() : sim::CutAsBufferOf1024(w->title);
}

ProcessId WindowProcess(WindowHandle window) {
    const sim::Window* w = sim::Desktop::Current().Find(window);
    return w == nullptr ? 0 : w->pid;
}

std::optional<Placement> WindowPlacement(WindowHandle window) {
    sim::Desktop& desktop = sim::Desktop::Current();
    const sim::Window* w = desktop.Find(window);
    if (w != nullptr && w->closesWhenPlacementQueried)
        desktop.RemoveWindow(window);
    if (!desktop.Exists(window) || w->placementQueryFails)
        return std::nullopt;
    return w->placement;
}

bool WindowExists(WindowHandle window) {
    return sim::Desktop::Current().Exists(window);
}

std::optional<Rect> WindowRect(WindowHandle window) {
    const sim::Window* w = sim::Desktop::Current().Find(window);
    if (w == nullptr || w->rectQueryFails)
        return std::nullopt;
    return w->rect;
}

WindowHandle FindChildWindow(WindowHandle parent, const std::string& className) {
    return sim::Desktop::Current().FindChild(parent, className);
}

std::string AddressBarText(WindowHandle addressBar) {
    const sim::Window* w = sim::Desktop::Current().Find(addressBar);
    return w == nullptr ? std::string() : sim::CutAsBufferOf1024(w->text);
}

std::vector<FrameTab> FrameTabs(WindowHandle frame) {
    const sim::Window* w = sim::Desktop::Current().Find(frame);
    return w == nullptr ? std::vector<FrameTab>() : w->tabs;
}

void OpenTabs(WindowHandle frame, const std::vector<std::string>& addresses, std::size_t front) {
    sim::Desktop::Current().OpenTabs(frame, addresses, front);
}

void PostCloseRequest(WindowHandle window) {
    sim::Desktop::Current().PostClose(window);
}

void MoveWindowTo(WindowHandle window, std::int32_t x, std::int32_t y, std::int32_t width,
                  std::int32_t height) {
    sim::Desktop::Current().Move(window, x, y, width, height, sim::Desktop::MoveWait::UntilPlaced);
}

void MoveWindowAgainTo(WindowHandle window, std::int32_t x, std::int32_t y, std::int32_t width,
                       std::int32_t height) {
    sim::Desktop::Current().Move(window, x, y, width, height, sim::Desktop::MoveWait::UntilHandled);
}

void ShowWindowAs(WindowHandle window, std::int32_t showCmd) {
    sim::Desktop::Current().Show(window, showCmd);
}

WindowHandle NextWindowBelow(WindowHandle window) {
    return sim::Desktop::Current().Below(window);
}

bool IsWindowShown(WindowHandle window) {
    const sim::Window* w = sim::Desktop::Current().Find(window);
    return w != nullptr && w->visible;
}

void SetTopmost(WindowHandle window, bool topmost) {
    sim::Desktop::Current().SetTopmost(window, topmost);
}

void StackWindows(const std::vector<WindowHandle>& topFirst) {
    sim::Desktop::Current().Stack(topFirst);
}

std::vector<Monitor> Monitors() {
    return sim::Desktop::Current().monitors;
}

WindowHandle MainWindow() {
    return sim::Desktop::Current().mainWindow;
}

void SetMainWindow(WindowHandle window) {
    sim::Desktop::Current().mainWindow = window;
}

void ShowErrorBox(const std::string& text, const std::string& caption) {
    sim::Desktop::Current().errorBoxes.emplace_back(text, caption);
}

ProcessId StartProcess(const std::string& application, const std::string& commandLine) {
    return sim::Desktop::Current().Start(application, commandLine);
}

void SleepFor(std::uint32_t milliseconds) {
    sim::Desktop::Current().Sleep(milliseconds);
}

std::optional<std::tm> LocalTimeNow() {
    return sim::Desktop::Current().LocalTime();
}

std::optional<std::string> ProgramFilesFolder() {
    return sim::Desktop::Current().programFiles;
}

}  // namespace platform
