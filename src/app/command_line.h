// The command-line tail: the process command line less the program name and
// the blanks and control characters that follow it.
#pragma once

typedef bool (*LeadByteTest)(unsigned char byte);

// Returns a pointer into line where the tail begins (at its zero when there
// is none). The name ends at the first byte of value 0x20 or below outside
// double quotes; a lead byte takes its second byte along.
const char* command_line_tail(const char* line, LeadByteTest is_lead_byte);
