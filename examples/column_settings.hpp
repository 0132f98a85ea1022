#pragma once
// A grid's column order and widths kept in the program's settings file, by
// field name, so that a width stays with its column wherever the user drags
// it. Under keys starting with the grid's name (`grid`, "HISTORY"):
//   "<grid> COLUMN ORDER" = the field names as the columns stand, separated by commas;
//   "<grid> <FIELD>"      = the width of the column showing FIELD.
// Files of earlier versions hold "<grid> <n>", one width per position of the
// columns as the grid first lays them out; those still count where no width
// by name is given.
#include <string>

#include "engine/grid/tzgrid.hpp"
#include "framework/ui/inifiles.hpp"

namespace demo {

// The key of the order; the space keeps it apart from every field name.
std::string ColumnOrderKey(const std::string& grid);
std::string ColumnWidthKey(const std::string& grid, const std::string& field);

// Names the file does not know are ignored, and so are columns it does not
// name: those follow the named ones, in the order they had.
void ReadColumnSettings(zurod::TTzGrid* grid, const ui::TIniFile& ini, const std::string& section,
                        const std::string& grid_name);
// Writes only what changed, and drops the widths by position.
void WriteColumnSettings(zurod::TTzGrid* grid, ui::TIniFile& ini, const std::string& section,
                         const std::string& grid_name);

}  // namespace demo
