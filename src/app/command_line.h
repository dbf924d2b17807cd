// The command-line tail: the process command line less the program name and
// the blanks and control characters that follow it.
#pragma once

// Returns a pointer into line where the tail begins (at its zero when there
// is none). When line begins with program, the running module's own path,
// with or without its ".exe", in any case of the letters A-Z and followed by
// a character of value 0x20 or below or the end, the name is that path: a
// parent that names the program apart may pass it unquoted, blanks and all. Otherwise the name
// ends at the first character of value 0x20 or below outside double quotes.
// UTF-16 has no lead bytes to carry along.
const wchar_t* command_line_tail(const wchar_t* line, const wchar_t* program);
