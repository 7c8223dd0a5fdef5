// Zorblet: a small arcade game in a 600x600 window.

#include <span>

#include "frame/program.h"
#include "platform/curl_http_transport.h"

int main(int argc, char** argv) {
    // Before any thread starts: libcurl's global set-up is not thread-safe.
    zorblet::platform::InitHttp();
    return zorblet::frame::RunProgram(std::span<const char* const>(argv + 1, argv + argc));
}
