// The floating-point environment of one exported call.
//
// Hosts written in Pascal (Delphi, Free Pascal) run with the invalid-operation,
// division-by-zero and overflow exceptions unmasked; the library, like the C
// and C++ runtimes and the XML parser under it, expects them masked. Each
// exported function therefore masks them all for the length of the call
// and gives the host back its own environment (masks and flags) on return.
#pragma once

#include <cfenv>

namespace idf::entry {

class HostFloatingPoint {
public:
    HostFloatingPoint() noexcept { std::feholdexcept(&saved_); }
    ~HostFloatingPoint() { std::fesetenv(&saved_); }
    HostFloatingPoint(const HostFloatingPoint&) = delete;
    HostFloatingPoint& operator=(const HostFloatingPoint&) = delete;

private:
    std::fenv_t saved_{};
};

}  // namespace idf::entry
