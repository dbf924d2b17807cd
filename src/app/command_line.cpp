// The command-line tail, computed the way the C runtime does for WinMain, so
// that the rule does not depend on which runtime the program is linked with,
// and mended for a program path passed unquoted.
#include "command_line.h"

#include "../common/text.h"

namespace {

// Where the name ends when line begins with the first length characters of
// program as a whole word, else null.
const wchar_t* after_program(const wchar_t* line, const wchar_t* program, size_t length) {
    const wchar_t* p = line;
    for (size_t i = 0; i < length; ++i, ++p) {
        if (ascii_lower(*p) != ascii_lower(program[i])) return nullptr;
    }
    return *p <= 0x20 ? p : nullptr;
}

// The program's path as typed, with or without its ".exe": CreateProcessW
// adds the extension to a name written without one.
const wchar_t* after_program(const wchar_t* line, const wchar_t* program) {
    if (program == nullptr || *program == 0) return nullptr;
    size_t length = text_length(program);
    const wchar_t* p = after_program(line, program, length);
    const wchar_t ext[] = L".exe";
    bool has_ext = length > 4;
    for (size_t i = 0; has_ext && i < 4; ++i) {
        has_ext = ascii_lower(program[length - 4 + i]) == ext[i];
    }
    return p != nullptr || !has_ext ? p : after_program(line, program, length - 4);
}

const wchar_t* skip_blanks(const wchar_t* p) {
    while (*p != 0 && *p <= 0x20) ++p;
    return p;
}

// True when full, a full path, is program with or without its ".exe".
bool names_program(const wchar_t* full, const wchar_t* program) {
    const wchar_t* end = after_program(full, program);
    return end != nullptr && *end == 0;
}

}  // namespace

const wchar_t* resolved_command_line_tail(const wchar_t* line, const wchar_t* program,
                                          FullPathFn full_path) {
    // A quoted name is told by its quotes, as is one that is the path as it is.
    if (line[0] == 0 || line[0] == L'"' || after_program(line, program) != nullptr ||
        program == nullptr || *program == 0) {
        return command_line_tail(line, program);
    }
    for (const wchar_t* end = line + 1; end[-1] != L'"'; ++end) {
        if (*end > 0x20) continue;
        if (end[-1] > 0x20) {
            wchar_t full[1000];
            size_t length = static_cast<size_t>(end - line);
            if (!full_path(line, length, full, sizeof full / sizeof full[0])) return nullptr;
            if (names_program(full, program)) return skip_blanks(end);
        }
        if (*end == 0) break;
    }
    return command_line_tail(line, program);
}

const wchar_t* command_line_tail(const wchar_t* line, const wchar_t* program) {
    // CreateProcessW runs "C:\Update Package\setup.exe /qn" unquoted when the
    // program is named apart; by the quote rule "Package\setup.exe" would be
    // passed on to msiexec as an option.
    const wchar_t* p = after_program(line, program);
    if (p == nullptr) {
        p = line;
        bool quoted = false;
        while (*p != 0 && (quoted || *p > 0x20)) {
            if (*p == L'"') quoted = !quoted;
            ++p;
        }
    }
    return skip_blanks(p);
}
