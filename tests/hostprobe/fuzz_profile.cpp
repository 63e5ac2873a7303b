// Any bytes given to the profile reader either read or fail with ProfileError; what reads is
// written back, reads the same, and yields the stand-in's switches and a summary.
#include "tools/hostprofile/profile_reader.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tvx::hostprofile;
    HostProfile profile;
    try {
        profile = parseProfile(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const ProfileError&) {
        return 0;
    }
    const std::string written = profileToJson(profile);
    if (profileToJson(parseProfile(written)) != written) {
        std::abort();
    }
    switchesFor(profile);
    summaryLines(profile);
    return 0;
}
