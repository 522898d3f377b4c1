#include "window_table.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace demo {

bool operator==(const WindowState& a, const WindowState& b) {
    return a.address == b.address && a.showCmd == b.showCmd && a.left == b.left && a.top == b.top &&
           a.right == b.right && a.bottom == b.bottom;
}

std::vector<ComparedRow> CompareByAddress(const std::vector<WindowState>& before,
                                          const std::vector<WindowState>& after) {
    std::vector<ComparedRow> rows;
    std::vector<bool> paired(after.size(), false);
    for (const WindowState& window : before) {
        ComparedRow row{window, std::nullopt};
        for (std::size_t i = 0; i < after.size(); ++i) {
            if (!paired[i] && after[i].address == window.address) {
                paired[i] = true;
                row.after = after[i];
                break;
            }
        }
        rows.push_back(row);
    }
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (!paired[i])
            rows.push_back({std::nullopt, after[i]});
    }
    return rows;
}

bool AllMatch(const std::vector<ComparedRow>& rows) {
    return !rows.empty() &&
           std::all_of(rows.begin(), rows.end(), [](const ComparedRow& r) { return r.Matches(); });
}

std::string ShowStateName(int showCmd) {
    switch (showCmd) {
        case 1:
            return "normal";
        case 2:
            return "minimised";
        case 3:
            return "maximised";
        default:
            return "show " + std::to_string(showCmd);
    }
}

namespace {

std::string Describe(const std::optional<WindowState>& window) {
    if (!window)
        return "-";
    return ShowStateName(window->showCmd) + " (" + std::to_string(window->left) + "," +
           std::to_string(window->top) + ")-(" + std::to_string(window->right) + "," +
           std::to_string(window->bottom) + ")";
}

std::string Padded(const std::string& text, std::size_t width) {
    return text + std::string(width > text.size() ? width - text.size() : 0, ' ');
}

}  // namespace

std::string FormatTable(const std::vector<ComparedRow>& rows) {
    using Line = std::array<std::string, 4>;
    std::vector<Line> lines{{"address", "before", "after", "match"}};
    for (const ComparedRow& row : rows) {
        const WindowState& any = row.before ? *row.before : *row.after;
        lines.push_back(
            {any.address, Describe(row.before), Describe(row.after), row.Matches() ? "yes" : "NO"});
    }
    std::array<std::size_t, 4> width{};
    for (const Line& line : lines) {
        for (std::size_t c = 0; c < line.size(); ++c)
            width[c] = std::max(width[c], line[c].size());
    }
    std::string table;
    for (const Line& line : lines) {
        for (std::size_t c = 0; c + 1 < line.size(); ++c)
            table += Padded(line[c], width[c]) + " | ";
        table += line.back() + "\n";
    }
    return table;
}

}  // namespace demo
