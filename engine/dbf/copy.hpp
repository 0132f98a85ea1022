#pragma once
// Copying the current area's structure and visible records to a new table
// file, and appending the records of another table or virtual file.
#include <functional>
#include <string>

namespace zurod {

// Asked for each visible record: whether to copy it.
using CopyCondition = std::function<bool()>;

void CopyTo(const std::string& file_name, const CopyCondition& condition = nullptr);
void AppendFrom(const std::string& source, const CopyCondition& condition = nullptr);

}  // namespace zurod
