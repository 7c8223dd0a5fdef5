#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

struct redisContext;
struct redisReply;

namespace zorblet::server {

// Where a Redis server listens: redis://HOST:PORT[/DB] or redis+unix:///PATH[?db=N].
struct RedisAddress {
    std::string host;         // empty for a Unix socket
    int port = 6379;
    std::string socket_path;  // empty for TCP
    int database = 0;

    // The address as given, for messages.
    std::string Describe() const;
};

// The address, or nullopt with `problem` set.
std::optional<RedisAddress> ParseRedisAddress(std::string_view text, std::string& problem);

struct RedisReplyDeleter {
    void operator()(redisReply* reply) const;
};
using RedisReply = std::unique_ptr<redisReply, RedisReplyDeleter>;

// Reading a reply: each throws StorageError when the reply is not of the kind asked for,
// so that a reply of an unexpected type or size is a storage error and never a crash.
const redisReply& ArrayElement(const redisReply& reply, std::size_t index);
std::size_t ArraySize(const redisReply& reply);
std::int64_t IntegerOf(const redisReply& reply);
std::string_view TextOf(const redisReply& reply);  // a bulk or status string
bool IsNil(const redisReply& reply);

// Connections to one Redis server, shared by the threads that answer requests. Every
// connect and every command has a time-out; a connection that fails is dropped, and
// from then on every call fails at once (the service answers 503 without waiting) until
// a thread of its own finds the server answering again and the link serves again.
class RedisLink {
public:
    struct Settings {
        RedisAddress address;
        std::string password;  // empty: no AUTH
        std::chrono::milliseconds timeout{1000};  // for connecting and for each reply
    };

    // Tries to connect; a server that does not answer yet is looked for in the background.
    // `scripts` are Lua texts, run by their index.
    RedisLink(Settings settings, std::vector<std::string> scripts);
    ~RedisLink();
    RedisLink(const RedisLink&) = delete;
    RedisLink& operator=(const RedisLink&) = delete;

    // One command; throws StorageError when there is no answer or an error reply.
    RedisReply Command(std::span<const std::string> arguments);
    // Several commands in one round trip; their replies in order.
    std::vector<RedisReply> Pipeline(std::span<const std::vector<std::string>> commands);
    // Runs a script by its hash, sending its text when the server does not know it
    // (after a restart or SCRIPT FLUSH).
    RedisReply RunScript(std::size_t script, std::span<const std::string> keys, std::span<const std::string> arguments);
    // Whether the server answers a PING now.
    bool Answers();
    // Whether the link serves, as far as it knows without asking.
    bool Serves() const { return serving_; }
    const RedisAddress& address() const { return settings_.address; }

private:
    struct ContextDeleter {
        void operator()(redisContext* context) const;
    };
    using Context = std::unique_ptr<redisContext, ContextDeleter>;

    Context Connect() const;
    Context Acquire();
    void Release(Context context);
    void MarkUnreachable(const std::string& problem);
    void LookForServer();
    std::vector<RedisReply> Exchange(std::span<const std::vector<std::string>> commands);
    std::string ScriptHash(std::size_t script);

    const Settings settings_;
    const std::vector<std::string> scripts_;
    std::mutex mutex_;
    std::vector<Context> idle_;
    std::vector<std::string> hashes_;  // of the scripts, once loaded
    std::atomic<bool> serving_{false};
    bool stopping_ = false;
    std::condition_variable wake_;
    std::thread looker_;
};

}  // namespace zorblet::server
