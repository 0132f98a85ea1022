#include "examples/column_settings.hpp"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <vector>

namespace demo {

namespace {

bool SameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
    });
}

std::string_view Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// "<grid> <n>": a width by position, as earlier versions wrote them.
bool PositionKey(const std::string& key, const std::string& grid) {
    if (key.size() <= grid.size() + 1 || !SameName(std::string_view(key).substr(0, grid.size()), grid) ||
        key[grid.size()] != ' ')
        return false;
    return std::all_of(key.begin() + long(grid.size()) + 1, key.end(),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

void WriteIfChanged(ui::TIniFile& ini, const std::string& section, const std::string& key, const std::string& value) {
    if (!ini.ValueExists(section, key) || ini.ReadString(section, key, "") != value)
        ini.WriteString(section, key, value);
}

}  // namespace

std::string ColumnOrderKey(const std::string& grid) { return grid + " COLUMN ORDER"; }

std::string ColumnWidthKey(const std::string& grid, const std::string& field) { return grid + " " + field; }

void ReadColumnSettings(zurod::TTzGrid* grid, const ui::TIniFile& ini, const std::string& section,
                        const std::string& grid_name) {
    zurod::TTzGridColumns& columns = grid->Columns();
    grid->BeginLayout();
    // Widths by position first (the columns still stand as first laid out), then by name.
    for (int i = 0; i < columns.Count(); ++i) {
        const int width = ini.ReadInteger(section, grid_name + " " + std::to_string(i), -1);
        if (width > 0) columns[i]->SetWidth(width);
    }
    for (int i = 0; i < columns.Count(); ++i) {
        const std::string& field = columns[i]->FieldName();
        if (field.empty()) continue;
        const int width = ini.ReadInteger(section, ColumnWidthKey(grid_name, field), -1);
        if (width > 0) columns[i]->SetWidth(width);
    }
    // The named columns to the front in the order given; a name met twice or unknown moves nothing.
    const std::string order = ini.ReadString(section, ColumnOrderKey(grid_name), "");
    int next = 0;
    for (size_t start = 0; start <= order.size() && next < columns.Count();) {
        size_t comma = order.find(',', start);
        if (comma == std::string::npos) comma = order.size();
        const std::string_view name = Trimmed(std::string_view(order).substr(start, comma - start));
        start = comma + 1;
        if (name.empty()) continue;
        for (int i = next; i < columns.Count(); ++i) {
            if (!SameName(columns[i]->FieldName(), name)) continue;
            columns[i]->SetIndex(next++);
            break;
        }
    }
    grid->EndLayout();  // lays the grid out and repaints it
}

void WriteColumnSettings(zurod::TTzGrid* grid, ui::TIniFile& ini, const std::string& section,
                         const std::string& grid_name) {
    zurod::TTzGridColumns& columns = grid->Columns();
    std::string order;
    for (int i = 0; i < columns.Count(); ++i) {
        zurod::TTzColumn* column = columns[i];
        if (column->FieldName().empty()) continue;
        if (!order.empty()) order += ',';
        order += column->FieldName();
        WriteIfChanged(ini, section, ColumnWidthKey(grid_name, column->FieldName()),
                       std::to_string(column->GetWidth()));
    }
    WriteIfChanged(ini, section, ColumnOrderKey(grid_name), order);
    for (const std::string& key : ini.ReadSection(section))
        if (PositionKey(key, grid_name)) ini.DeleteKey(section, key);
}

}  // namespace demo
