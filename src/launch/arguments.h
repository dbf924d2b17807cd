// The forwarded arguments: the command-line tail less every "/s".
#pragma once

// Removes every occurrence of the two-byte switch sw (two different bytes)
// from tail, again wherever a removal brings its bytes together, then writes
// at most cap - 1 bytes of the result to out and zero-fills the rest of out.
// The removals happen on the whole tail, before the cut.
void filter_arguments(const char* tail, const char* sw, char* out, int cap);
