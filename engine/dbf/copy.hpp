#pragma once
// Copying the current area's structure and visible records to a new table
// file, and appending the records of another table or virtual file.
#include <functional>
#include <string>

namespace zurod {

// Asked for each visible record: whether to copy it.
using CopyCondition = std::function<bool()>;

void CopyTo(const std::string& file_name, const CopyCondition& condition = nullptr);
// `source` is a table file's name, or a virtual file's name followed by
// "VIRTUAL FILE" (or "LINKED LIST").
void AppendFrom(const std::string& source, const CopyCondition& condition = nullptr);

// Where AppendFromTable takes its records; the name is taken as it is, never
// read for keywords.
struct AppendSource {
    std::string name;  // a table file's path, or the name of an open virtual file
    bool is_virtual = false;
    std::string label;  // for messages; the name when empty
};
// Values of the source that do not fit the target refuse the whole append:
// nothing is appended, and the error names the record and the field.
void AppendFromTable(const AppendSource& source, const CopyCondition& condition = nullptr);

}  // namespace zurod
