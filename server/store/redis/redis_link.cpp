#include "store/redis/redis_link.h"

#include <hiredis/hiredis.h>
#include <sys/time.h>

#include <charconv>
#include <cstdio>

#include "store/score_board.h"

namespace zorblet::server {

namespace {

constexpr std::chrono::milliseconds LookInterval{250};

std::optional<int> ParseNumber(std::string_view text, int highest) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0 || value > highest) return std::nullopt;
    return value;
}

std::optional<RedisAddress> ParseTcpAddress(std::string_view rest, std::string& problem) {
    RedisAddress address;
    const std::size_t slash = rest.find('/');
    if (slash != std::string_view::npos) {
        const auto database = ParseNumber(rest.substr(slash + 1), 1 << 20);
        if (!database) {
            problem = "the database after '/' must be a number";
            return std::nullopt;
        }
        address.database = *database;
        rest = rest.substr(0, slash);
    }
    std::size_t colon = rest.rfind(':');
    if (rest.starts_with('[')) {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos) {
            problem = "an IPv6 host must end in ']'";
            return std::nullopt;
        }
        address.host = rest.substr(1, close - 1);
        colon = close + 1 < rest.size() && rest[close + 1] == ':' ? close + 1 : std::string_view::npos;
    } else {
        address.host = rest.substr(0, colon);
    }
    if (colon != std::string_view::npos) {
        const auto port = ParseNumber(rest.substr(colon + 1), 65535);
        if (!port || *port == 0) {
            problem = "the port must be a number from 1 to 65535";
            return std::nullopt;
        }
        address.port = *port;
    }
    if (address.host.empty()) {
        problem = "the address names no host";
        return std::nullopt;
    }
    return address;
}

std::optional<RedisAddress> ParseUnixAddress(std::string_view rest, std::string& problem) {
    RedisAddress address;
    const std::size_t query = rest.find('?');
    if (query != std::string_view::npos) {
        const std::string_view parameter = rest.substr(query + 1);
        const auto database = parameter.starts_with("db=") ? ParseNumber(parameter.substr(3), 1 << 20) : std::nullopt;
        if (!database) {
            problem = "the only parameter is db=N";
            return std::nullopt;
        }
        address.database = *database;
        rest = rest.substr(0, query);
    }
    if (!rest.starts_with('/')) {
        problem = "the socket's path must be absolute: redis+unix:///PATH";
        return std::nullopt;
    }
    address.socket_path = rest;
    return address;
}

timeval ToTimeval(std::chrono::milliseconds duration) {
    return {static_cast<time_t>(duration.count() / 1000), static_cast<suseconds_t>(duration.count() % 1000 * 1000)};
}

RedisReply ExchangeOne(redisContext* context, std::span<const std::string> arguments) {
    std::vector<const char*> pointers;
    std::vector<std::size_t> lengths;
    for (const std::string& argument : arguments) {
        pointers.push_back(argument.data());
        lengths.push_back(argument.size());
    }
    return RedisReply(static_cast<redisReply*>(
        redisCommandArgv(context, static_cast<int>(pointers.size()), pointers.data(), lengths.data())));
}

bool IsError(const RedisReply& reply) {
    return reply && reply->type == REDIS_REPLY_ERROR;
}

std::string ErrorText(const redisReply& reply) {
    return std::string(reply.str, reply.len);
}

[[noreturn]] void ThrowUnexpected(const char* what) {
    throw StorageError(std::string("unexpected reply from Redis: ") + what);
}

}  // namespace

std::string RedisAddress::Describe() const {
    if (!socket_path.empty()) {
        std::string described = "redis+unix://";
        described.append(socket_path);
        if (database != 0) described.append("?db=").append(std::to_string(database));
        return described;
    }
    std::string described = "redis://";
    const bool ipv6 = host.find(':') != std::string::npos;
    described.append(ipv6 ? "[" : "").append(host).append(ipv6 ? "]:" : ":").append(std::to_string(port));
    if (database != 0) described.append("/").append(std::to_string(database));
    return described;
}

std::optional<RedisAddress> ParseRedisAddress(std::string_view text, std::string& problem) {
    if (text.starts_with("redis://")) return ParseTcpAddress(text.substr(8), problem);
    if (text.starts_with("redis+unix://")) return ParseUnixAddress(text.substr(13), problem);
    problem = "the address must begin with redis:// or redis+unix://";
    return std::nullopt;
}

void RedisReplyDeleter::operator()(redisReply* reply) const {
    freeReplyObject(reply);
}

const redisReply& ArrayElement(const redisReply& reply, std::size_t index) {
    if (reply.type != REDIS_REPLY_ARRAY || index >= reply.elements || reply.element[index] == nullptr) {
        ThrowUnexpected("an array too short");
    }
    return *reply.element[index];
}

std::size_t ArraySize(const redisReply& reply) {
    if (reply.type != REDIS_REPLY_ARRAY) ThrowUnexpected("no array where one was due");
    return reply.elements;
}

std::int64_t IntegerOf(const redisReply& reply) {
    if (reply.type == REDIS_REPLY_INTEGER) return reply.integer;
    if (reply.type == REDIS_REPLY_STRING) {
        std::int64_t value = 0;
        const auto [end, error] = std::from_chars(reply.str, reply.str + reply.len, value);
        if (error == std::errc() && end == reply.str + reply.len) return value;
    }
    ThrowUnexpected("no integer where one was due");
}

std::string_view TextOf(const redisReply& reply) {
    if (reply.type != REDIS_REPLY_STRING && reply.type != REDIS_REPLY_STATUS) ThrowUnexpected("no text where one was due");
    return {reply.str, reply.len};
}

bool IsNil(const redisReply& reply) {
    return reply.type == REDIS_REPLY_NIL;
}

void RedisLink::ContextDeleter::operator()(redisContext* context) const {
    redisFree(context);
}

RedisLink::RedisLink(Settings settings, std::vector<std::string> scripts)
    : settings_(std::move(settings)), scripts_(std::move(scripts)), hashes_(scripts_.size()) {
    if (Context context = Connect()) {
        idle_.push_back(std::move(context));
        serving_ = true;
    } else {
        std::fprintf(stderr, "zorblet-highscore-server: Redis at %s does not answer yet\n",
                     settings_.address.Describe().c_str());
    }
    looker_ = std::thread([this] { LookForServer(); });
    if (!serving_) return;
    try {
        for (std::size_t i = 0; i < scripts_.size(); ++i) ScriptHash(i);
    } catch (const StorageError&) {
        // Loaded when first run.
    }
}

RedisLink::~RedisLink() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    looker_.join();
}

// A connection ready for commands: authenticated, on its database, and answering.
RedisLink::Context RedisLink::Connect() const {
    const RedisAddress& address = settings_.address;
    const timeval timeout = ToTimeval(settings_.timeout);
    Context context(address.socket_path.empty()
                        ? redisConnectWithTimeout(address.host.c_str(), address.port, timeout)
                        : redisConnectUnixWithTimeout(address.socket_path.c_str(), timeout));
    if (!context || context->err != 0 || redisSetTimeout(context.get(), timeout) != REDIS_OK) return nullptr;
    if (address.socket_path.empty()) redisEnableKeepAlive(context.get());
    std::vector<std::vector<std::string>> greeting;
    if (!settings_.password.empty()) greeting.push_back({"AUTH", settings_.password});
    if (address.database != 0) greeting.push_back({"SELECT", std::to_string(address.database)});
    greeting.push_back({"PING"});
    for (const auto& command : greeting) {
        const RedisReply reply = ExchangeOne(context.get(), command);
        if (!reply || IsError(reply)) {
            if (IsError(reply)) {
                std::fprintf(stderr, "zorblet-highscore-server: Redis refuses %s: %s\n", command.front().c_str(),
                             ErrorText(*reply).c_str());
            }
            return nullptr;
        }
    }
    return context;
}

RedisLink::Context RedisLink::Acquire() {
    if (!serving_) throw StorageError("Redis at " + settings_.address.Describe() + " does not answer");
    {
        std::lock_guard lock(mutex_);
        if (!idle_.empty()) {
            Context context = std::move(idle_.back());
            idle_.pop_back();
            return context;
        }
    }
    Context context = Connect();
    if (!context) {
        MarkUnreachable("cannot connect");
        throw StorageError("cannot connect to Redis at " + settings_.address.Describe());
    }
    return context;
}

void RedisLink::Release(Context context) {
    std::lock_guard lock(mutex_);
    if (serving_) idle_.push_back(std::move(context));
}

// The connections kept may be broken too (a restart) or hold a reply still due (a
// stall): none of them is used again.
void RedisLink::MarkUnreachable(const std::string& problem) {
    {
        std::lock_guard lock(mutex_);
        idle_.clear();
        if (!serving_.exchange(false)) return;
    }
    std::fprintf(stderr, "zorblet-highscore-server: Redis at %s fails (%s); answering 503 until it answers again\n",
                 settings_.address.Describe().c_str(), problem.c_str());
    wake_.notify_all();
}

void RedisLink::LookForServer() {
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return stopping_ || !serving_; });
        if (stopping_) return;
        lock.unlock();
        Context context = Connect();
        lock.lock();
        if (context) {
            idle_.push_back(std::move(context));
            serving_ = true;
            std::fprintf(stderr, "zorblet-highscore-server: Redis at %s answers again\n",
                         settings_.address.Describe().c_str());
            continue;
        }
        wake_.wait_for(lock, LookInterval, [this] { return stopping_; });
    }
}

std::vector<RedisReply> RedisLink::Exchange(std::span<const std::vector<std::string>> commands) {
    Context context = Acquire();
    for (const auto& command : commands) {
        std::vector<const char*> pointers;
        std::vector<std::size_t> lengths;
        for (const std::string& argument : command) {
            pointers.push_back(argument.data());
            lengths.push_back(argument.size());
        }
        redisAppendCommandArgv(context.get(), static_cast<int>(pointers.size()), pointers.data(), lengths.data());
    }
    std::vector<RedisReply> replies;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        void* reply = nullptr;
        if (redisGetReply(context.get(), &reply) != REDIS_OK || reply == nullptr) {
            const std::string problem = context->err != 0 ? context->errstr : "no reply";
            MarkUnreachable(problem);
            throw StorageError("Redis at " + settings_.address.Describe() + " does not answer: " + problem);
        }
        replies.emplace_back(static_cast<redisReply*>(reply));
    }
    Release(std::move(context));
    return replies;
}

RedisReply RedisLink::Command(std::span<const std::string> arguments) {
    const std::vector<std::vector<std::string>> commands{{arguments.begin(), arguments.end()}};
    std::vector<RedisReply> replies = Exchange(commands);
    if (IsError(replies.front())) throw StorageError("Redis refuses " + arguments.front() + ": " + ErrorText(*replies.front()));
    return std::move(replies.front());
}

std::vector<RedisReply> RedisLink::Pipeline(std::span<const std::vector<std::string>> commands) {
    std::vector<RedisReply> replies = Exchange(commands);
    for (std::size_t i = 0; i < replies.size(); ++i) {
        if (IsError(replies[i])) throw StorageError("Redis refuses " + commands[i].front() + ": " + ErrorText(*replies[i]));
    }
    return replies;
}

std::string RedisLink::ScriptHash(std::size_t script) {
    {
        std::lock_guard lock(mutex_);
        if (!hashes_.at(script).empty()) return hashes_[script];
    }
    const std::vector<std::string> load{"SCRIPT", "LOAD", scripts_[script]};
    std::string hash(TextOf(*Command(load)));
    std::lock_guard lock(mutex_);
    hashes_[script] = hash;
    return hash;
}

RedisReply RedisLink::RunScript(std::size_t script, std::span<const std::string> keys,
                                std::span<const std::string> arguments) {
    std::vector<std::vector<std::string>> call{{"EVALSHA", ScriptHash(script), std::to_string(keys.size())}};
    call.front().insert(call.front().end(), keys.begin(), keys.end());
    call.front().insert(call.front().end(), arguments.begin(), arguments.end());
    std::vector<RedisReply> replies = Exchange(call);
    if (IsError(replies.front()) && ErrorText(*replies.front()).starts_with("NOSCRIPT")) {
        call.front()[0] = "EVAL";
        call.front()[1] = scripts_[script];
        replies = Exchange(call);
    }
    if (IsError(replies.front())) throw StorageError("Redis refuses a script: " + ErrorText(*replies.front()));
    return std::move(replies.front());
}

bool RedisLink::Answers() {
    try {
        const std::vector<std::string> ping{"PING"};
        return TextOf(*Command(ping)) == "PONG";
    } catch (const StorageError&) {
        return false;
    }
}

}  // namespace zorblet::server
