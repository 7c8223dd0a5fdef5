// A recorded game played back through the real start-up and frame loop: the picture of
// every frame, every tone effect started, every request sent and every capture and
// release of the mouse must come out as they were recorded.
//
// The input (tests/fixtures/replay/input.txt) holds the random seed, the keys held and
// the mouse readings frame by frame; the expected output (frames.txt) one hash of the
// presented picture per frame and the events in between. Nothing depends on wall-clock
// time: the frame's clock is a fake one, the fonts are boxes, and every highscore request
// waits until the frame it was sent in is presented, so a transfer always ends between
// the same two frames.
//
// The records the game's recorder hands over are the files replay-test-1.zrec (the game to
// its game over) and replay-test-2.zrec (the one abandoned in its countdown) in
// tests/fixtures/determinism, which the determinism test replays in every build; each
// replays to the states of its game frame by frame, to the score the game showed, and to
// its pictures at telling frames (the first, the first contact, the ring, the gate, the
// last in play), drawn as --replay draws them.
//
// ZORBLET_REPLAY_RECORD=1 plays a new game with the bot below, and writes these files
// anew; review the difference before committing it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "frame/main_loop.h"
#include "platform/posix_clock.h"
#include "platform/random.h"
#include "record/record_format.h"
#include "support/fakes.h"
#include "support/game_watch.h"
#include "support/highscore_fixture.h"
#include "support/tone_fakes.h"

namespace zorblet::frame {
namespace {

namespace Key = platform::Key;

const std::string ReplayDir = ZORBLET_REPLAY_DIR;
const std::string RecordDir = ZORBLET_DETERMINISM_DIR;
const char* const RecordNames[] = {"replay-test-1.zrec", "replay-test-2.zrec"};

// 64-bit FNV-1a over the pixels, a word at a time, folded to 32 bits: eight hex digits.
std::string HashPixels(const std::uint32_t* pixels) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (int i = 0; i < platform::ScreenWidth * platform::ScreenHeight; ++i) {
        hash ^= pixels[i];
        hash *= 0x100000001b3ull;
    }
    char text[9];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>((hash ^ (hash >> 32)) & 0xffffffffu));
    return text;
}

// What a frame's inputs are, by the number of frames presented before they are read.
struct ReplayInput {
    std::uint32_t Seed = 0;
    int Frames = 0;
    std::map<int, platform::KeySnapshot> Keys;  // from this frame on, until the next entry
    std::map<int, platform::MouseReading> Mouse;

    platform::KeySnapshot KeysAt(int frame) const {
        auto next = Keys.upper_bound(frame);
        return next == Keys.begin() ? platform::KeySnapshot{} : std::prev(next)->second;
    }
    platform::MouseReading MouseAt(int frame) const {
        const auto found = Mouse.find(frame);
        return found == Mouse.end() ? platform::MouseReading{} : found->second;
    }
};

ReplayInput ReadInput(const std::string& path) {
    std::ifstream file(path);
    EXPECT_TRUE(file) << path;
    ReplayInput input;
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        std::string kind;
        fields >> kind;
        if (kind == "seed") {
            fields >> input.Seed;
        } else if (kind == "frames") {
            fields >> input.Frames;
        } else if (kind == "k") {
            int frame = 0, key = 0;
            fields >> frame;
            platform::KeySnapshot keys{};
            while (fields >> key) keys[key] = true;
            input.Keys[frame] = keys;
        } else if (kind == "m") {
            int frame = 0;
            fields >> frame;
            for (std::string reading; fields >> reading; ++frame) {
                platform::MouseReading& m = input.Mouse[frame];
                char comma = 0;
                int button = 0;
                std::istringstream(reading) >> m.DeltaX >> comma >> m.DeltaY >> comma >> button;
                m.LeftButton = button != 0;
            }
        }
    }
    return input;
}

// A line per frame with the hash of its picture, each followed by the events that
// happened before the next picture, in their order.
struct ReplayLog {
    std::vector<std::string> Lines;
    void AddPicture(const std::uint32_t* pixels) { Lines.push_back(HashPixels(pixels)); }
    void Add(const std::string& event) { Lines.push_back("  " + event); }
};

const char* EffectName(sound::ToneEffect effect) {
    switch (effect) {
        case sound::ToneEffect::Crackle:
            return "crackle";
        case sound::ToneEffect::Click:
            return "click";
        case sound::ToneEffect::LifeLost:
            return "life-lost";
        case sound::ToneEffect::Beep:
            return "beep";
        case sound::ToneEffect::GameOverTune:
            return "game-over-tune";
    }
    return "?";
}

// Serves the recorded replies of a board of 60 scores, as a service without tickets and
// records (a POST is answered 404, so every game is played on a seed of the game's own);
// every request is answered, but only once the frame during which it was sent has been
// presented.
class ReplayTransport final : public platform::HttpTransport {
public:
    ReplayTransport()
        : bestOf_(testing::ReadFixture("bestof_60.txt")), placeList_(testing::ReadFixture("liste_60_P19.txt")) {}

    platform::HttpAttempt Get(const std::string& url, int) override {
        std::unique_lock lock(mutex_);
        opened_.wait(lock, [&] { return open_; });
        urls_.push_back("get " + url);
        if (url.find("BestOffSQL.php") != std::string::npos) return {true, 200, bestOf_, false};
        if (url.find("ListeSQL.php") != std::string::npos) return {true, 200, placeList_, false};
        return {true, 200, "", false};
    }
    platform::HttpAttempt Send(const platform::HttpRequest& request, int budgetMs) override {
        if (request.Method == platform::HttpMethod::Get) return Get(request.Url, budgetMs);
        std::unique_lock lock(mutex_);
        opened_.wait(lock, [&] { return open_; });
        urls_.push_back("post " + request.Url);
        return {true, 404, "", false};
    }
    void SetOpen(bool open) {
        std::lock_guard lock(mutex_);
        open_ = open;
        opened_.notify_all();
    }
    std::vector<std::string> TakeRequests() {
        std::lock_guard lock(mutex_);
        return std::exchange(urls_, {});
    }

private:
    std::string bestOf_, placeList_;
    std::mutex mutex_;
    std::condition_variable opened_;
    bool open_ = false;
    std::vector<std::string> urls_;  // "get URL" or "post URL"
};

// The window: hashes each presented picture, and lets the transfers of the frame end.
class ReplayScreen final : public platform::Screen {
public:
    ReplayScreen(ReplayLog& log, ReplayTransport& http) : log_(log), http_(http) {}
    highscore::HighscoreClient* Highscore = nullptr;
    int Presents = 0;

    void Open() override {}
    void Present(const std::uint32_t* pixels) override {
        ++Presents;
        log_.AddPicture(pixels);
        http_.SetOpen(true);
        while (Highscore != nullptr && Highscore->Busy()) std::this_thread::sleep_for(std::chrono::microseconds(100));
        http_.SetOpen(false);
        for (const std::string& request : http_.TakeRequests()) log_.Add(request);
    }
    // Start-up looks for a close request while it waits for the first list: the list
    // comes at the first look and not before, so that the wait always takes the same
    // time (one look, one pause), however the threads are scheduled.
    bool TakeCloseRequest() override {
        if (Presents == 0 && Highscore != nullptr) {
            http_.SetOpen(true);
            while (Highscore->Busy()) std::this_thread::sleep_for(std::chrono::microseconds(100));
            http_.SetOpen(false);
        }
        return false;
    }
    bool ToggleFullscreen() override {
        log_.Add("fullscreen");
        return false;
    }
    void SetTitle(std::string_view title) override { log_.Add("title " + std::string(title)); }

private:
    ReplayLog& log_;
    ReplayTransport& http_;
};

class ReplayKeyboard final : public platform::Keyboard {
public:
    ReplayKeyboard(const ReplayInput& input, const ReplayScreen& screen) : input_(input), screen_(screen) {}
    void ReadSnapshot(platform::KeySnapshot& snapshot) override { snapshot = input_.KeysAt(screen_.Presents); }

private:
    const ReplayInput& input_;
    const ReplayScreen& screen_;
};

class ReplayMouse final : public platform::Mouse {
public:
    ReplayMouse(const ReplayInput& input, const ReplayScreen& screen, ReplayLog& log)
        : input_(input), screen_(screen), log_(log) {}
    platform::MouseReading Read() override {
        if (!captured_) log_.Add("mouse captured");
        captured_ = true;
        return input_.MouseAt(screen_.Presents);
    }
    void Release() override {
        if (captured_) log_.Add("mouse released");
        captured_ = false;
    }

private:
    const ReplayInput& input_;
    const ReplayScreen& screen_;
    ReplayLog& log_;
    bool captured_ = false;
};

class ReplayTones final : public sound::ToneStarter {
public:
    explicit ReplayTones(ReplayLog& log) : log_(log) {}
    void StartTone(sound::ToneEffect effect, std::int32_t argument) override {
        log_.Add(std::string("tone ") + EffectName(effect) + " " + std::to_string(argument));
    }

private:
    ReplayLog& log_;
};

// The program's devices, replaying the input; the frame's clock is a fake one that only
// sleeps move, so the FPS reading is the same in every run.
struct ReplayMachine {
    explicit ReplayMachine(const ReplayInput& input)
        : random(input.Seed),
          screen(log, http),
          keyboard(input, screen),
          mouse(input, screen, log),
          tones(log),
          highscore(http, transferClock, "http://scores.invalid/"),
          devices{screen, canvas, keyboard, mouse, clock, fonts, random, tones, highscore, settings, games} {
        screen.Highscore = &highscore;
        clock.ReadCost = 1'000;  // the frame wait polls the counter at the end
    }

    // A transfer still waiting for its frame ends before the worker is stopped.
    ~ReplayMachine() { http.SetOpen(true); }

    ReplayLog log;
    ReplayTransport http;
    testing::FakeClock clock;
    platform::PosixClock transferClock;
    testing::BoxFontLoader fonts;
    platform::SeededRandom random;
    ReplayScreen screen;
    render::Canvas canvas;
    ReplayKeyboard keyboard;
    ReplayMouse mouse;
    ReplayTones tones;
    highscore::HighscoreClient highscore;
    testing::RecordingSettings settings;
    testing::RecordingArchive games;
    Devices devices;
    Game game;
};

// What a run of the program left: its log, and the records of the games it handed over.
struct ReplayRun {
    std::vector<std::string> Lines;
    std::vector<std::vector<std::uint8_t>> Records;  // as files
    std::vector<record::GameRecord> Games;           // the same, as handed over
    std::vector<testing::WatchedGame> Watched;       // the games as they were played
};

// Plays the input until the program ends (ESC in the menu, at the end of the input).
ReplayRun Replay(const ReplayInput& input) {
    ReplayMachine machine(input);
    testing::GameWatch watch;
    EXPECT_EQ(StartUp(machine.game, machine.devices), FrameOutcome::Continue);
    while (machine.screen.Presents <= input.Frames) {
        if (RunFrame(machine.game, machine.devices) != FrameOutcome::Continue) {
            machine.log.Add("end");
            break;
        }
        watch.AfterFrame(machine.game, machine.canvas, machine.games.Games.size());
    }
    ReplayRun run{machine.log.Lines, {}, machine.games.Games, std::move(watch.Games)};
    for (const record::GameRecord& game : machine.games.Games) run.Records.push_back(record::EncodeRecord(game));
    return run;
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    EXPECT_TRUE(file) << path;
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::ifstream file(path);
    EXPECT_TRUE(file) << path;
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
}

void RecordReplay();

TEST(Replay, RecordedGamePlaysBackPictureForPictureToneForToneRequestForRequest) {
    if (std::getenv("ZORBLET_REPLAY_RECORD") != nullptr) RecordReplay();
    const ReplayInput input = ReadInput(ReplayDir + "/input.txt");
    ASSERT_GT(input.Frames, 1000);
    const std::vector<std::string> expected = ReadLines(ReplayDir + "/frames.txt");
    const ReplayRun run = Replay(input);
    const std::vector<std::string>& actual = run.Lines;
    const auto [wrong, _] = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    if (wrong != actual.end() || actual.size() != expected.size()) {
        const auto at = static_cast<std::size_t>(wrong - actual.begin());
        const auto frame = std::count_if(actual.begin(), wrong, [](const std::string& l) { return l[0] != ' '; });
        FAIL() << "first difference in frame " << frame << ", line " << at + 1
               << " of frames.txt:\n  expected: " << (at < expected.size() ? expected[at] : "(end)")
               << "\n  actual:   " << (at < actual.size() ? actual[at] : "(end)");
    }
    // What the recording must go through, so that a new recording cannot quietly skip it.
    const auto count = [&](const std::string& what) {
        return std::count_if(expected.begin(), expected.end(),
                             [&](const std::string& line) { return line.find(what) != std::string::npos; });
    };
    EXPECT_EQ(count("tone life-lost"), 2);
    EXPECT_EQ(count("tone game-over-tune"), 1);
    EXPECT_GE(count("tone beep 880"), 3) << "three countdowns ran out";
    EXPECT_GE(count("tone crackle"), 3) << "target, bumper or gate";
    EXPECT_EQ(count("get http://scores.invalid/HighScoreSQL.php"), 1);
    EXPECT_EQ(count("post http://scores.invalid/api/v1/games/new"), 5)
        << "a ticket asked for at start-up, and at the start and the end of each game";
    EXPECT_GE(count("mouse released"), 2);
    EXPECT_EQ(count("end"), 1) << "ESC in the menu ends the program";

    // The recorder handed over both games, byte for byte as their files hold them, and
    // each replays to the game as it was played.
    ASSERT_EQ(run.Records.size(), std::size(RecordNames));
    ASSERT_EQ(run.Watched.size(), run.Records.size());
    for (std::size_t i = 0; i < run.Records.size(); ++i) {
        SCOPED_TRACE(RecordNames[i]);
        EXPECT_TRUE(run.Records[i] == ReadBytes(RecordDir + "/" + RecordNames[i]));
        testing::ExpectReplayOf(run.Games[i], run.Watched[i]);
    }
    EXPECT_EQ(run.Games[0].End, record::GameEnd::GameOver);
    EXPECT_EQ(run.Watched[0].Sampled.size(), 5u) << "first, contact, ring, gate, last in play";
    EXPECT_EQ(run.Games[1].End, record::GameEnd::Abandoned);
}

// The recorder: a bot that plays through the menu, help and pause, a game with its three
// lost balls, the gate and the bumper ring, the name entry, and a game abandoned with ESC.
class ReplayBot {
public:
    explicit ReplayBot(ReplayInput& input) : input_(input) {}

    // The inputs for the frame after frame, seen from the state it left.
    void Plan(const Game& g, int frame);

private:
    void Tap(int frame, std::initializer_list<int> keys, int heldFrames = 3) {
        platform::KeySnapshot held{};
        for (int key : keys) held[key] = true;
        input_.Keys[frame] = held;
        input_.Keys[frame + heldFrames] = platform::KeySnapshot{};
    }
    void Steer(const Game& g, int frame);

    ReplayInput& input_;
    int step_ = 0;
    int stepFrame_ = 0;
    int playFrames_ = 0;
    bool gateSeen_ = false, gateGone_ = false, ringSeen_ = false;
    int ringLiveFrames_ = 0;
    bool dropping_ = false;
    int typed_ = 0;
};

void ReplayBot::Steer(const Game& g, int frame) {
    const world::World& w = g.Run.World;
    const world::PlayState& m = g.Run.Play;
    if (m.Lives == 0 || m.Countdown != 0 || m.Paused) return;
    ++playFrames_;
    // Aim the ball at whatever extra is up, else sweep the field.
    float aimX = 300.0f + 200.0f * std::sin(static_cast<float>(playFrames_) / 700.0f);
    if (w.RingSize > 1.0f)
        aimX = static_cast<float>(w.RingX);
    else if (w.GatePostRadius > 0.0f)
        aimX = static_cast<float>(w.GateX);
    const float ballX = w.BallX + w.BallVX;
    const float offset = std::clamp((aimX - w.BallX) / 25.0f - 2.5f * w.BallVX, -14.0f, 14.0f);
    float wantX = ballX - offset;
    float wantY = 480.0f + 40.0f * std::sin(static_cast<float>(playFrames_) / 97.0f);
    if (dropping_) wantX = w.BallX < 300.0f ? 560.0f : 40.0f, wantY = 590.0f;
    const auto move = [](float want, std::int32_t at) {
        return static_cast<int>(std::clamp(std::lrint(want - static_cast<float>(at)), -40L, 40L));
    };
    platform::MouseReading reading{move(wantX, w.PaddleX), move(wantY, w.PaddleY), false};
    // A click now and then, released four frames later: a shot.
    reading.LeftButton = playFrames_ % 160 < 4 && !dropping_;
    input_.Mouse[frame] = reading;
}

void ReplayBot::Plan(const Game& g, int frame) {
    const world::World& w = g.Run.World;
    const world::PlayState& m = g.Run.Play;
    if (w.GatePostRadius == 5.0f) gateSeen_ = true;
    if (gateSeen_ && w.GatePostRadius < 0.0f) gateGone_ = true;
    if (w.RingSize == 10.0f) ringSeen_ = true, ++ringLiveFrames_;
    const int since = frame - stepFrame_;
    const auto next = [&] {
        ++step_, stepFrame_ = frame;
        std::fprintf(stderr, "replay bot: step %d from frame %d (lives %d)\n", step_, frame, m.Lives);
    };
    switch (step_) {
        case 0:  // the menu: help on and off, pause on and off, then a game
            if (frame == 40) Tap(frame, {Key::F1});
            if (frame == 140) Tap(frame, {Key::F1});
            if (frame == 200) Tap(frame, {Key::F4});
            if (frame == 260) Tap(frame, {Key::F4});
            if (frame == 330) Tap(frame, {Key::F2}), next();
            break;
        case 1:  // pause the countdown for a while
            if (since == 60) Tap(frame, {Key::F4});
            if (since == 120) Tap(frame, {Key::F4}), next();
            break;
        case 2:  // play, and the help page over the game
            if (playFrames_ == 300) Tap(frame, {Key::F1}), next();
            break;
        case 3:
            if (playFrames_ == 420) Tap(frame, {Key::F1}), next();
            break;
        case 4:  // a pause of a second in the middle of play
            if (playFrames_ == 700) Tap(frame, {Key::F4}), next();
            break;
        case 5:
            if (since == 120) Tap(frame, {Key::F4}), next();
            break;
        case 6:  // the first ball lost after a while
            dropping_ = playFrames_ > 1800 && m.Lives == 3;
            if (m.Lives == 2) dropping_ = false, next();
            break;
        case 7:  // the second ball once the first gate has come and gone
            dropping_ = gateGone_;
            if (m.Lives == 1) dropping_ = false, next();
            break;
        case 8:  // the last ball once the ring has been up for a while
            dropping_ = ringSeen_ && (ringLiveFrames_ > 1500 || w.RingSize < 0.0f);
            if (m.Lives == 0) dropping_ = false, next();
            break;
        case 9: {  // the name: "zorbleto", one wrong letter taken back, Enter
            static constexpr int Name[] = {21, 24, 19, 48, 38, 18, 20, 24, Key::Backspace, Key::Enter};
            if (since >= 90 && since % 8 == 0 && typed_ < 10) Tap(frame, {Name[typed_++]});
            if (typed_ == 10 && !g.Run.Mode.NameEntryActive) next();
            break;
        }
        case 10:  // the new list scrolls by; a second game, abandoned during its countdown
            if (since == 400) Tap(frame, {Key::F2});
            if (since == 520) Tap(frame, {Key::Escape}), next();
            break;
        case 11:  // and ESC in the menu ends the program
            if (since == 200) Tap(frame, {Key::Escape}, 2), next();
            break;
        default:
            break;
    }
    Steer(g, frame);
}

void WriteInput(const ReplayInput& input, const std::string& path) {
    std::ofstream file(path);
    file << "# The recorded replay's input: the random seed, the number of frames, the keys held from\n"
            "# a frame on (k FRAME SCANCODES...), and the mouse readings of consecutive frames from one\n"
            "# on (m FRAME DX,DY ..., with \",1\" while the left button is down).\n"
            "# Frames are counted by the pictures presented before the input is read.\n";
    file << "seed " << input.Seed << "\nframes " << input.Frames << "\n";
    std::map<int, std::string> lines;
    for (const auto& [frame, keys] : input.Keys) {
        // Appended piece by piece: GCC 12 warns of a false overlap in " " + std::string.
        std::string line = "k " + std::to_string(frame);
        for (int key = 0; key < platform::KeyCount; ++key)
            if (keys[key]) line.append(1, ' ').append(std::to_string(key));
        lines.emplace(frame * 2, line);
    }
    // Runs of up to 16 frames with a reading: "m FIRST DX,DY[,1] ..." (1: button down).
    for (auto m = input.Mouse.begin(); m != input.Mouse.end();) {
        const int first = m->first;
        std::string line = "m " + std::to_string(first);
        for (int frame = first; m != input.Mouse.end() && m->first == frame && frame < first + 16; ++m, ++frame) {
            const platform::MouseReading& r = m->second;
            line.append(1, ' ').append(std::to_string(r.DeltaX)).append(1, ',').append(std::to_string(r.DeltaY));
            line.append(r.LeftButton ? ",1" : "");
        }
        lines.emplace(first * 2 + 1, line);
    }
    for (const auto& [_, line] : lines) file << line << "\n";
}

void RecordReplay() {
    ReplayInput input;
    input.Seed = 20261210;
    input.Frames = 20'000;
    ReplayBot bot(input);
    {
        ReplayMachine machine(input);
        ASSERT_EQ(StartUp(machine.game, machine.devices), FrameOutcome::Continue);
        while (machine.screen.Presents < input.Frames) {
            bot.Plan(machine.game, machine.screen.Presents);
            if (RunFrame(machine.game, machine.devices) != FrameOutcome::Continue) break;
        }
        input.Frames = machine.screen.Presents;
    }
    WriteInput(input, ReplayDir + "/input.txt");
    const ReplayRun run = Replay(ReadInput(ReplayDir + "/input.txt"));
    std::ofstream frames(ReplayDir + "/frames.txt");
    for (const std::string& line : run.Lines) frames << line << "\n";
    for (std::size_t i = 0; i < run.Records.size() && i < std::size(RecordNames); ++i) {
        std::ofstream(RecordDir + "/" + RecordNames[i], std::ios::binary)
            .write(reinterpret_cast<const char*>(run.Records[i].data()),
                   static_cast<std::streamsize>(run.Records[i].size()));
    }
}

}  // namespace
}  // namespace zorblet::frame
