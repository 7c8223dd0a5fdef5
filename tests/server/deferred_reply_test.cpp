// The listener's deferred replies, its bodies' limits per request and their budget, and
// the pool that runs the replays: a reply given later from another thread holds no
// thread of the listener meanwhile, a body too large is refused before it is read, and
// the pool runs every job once, also when it stops.

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "client_socket.h"
#include "http/http_listener.h"
#include "http/listening_socket.h"
#include "protocol/replay_pool.h"

namespace zorblet::server::testing {
namespace {

using namespace std::chrono_literals;

std::string Post(const std::string& target, const std::string& body) {
    return "POST " + target + " HTTP/1.1\r\nHost: t\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string GetRequest(const std::string& target) {
    return "GET " + target + " HTTP/1.1\r\nHost: t\r\n\r\n";
}

// A listener on one thread: /later defers and its reply is given by a thread of the
// test's once `release` is set; /now answers at once; /given gives its deferred reply
// before the handler returns. POST /body takes up to 100 bytes.
class DeferredReplyTest : public ::testing::Test {
protected:
    void Start(std::size_t budget = 0) {
        const TcpListening listening = ListenOnTcp("127.0.0.1", 0);
        ASSERT_GE(listening.socket, 0);
        port_ = listening.port;
        ListenerSettings settings;
        settings.log_requests = false;
        settings.held_body_budget = budget;
        settings.body_limit = [](std::string_view method, std::string_view target) -> std::size_t {
            return method == "POST" && target == "/body" ? 100 : 0;
        };
        listener_ = std::make_unique<HttpListener>(listening.socket, [this](const Request& request) { return Handle(request); },
                                                   settings);
    }

    Reply Handle(const Request& request) {
        if (request.target == "/later") {
            std::shared_ptr<PendingReply> pending = request.defer();
            givers_.emplace_back([this, pending] {
                while (!release_) std::this_thread::sleep_for(5ms);
                pending->Give({200, "later", {}});
            });
            return {500, "never sent", {}};
        }
        if (request.target == "/given") {
            request.defer()->Give({200, "given at once", {}});
            return {500, "never sent", {}};
        }
        if (request.target == "/body") return {200, "took " + std::to_string(request.body.size()), {}};
        return {200, "now", {}};
    }

    void TearDown() override {
        release_ = true;
        for (std::thread& giver : givers_) giver.join();
        if (listener_) listener_->Stop();
    }

    int port_ = 0;
    std::unique_ptr<HttpListener> listener_;
    std::atomic<bool> release_{false};
    std::vector<std::thread> givers_;
};

TEST_F(DeferredReplyTest, AReplyGivenLaterHoldsNoThreadMeanwhile) {
    Start();
    ClientSocket waiting(port_, "127.0.0.2");
    waiting.Send(GetRequest("/later"));
    EXPECT_EQ(waiting.ReadReply(200ms).status, 0) << "not given yet";
    // The listener's one thread answers others meanwhile.
    ClientSocket other(port_, "127.0.0.3");
    other.Send(GetRequest("/now"));
    EXPECT_EQ(other.ReadReply(5s).body, "now");
    other.Send(GetRequest("/given"));
    EXPECT_EQ(other.ReadReply(5s).body, "given at once");
    release_ = true;
    const HttpReply later = waiting.ReadReply(5s);
    EXPECT_EQ(later.status, 200);
    EXPECT_EQ(later.body, "later");
    // The connection stays open for the next request.
    waiting.Send(GetRequest("/now"));
    EXPECT_EQ(waiting.ReadReply(5s).body, "now");
}

TEST_F(DeferredReplyTest, StoppingGivesTheRepliesNotGivenYetAs503) {
    Start();
    ClientSocket waiting(port_, "127.0.0.2");
    waiting.Send(GetRequest("/later"));
    std::this_thread::sleep_for(100ms);  // deferred by now
    const auto started = std::chrono::steady_clock::now();
    std::future<void> stopped = std::async(std::launch::async, [this] { listener_->Stop(); });
    const HttpReply reply = waiting.ReadReply(5s);
    EXPECT_EQ(reply.status, 503);
    EXPECT_EQ(reply.Header("Retry-After"), "5");
    stopped.get();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 3s);
}

TEST_F(DeferredReplyTest, BodiesBeyondTheirRequestsLimitAreRefusedBeforeTheyAreRead) {
    Start();
    ClientSocket fits(port_, "127.0.0.2");
    fits.Send(Post("/body", std::string(100, 'x')));
    EXPECT_EQ(fits.ReadReply(5s).body, "took 100");
    struct Case {
        const char* name;
        std::string head;
        int status;
    };
    const Case cases[] = {
        {"one byte over", "POST /body HTTP/1.1\r\nHost: t\r\nContent-Length: 101\r\n\r\n", 413},
        {"a gigabyte", "POST /body HTTP/1.1\r\nHost: t\r\nContent-Length: 1073741824\r\n\r\n", 413},
        {"no length", "POST /body HTTP/1.1\r\nHost: t\r\nTransfer-Encoding: chunked\r\n\r\n", 411},
        {"a body where none is taken", "POST /now HTTP/1.1\r\nHost: t\r\nContent-Length: 5\r\n\r\n", 413},
    };
    for (const Case& c : cases) {
        // Only the head is sent: the answer comes without the body.
        ClientSocket client(port_, "127.0.0.3");
        client.Send(c.head);
        const HttpReply reply = client.ReadReply(5s);
        EXPECT_EQ(reply.status, c.status) << c.name;
        EXPECT_TRUE(client.WaitUntilClosed(5s)) << c.name;
    }
}

TEST_F(DeferredReplyTest, BodiesPastTheBudgetAreToldToComeAgain) {
    Start(150);
    ClientSocket first(port_, "127.0.0.2");
    first.Send("POST /body HTTP/1.1\r\nHost: t\r\nContent-Length: 100\r\n\r\n");  // its body not sent yet
    std::this_thread::sleep_for(100ms);
    ClientSocket second(port_, "127.0.0.3");
    second.Send("POST /body HTTP/1.1\r\nHost: t\r\nContent-Length: 100\r\n\r\n");
    const HttpReply busy = second.ReadReply(5s);
    EXPECT_EQ(busy.status, 503);
    EXPECT_EQ(busy.Header("Retry-After"), "5");
    first.Send(std::string(100, 'x'));
    EXPECT_EQ(first.ReadReply(5s).body, "took 100");
    // The budget is back once the first request is over.
    ClientSocket third(port_, "127.0.0.4");
    third.Send(Post("/body", std::string(100, 'y')));
    EXPECT_EQ(third.ReadReply(5s).body, "took 100");
}

TEST(ReplayPoolTest, RunsEveryJobOnceAndRefusesWhatDoesNotFit) {
    std::atomic<int> ran{0};
    std::atomic<int> stopped{0};
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    {
        ReplayPool pool(1, 2);
        std::promise<void> started;
        ASSERT_TRUE(pool.Post([&](ReplayPool::Clock::duration, bool) {
            started.set_value();
            released.wait();
            ++ran;
        }));
        started.get_future().wait();  // the one thread is busy
        const auto count = [&](ReplayPool::Clock::duration waited, bool stopping) {
            EXPECT_GE(waited, ReplayPool::Clock::duration::zero());
            ++(stopping ? stopped : ran);
        };
        EXPECT_TRUE(pool.Post(count));
        EXPECT_TRUE(pool.Post(count));
        EXPECT_EQ(pool.Waiting(), 2u);
        EXPECT_FALSE(pool.HasRoom());
        EXPECT_FALSE(pool.Post(count)) << "the queue holds two";
        std::thread releaser([&] {
            std::this_thread::sleep_for(50ms);
            release.set_value();
        });
        releaser.join();
        // The pool goes while jobs may still wait: each is run once, told so or not.
    }
    EXPECT_EQ(ran + stopped, 3);
}

}  // namespace
}  // namespace zorblet::server::testing
