// A stand-in for the chm library whose opening of any file faults, as the
// library does on some damaged files; loaded by path, as the help viewer
// loads the library by name.
#include <signal.h>

struct chmFile;
struct chmUnitInfo;

extern "C" {

chmFile* chm_open(const char*) {
    raise(SIGSEGV);
    return nullptr;
}
void chm_close(chmFile*) {}
int chm_resolve_object(chmFile*, const char*, chmUnitInfo*) { return 1; }
long long chm_retrieve_object(chmFile*, chmUnitInfo*, unsigned char*, unsigned long long, long long) { return 0; }
int chm_enumerate(chmFile*, int, int (*)(chmFile*, chmUnitInfo*, void*), void*) { return 0; }
}
