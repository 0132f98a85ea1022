// Creating a dataset's missing table from its field list: the lines of
// DbfFields read, corrected as a table can take them, and the file made.
#include <algorithm>

#include "engine/dataset/detail/texts.hpp"
#include "engine/dataset/engine_dataset.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/tables.hpp"
#include "framework/db/sysutils.hpp"
#include "platform/codepage.hpp"

namespace zurod {

std::optional<std::vector<FieldDef>> TZoVizuRez::ParseDbfFields() {
    std::vector<FieldDef> defs;
    for (int i = 0; i < dbf_fields_.Count(); ++i) {
        const std::string line = dbf_fields_.Get(i);
        if (std::count(line.begin(), line.end(), ',') != 3) return std::nullopt;
        std::string item[4];
        size_t at = 0;
        for (std::string& part : item) {
            const size_t comma = std::min(line.find(',', at), line.size());
            part = TzAllTrim(std::string_view(line).substr(at, comma - at));
            at = comma + 1;
        }
        FieldDef def;
        def.name = Cut(item[0], 10);
        def.type = item[1].empty() ? ' ' : platform::AnsiUpper(item[1][0]);
        def.length = db::StrToInt(item[2]);
        def.decimals = db::StrToInt(item[3]);
        if (def.type == 'X') continue;
        if (IsVirtual() && def.type == 'M') def.type = 'N', def.length = 10, def.decimals = 0;
        FieldDef fixed = def;
        if (fixed.type == 'B' || fixed.type == 'G' || fixed.type == 'P') fixed.type = 'M';
        if (std::string_view("CDFLMN").find(fixed.type) == std::string_view::npos) fixed.type = 'C';
        if (fixed.type == 'N') {
            if (fixed.length >= 21) fixed.length = 20;
            if (fixed.decimals >= 19) fixed.decimals = 18;
            if (fixed.decimals > 0 && fixed.length - fixed.decimals < 2) fixed.decimals = std::max(0, fixed.length - 2);
        }
        if (fixed.type == 'C' && fixed.length >= 255) fixed.length = 254, fixed.decimals = 0;
        if (fixed.type != def.type || fixed.length != def.length || fixed.decimals != def.decimals) {
            auto show = [](const FieldDef& d) {
                return d.name + "," + std::string(1, d.type) + "," + std::to_string(d.length) + "," +
                    std::to_string(d.decimals);
            };
            TzShowMessage("Invalid field definition for " + Name() + ": " + show(def) +
                          ". Will use corrected definition: " + show(fixed));
        }
        defs.push_back(std::move(fixed));
    }
    return defs;
}

bool TZoVizuRez::CreateTableFromFields(const std::string& file_name) {
    if (dbf_fields_.Count() <= 0) {
        TzShowMessage("FieldList.Count is <= 0 trying to create a database");
        return false;
    }
    std::optional<std::vector<FieldDef>> defs = ParseDbfFields();
    if (!defs) return false;
    ErrorHandlingScope quiet(false);
    SetLastErrorCode(0);
    CreateDbf(file_name, *defs);
    return LastErrorCode() == 0;
}

}  // namespace zurod
