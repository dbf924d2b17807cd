// The command-line tail: a suffix of the line that never starts with a
// blank or control byte, for any bytes and either lead-byte rule.
#include <stdint.h>
#include <string.h>

#include <string>

#include "../src/app/command_line.h"
#include "fuzz.h"

namespace {
bool no_lead(unsigned char) {
    return false;
}
bool sjis_lead(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::string line(reinterpret_cast<const char*>(data + 1), size - 1);
    line = line.c_str();  // up to the first zero, as Windows hands it over
    const char* tail = command_line_tail(line.c_str(), (data[0] & 1) ? sjis_lead : no_lead);
    FUZZ_CHECK(tail >= line.c_str() && tail <= line.c_str() + line.size());
    FUZZ_CHECK(tail[0] == 0 || static_cast<unsigned char>(tail[0]) > 0x20);
    FUZZ_CHECK(strlen(tail) == line.size() - static_cast<size_t>(tail - line.c_str()));
    return 0;
}
