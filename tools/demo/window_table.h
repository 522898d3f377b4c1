// The before/after table of the demo: each browser window's address, show
// state and on-screen rectangle before the save and after the restore, paired
// by address, with a match column. Portable, so that the pairing and the
// layout are tested on Linux.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace demo {

struct WindowState {
    std::string address;
    int showCmd = 0;  // SW_SHOWNORMAL 1, SW_SHOWMINIMIZED 2, SW_SHOWMAXIMIZED 3
    int left = 0, top = 0, right = 0, bottom = 0;
};
bool operator==(const WindowState& a, const WindowState& b);

struct ComparedRow {
    std::optional<WindowState> before;
    std::optional<WindowState> after;
    bool Matches() const { return before && after && *before == *after; }
};

// Pairs each window before with the first unpaired window after that has the
// same address, in order, so that two windows on one address pair up in the
// order they were listed. Windows left over on either side get a row of their
// own, which does not match.
std::vector<ComparedRow> CompareByAddress(const std::vector<WindowState>& before,
                                          const std::vector<WindowState>& after);

// True when there is at least one row and every row matches: an empty table
// means nothing came back, which is no success.
bool AllMatch(const std::vector<ComparedRow>& rows);

// "normal", "minimised", "maximised", or "show <n>" for any other command.
std::string ShowStateName(int showCmd);

// The rows as a text table with aligned columns, one line each ending in
// '\n', a header first; a missing side shows as "-".
std::string FormatTable(const std::vector<ComparedRow>& rows);

}  // namespace demo
