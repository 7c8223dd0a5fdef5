#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace zorblet::testing {

// The bytes of one of the recorded highscore replies; a missing file fails the test.
inline std::string ReadFixture(const std::string& name) {
    std::ifstream file(std::string(ZORBLET_FIXTURE_DIR) + "/" + name, std::ios::binary);
    EXPECT_TRUE(file) << name;
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

}  // namespace zorblet::testing
