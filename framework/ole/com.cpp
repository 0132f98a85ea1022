// The object model's base: identifiers, task memory and wide strings.
#include "framework/ole/com.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/codepage.hpp"

namespace ole {

std::string GuidToString(const GUID& g) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", unsigned(g.Data1),
                  unsigned(g.Data2), unsigned(g.Data3), g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
                  g.Data4[5], g.Data4[6], g.Data4[7]);
    return buf;
}

void GuidToBytes(const GUID& g, uint8_t out[16]) {
    for (int i = 0; i < 4; ++i) out[i] = uint8_t(g.Data1 >> (8 * i));
    out[4] = uint8_t(g.Data2), out[5] = uint8_t(g.Data2 >> 8);
    out[6] = uint8_t(g.Data3), out[7] = uint8_t(g.Data3 >> 8);
    std::memcpy(out + 8, g.Data4, 8);
}

GUID GuidFromBytes(const uint8_t in[16]) {
    GUID g;
    for (int i = 0; i < 4; ++i) g.Data1 |= uint32_t(in[i]) << (8 * i);
    g.Data2 = uint16_t(in[4] | in[5] << 8);
    g.Data3 = uint16_t(in[6] | in[7] << 8);
    std::memcpy(g.Data4, in + 8, 8);
    return g;
}

namespace {
std::atomic<size_t> g_live_blocks{0};
}

void* CoTaskMemAlloc(size_t bytes) {
    void* p = std::malloc(bytes ? bytes : 1);
    if (p) ++g_live_blocks;
    return p;
}

void CoTaskMemFree(void* p) {
    if (!p) return;
    --g_live_blocks;
    std::free(p);
}

size_t CoTaskMemLiveBlocks() { return g_live_blocks; }

char* CoTaskStrDup(std::string_view ansi) {
    auto* p = static_cast<char*>(CoTaskMemAlloc(ansi.size() + 1));
    if (!p) return nullptr;
    std::memcpy(p, ansi.data(), ansi.size());
    p[ansi.size()] = 0;
    return p;
}

LPOLESTR CoTaskWideDup(std::u16string_view wide) {
    auto* p = static_cast<LPOLESTR>(CoTaskMemAlloc((wide.size() + 1) * sizeof(OLECHAR)));
    if (!p) return nullptr;
    std::memcpy(p, wide.data(), wide.size() * sizeof(OLECHAR));
    p[wide.size()] = 0;
    return p;
}

std::u16string Utf8ToWide(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const auto c = uint8_t(utf8[i]);
        uint32_t cp = c;
        int extra = 0;
        if (c >= 0xF0)
            cp = c & 0x07, extra = 3;
        else if (c >= 0xE0)
            cp = c & 0x0F, extra = 2;
        else if (c >= 0xC0)
            cp = c & 0x1F, extra = 1;
        ++i;
        for (int k = 0; k < extra && i < utf8.size(); ++k, ++i) cp = cp << 6 | (uint8_t(utf8[i]) & 0x3F);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += char16_t(0xD800 + (cp >> 10));
            out += char16_t(0xDC00 + (cp & 0x3FF));
        } else {
            out += char16_t(cp);
        }
    }
    return out;
}

std::string WideToUtf8(std::u16string_view wide) {
    std::string utf8;
    utf8.reserve(wide.size());
    for (size_t i = 0; i < wide.size(); ++i) {
        uint32_t cp = wide[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] < 0xE000)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (wide[++i] - 0xDC00);
        if (cp < 0x80) {
            utf8 += char(cp);
        } else if (cp < 0x800) {
            utf8 += char(0xC0 | cp >> 6), utf8 += char(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            utf8 += char(0xE0 | cp >> 12), utf8 += char(0x80 | (cp >> 6 & 0x3F)), utf8 += char(0x80 | (cp & 0x3F));
        } else {
            utf8 += char(0xF0 | cp >> 18), utf8 += char(0x80 | (cp >> 12 & 0x3F));
            utf8 += char(0x80 | (cp >> 6 & 0x3F)), utf8 += char(0x80 | (cp & 0x3F));
        }
    }
    return utf8;
}

std::u16string AnsiToWide(std::string_view ansi) { return Utf8ToWide(platform::AnsiToUtf8(ansi)); }
std::string WideToAnsi(std::u16string_view wide) { return platform::Utf8ToAnsi(WideToUtf8(wide)); }

}  // namespace ole

namespace ole {

std::string OleErrorText(HRESULT hr) {
    switch (hr) {
    case E_NOTIMPL: return "Not implemented";
    case E_NOINTERFACE: return "No such interface supported";
    case E_POINTER: return "Invalid pointer";
    case E_INVALIDARG: return "The parameter is incorrect";
    case E_OUTOFMEMORY: return "Not enough storage is available to complete this operation";
    case STG_E_FILENOTFOUND: return "The system cannot find the file specified";
    case STG_E_INVALIDHEADER: return "The compound file is not valid";
    case MK_E_SYNTAX: return "Invalid syntax";
    case MK_E_NOOBJECT: return "The object could not be found";
    case OLE_E_CANT_BINDTOSOURCE: return "Not able to bind to the source";
    case kNotRegularFile: return "Not a regular file";
    default: break;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "OLE error %08X", unsigned(hr));
    return buf;
}

HRESULT OleCheck(HRESULT hr) {
    if (FAILED(hr)) throw EOleSysError(OleErrorText(hr), hr);
    return hr;
}

}  // namespace ole
