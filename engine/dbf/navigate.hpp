#pragma once
// Moving the record pointer of the current area, and the visibility rules
// (the ignore-deleted switch and the filter) that walks pass over.
#include <cstdint>
#include <string>

namespace zurod {

void GoTop();
void GoBottom();
void SKIP(int32_t n = 1);
void GO(int32_t n);
// Reads record n with no visibility test, index or lock; past the end puts
// the area at EOF without an error.
void Dbf4RawGo(int32_t n);
bool GoToChecked(int32_t n);
void GoTopScope();
void GoBottomScope();
int32_t RecCount();
int32_t RecNo();
bool dEOF();
bool dBOF();
// RecNo, dBOF and dEOF in one call, for callers that ask all three after
// every move.
struct AreaPosition {
    int32_t rec_no = 0;
    bool bof = true;
    bool eof = true;
};
AreaPosition CurrentPosition();
bool SetIgnoreDel(bool flag);
void Set_Filter_To(const std::string& expression);
bool FilterTrue();
bool SkipIfHidden();

}  // namespace zurod
