#pragma once
// Libraries that write to standard error on their own (libpng reports a
// damaged picture there, past Qt's message handler) are muted for a moment.

namespace Platform {

// Standard error goes nowhere while any of them lives, on any thread.
// Process-wide: the program's own lines go through WriteStandardError.
class MutedStandardError {
public:
    MutedStandardError();
    ~MutedStandardError();
    MutedStandardError(const MutedStandardError &) = delete;
    MutedStandardError &operator=(const MutedStandardError &) = delete;
};

// Writes the program's own line to standard error as it was before any
// muting, so a progress line or a message is not lost while a decoder on
// another thread has it muted.
void WriteStandardError(const char *bytes, long long size);

} // namespace Platform
