#pragma once
// Libraries that write to standard error on their own (libpng reports a
// damaged picture there, past Qt's message handler) are muted for a moment.

namespace Platform {

// Standard error goes nowhere while any of them lives (they may overlap on
// several threads). Process-wide: nothing else may need to write there meanwhile.
class MutedStandardError {
public:
    MutedStandardError();
    ~MutedStandardError();
    MutedStandardError(const MutedStandardError &) = delete;
    MutedStandardError &operator=(const MutedStandardError &) = delete;
};

} // namespace Platform
