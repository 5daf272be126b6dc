#pragma once

// What tolm-convert tells its caller.
namespace ExitStatus {
enum : int {
    Converted = 0, // every file converted (or skipped because its output exists)
    SomeFailed = 1, // at least one file could not be converted; each is named on standard error
    BadCommandLine = 2, // nothing was converted
    Interrupted = 130, // Ctrl-C: every child ended, their temporary files gone
};
} // namespace ExitStatus
