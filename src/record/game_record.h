#pragma once
// A recorded game: what a replay needs to play it again (the rules it was played by, its
// seed, every frame's input) and what it claims (the score, how it ended), with the
// ticket the highscore service issued for it. Plain data; record_format.h turns it into
// bytes and back, recorder.h collects it frame by frame.

#include <cstdint>
#include <vector>

namespace zorblet::record {

// The file layout this library writes; it reads this one and refuses later ones.
inline constexpr std::uint16_t CurrentFormatVersion = 1;

// The longest game a record may hold: three hours at the game's pace of 121 frames a
// second. A reader refuses a record that claims more.
inline constexpr std::uint32_t FramesPerSecond = 121;
inline constexpr std::uint32_t MaxFrames = 3 * 60 * 60 * FramesPerSecond;

// The service's signed tickets are short; a record refuses a longer one.
inline constexpr std::size_t MaxTicketBytes = 512;

// What reaches the world in one frame: the mouse's motion and left button as read in that
// frame (zero and up when the frame did not read it), and the function keys that act on
// the world, each true in the frame whose key reading found it released.
struct FrameInput {
    std::int32_t DeltaX = 0;
    std::int32_t DeltaY = 0;
    bool LeftButton = false;
    bool F2Released = false;      // a new game
    bool F4Released = false;      // pause and resume
    bool EscapeReleased = false;  // abandon the game

    bool operator==(const FrameInput&) const = default;
};

// How the game ended. The values are the ones the file holds.
enum class GameEnd : std::uint8_t {
    GameOver = 0,   // the last ball was lost
    Abandoned = 1,  // ESC during the game
    NewGame = 2,    // F2 during the game started another one
};
inline constexpr std::uint8_t LastGameEnd = 2;

struct GameRecord {
    // The layout the record was read from; EncodeRecord writes only CurrentFormatVersion.
    std::uint16_t FormatVersion = CurrentFormatVersion;
    // The version of the world's rules the game was played by: a replay needs the same.
    std::uint32_t RulesVersion = 0;
    // The seed of the game's random numbers. 64 bits, so that a seed the service hands
    // out fits whatever its size; how the world turns it into its generator's state
    // belongs to the rules version.
    std::uint64_t Seed = 0;
    // One entry per frame, from the game's first frame to its last: the frame count is
    // the size, at most MaxFrames.
    std::vector<FrameInput> Frames{};
    // The whole points the game showed at its end and sent to the list.
    std::int32_t Score = 0;
    GameEnd End = GameEnd::GameOver;
    // The service's ticket for this game, opaque here; empty when the game had none.
    // At most MaxTicketBytes.
    std::vector<std::uint8_t> Ticket{};

    bool operator==(const GameRecord&) const = default;
};

}  // namespace zorblet::record
