// Zorblet: a small arcade game in a 600x600 window.

#include "frame/program.h"
#include "platform/curl_http_transport.h"

int main() {
    // Before any thread starts: libcurl's global set-up is not thread-safe.
    zorblet::platform::InitHttp();
    return zorblet::frame::RunProgram();
}
