// The command-line tail: a suffix of the line that never starts with a
// blank or control character, for any UTF-16 units.
#include <stdint.h>
#include <wchar.h>

#include <string>

#include "../src/app/command_line.h"
#include "fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::wstring line;
    for (size_t i = 0; i + 1 < size; i += 2)
        line += static_cast<wchar_t>(data[i] | data[i + 1] << 8);
    line = line.c_str();  // up to the first zero, as Windows hands it over
    // The line's own first word as the program: a path that may hold blanks.
    std::wstring program = line.substr(0, line.find(L' ', line.size() / 2));
    const wchar_t* tail = command_line_tail(line.c_str(), program.c_str());
    FUZZ_CHECK(tail >= line.c_str() && tail <= line.c_str() + line.size());
    FUZZ_CHECK(tail[0] == 0 || tail[0] > 0x20);
    FUZZ_CHECK(wcslen(tail) == line.size() - static_cast<size_t>(tail - line.c_str()));
    return 0;
}
