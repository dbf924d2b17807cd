// The forwarded arguments: the command-line tail less every whole "/s".
#pragma once

// Copies tail to out without each occurrence of the switch sw that stands as
// a whole argument: at the start or after a blank, followed by a blank or
// the end, outside double quotes; case-sensitive. The blanks around a
// removed switch stay. Writes at most cap - 1 characters of the result and
// zero-fills the rest of out; the removals happen before the cut.
void filter_arguments(const wchar_t* tail, const wchar_t* sw, wchar_t* out, int cap);

// True when the forwarded arguments ask msiexec for a quiet run: /q, /qn
// and /qb in any of their forms (/qn+, /qb-, /qb!, /qb-!, /qb!-), /quiet or
// /passive, with "-" for "/" too, in any case of letters, as a whole word.
// /qr and /qf are not quiet.
bool asks_quiet(const wchar_t* args);

// True when msiexec, given these options, would show a window that waits
// for a click: no unattended level at all (its full interface), /qf or /qr
// anywhere, or a level with modal boxes (/qn+, /qb+, /qb, /qb!). Where nobody
// can see a window the run is refused instead.
bool waits_for_a_person(const wchar_t* args);

// True when the options ask msiexec for its help (/?, /h, /help) or for
// another operation than applying this patch (/i, /a, /j, /x, /uninstall,
// /f, /p, /package, /update, /y, /z, /unregister, /regserver), with "-" for
// "/", in any case; or set a property that turns the transaction into
// another one (REMOVE, ADDLOCAL, PATCH, MSIPATCHREMOVE, REINSTALL, ...).
// Words are judged as msiexec splits them: quotes taken off, and the word
// after /l... or /log is its log file, never an option. The same reading
// serves asks_quiet and waits_for_a_person.
bool asks_another_operation(const wchar_t* args);
