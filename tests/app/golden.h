#pragma once

#include <gtest/gtest.h>

#include <string>

namespace tvx::testing {

// Compares text with tests/app/golden/<name>; with TVX_UPDATE_GOLDEN=1 in the environment the
// file is written instead (review the diff before committing it).
::testing::AssertionResult matchesGolden(const std::string& text, const std::string& name);

} // namespace tvx::testing
