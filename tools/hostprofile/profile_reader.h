// Reading hostprofile.json back: for the stand-in's --profile and the tests. A file an
// administrator sends is untrusted input.
#pragma once

#include "tools/hostprofile/host_profile.h"

#include <stdexcept>
#include <string>

namespace tvx::hostprofile {

class ProfileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws ProfileError naming the place and what is wrong ("calls[3].kind: ...").
HostProfile parseProfile(const std::string& text);

} // namespace tvx::hostprofile
