#include "admin_client.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <curl/curl.h>

namespace zorblet::server::admin {

namespace {

// A backup of millions of entries is taken before its first byte is answered.
constexpr long AnswerTimeoutSeconds = 900;
constexpr long ConnectTimeoutSeconds = 5;

std::size_t AppendBody(char* data, std::size_t size, std::size_t count, void* body) {
    static_cast<std::string*>(body)->append(data, size * count);
    return size * count;
}

std::string FirstLine(const std::string& text) {
    const std::string line = text.substr(0, text.find_first_of("\r\n"));
    return line.empty() ? "no reason given" : line;
}

}  // namespace

AdminClient::AdminClient(std::string socket) : socket_(std::move(socket)), curl_(curl_easy_init()) {
    if (curl_ == nullptr) throw CommandError("cannot set up libcurl");
    curl_easy_setopt(curl_, CURLOPT_UNIX_SOCKET_PATH, socket_.c_str());
    curl_easy_setopt(curl_, CURLOPT_PROXY, "");  // never http_proxy from the environment
    curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl_, CURLOPT_CONNECTTIMEOUT, ConnectTimeoutSeconds);
    curl_easy_setopt(curl_, CURLOPT_TIMEOUT, AnswerTimeoutSeconds);
    curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, AppendBody);
}

AdminClient::~AdminClient() {
    curl_easy_cleanup(curl_);
}

Answer AdminClient::Send(const char* method, const std::string& target) {
    Answer answer;
    const std::string url = "http://localhost" + target;
    curl_easy_setopt(curl_, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl_, CURLOPT_WRITEDATA, &answer.body);
    curl_easy_setopt(curl_, CURLOPT_HTTPGET, 1L);  // resets POST and the custom method
    if (std::strcmp(method, "POST") == 0) {
        curl_easy_setopt(curl_, CURLOPT_POSTFIELDS, "");
    } else if (std::strcmp(method, "GET") != 0) {
        curl_easy_setopt(curl_, CURLOPT_CUSTOMREQUEST, method);
    }
    const CURLcode result = curl_easy_perform(curl_);
    curl_easy_setopt(curl_, CURLOPT_CUSTOMREQUEST, nullptr);
    if (result != CURLE_OK) ThrowUnreachable(curl_easy_strerror(result));
    long status = 0;
    curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &status);
    answer.status = static_cast<int>(status);
    return answer;
}

std::string AdminClient::Ask(const char* method, const std::string& target) {
    Answer answer = Send(method, target);
    if (answer.status != 200) throw CommandError(FirstLine(answer.body));
    return std::move(answer.body);
}

// Says why when the socket itself is the problem: that is what an operator can mend.
void AdminClient::ThrowUnreachable(const char* failure) const {
    if (::access(socket_.c_str(), F_OK) != 0) {
        throw CommandError("no admin socket at " + socket_ + " (is the service running with --admin-socket?)");
    }
    if (::access(socket_.c_str(), R_OK | W_OK) != 0) {
        throw CommandError("no permission to use " + socket_ + ": " + std::strerror(errno));
    }
    throw CommandError("the service at " + socket_ + " does not answer: " + failure);
}

}  // namespace zorblet::server::admin
