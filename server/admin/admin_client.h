#pragma once

#include <stdexcept>
#include <string>

namespace zorblet::server::admin {

// A failure the command reports in one line and ends with exit status 1.
class CommandError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Answer {
    int status = 0;
    std::string body;
};

// HTTP on the service's admin socket through libcurl, one connection kept for all requests.
class AdminClient {
public:
    explicit AdminClient(std::string socket);
    ~AdminClient();
    AdminClient(const AdminClient&) = delete;
    AdminClient& operator=(const AdminClient&) = delete;

    // GET, POST (without a body) or DELETE of a target such as "/stats"; throws
    // CommandError when no answer comes.
    Answer Send(const char* method, const std::string& target);
    // The same, and throws CommandError with the answer's first line unless it is a 200.
    std::string Ask(const char* method, const std::string& target);

private:
    [[noreturn]] void ThrowUnreachable(const char* failure) const;

    std::string socket_;
    void* curl_;
};

}  // namespace zorblet::server::admin
