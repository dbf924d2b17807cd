// The forwarded arguments: the command-line tail less every "/s".
#pragma once

// Removes every occurrence of the two-character switch sw (two different
// characters) from tail, again wherever a removal brings its characters
// together, then writes at most cap - 1 characters of the result to out and
// zero-fills the rest of out. The removals happen on the whole tail, before
// the cut.
void filter_arguments(const wchar_t* tail, const wchar_t* sw, wchar_t* out, int cap);
