// Failures of the layout that are not the host's or the measuring surface's: a step whose result
// is no finite number, or a search that found no end.
#pragma once

#include <cmath>
#include <stdexcept>
#include <string>

namespace tvx {

class CalcError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Overflow, division by zero and invalid steps are errors, not values to place a symbol at.
inline double finite(double value, const char* what) {
    if (!std::isfinite(value)) {
        throw CalcError(std::string(what) + " is not a finite number");
    }
    return value;
}

} // namespace tvx
