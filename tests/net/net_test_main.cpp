#include <gtest/gtest.h>

#include "platform/curl_http_transport.h"

// As in the game: libcurl's global set-up before any thread runs.
int main(int argc, char** argv) {
    zorblet::platform::InitHttp();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
