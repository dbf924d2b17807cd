// A record line, whatever its detail and buffer: within the buffer, one line
// ending in CR LF, and no other character a reader could take for a line end.
#include <stdint.h>

#include <string>

#include "../src/record/record.h"
#include "fuzz.h"

namespace {

bool ends_a_line(wchar_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    size_t cap = 1 + data[0] * 12;  // up to 3,061 units: past kRecordLineChars too
    std::wstring detail;
    for (size_t i = 1; i + 1 < size; i += 2) {
        wchar_t c = static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
        detail += c == 0 ? L'a' : c;
    }
    std::wstring line(cap + 1, L'\x5A5A');
    const RecordTime time = {2026, 12, 3, 9, 1, 2, 3, 4};
    size_t length = record_line(&line[0], cap, time, 4242, "options", nullptr, detail.c_str());
    FUZZ_CHECK(line[cap] == L'\x5A5A');  // nothing past the buffer
    if (length == 0) return 0;
    FUZZ_CHECK(length < cap && line[length] == 0);
    FUZZ_CHECK(length >= 2 && line[length - 2] == L'\r' && line[length - 1] == L'\n');
    for (size_t i = 0; i + 2 < length; ++i) FUZZ_CHECK(!ends_a_line(line[i]));
    return 0;
}
