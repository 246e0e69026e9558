// Failures that the program absorbs are still worth a line in the journal, so
// that a user can see why a slider does nothing. Each kind of failure is
// written to standard error once per run, not once per slider move.
#pragma once

#include <string_view>

// Writes "pegelwerk: <message>" to standard error the first time `kind` is
// reported; later reports of the same kind are dropped. Safe from any thread.
void LogFailureOnce(std::string_view kind, std::string_view message);
