// The command-line tail: the process command line less the program name and
// the blanks and control characters that follow it.
#pragma once

#include <stddef.h>

// Returns a pointer into line where the tail begins (at its zero when there
// is none). When line begins with program, the running module's own path,
// with or without its ".exe", in any case of the letters A-Z and followed by
// a character of value 0x20 or below or the end, the name is that path: a
// parent that names the program apart may pass it unquoted, blanks and all. Otherwise the name
// ends at the first character of value 0x20 or below outside double quotes.
// UTF-16 has no lead bytes to carry along.
const wchar_t* command_line_tail(const wchar_t* line, const wchar_t* program);

// Writes the full path that Windows makes of the first length characters of
// candidate (GetFullPathNameW) into out, cap characters; false when it
// cannot, or the result does not fit.
typedef bool (*FullPathFn)(const wchar_t* candidate, size_t length, wchar_t* out, size_t cap);

// command_line_tail, where an unquoted line may also begin with the
// program's path spelt another way ("C:/Upd Dir/setup.exe", "C:\Upd
// Dir\.\setup.exe"): each stretch of the line up to a blank is taken as the
// name when its full path is the program's, in any case, with or without
// ".exe". Null when a stretch's full path cannot be made, so that the name
// cannot be told.
const wchar_t* resolved_command_line_tail(const wchar_t* line, const wchar_t* program,
                                          FullPathFn full_path);
