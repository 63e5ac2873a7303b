// The one file an administrator sends to support: the profile, the support logs and what the
// seat is (Windows, the monitors' scales, the host's revision, the installed files of Tarvenix
// with their versions and signatures). Plain UTF-8 text in sections.
#pragma once

#include <string>

namespace tvx::hostprobe {

struct BundleParts {
    std::string profileJson; // empty when no profile was made
    std::string whyNoProfile; // then: why, in German
    std::string hostRevision; // empty when unknown
    std::string report; // the probe's report lines as shown
};

// The whole text of the bundle; reads the logs and the probe's own folder.
std::string bundleText(const BundleParts& parts);

// What the support logs last noted under label ("GetGroupDataFromRegistry: ..."); empty when
// nothing.
std::string lastLogged(const std::string& label);

} // namespace tvx::hostprobe
