// The watch page's code, built natively: the glyph atlas gives back exactly the glyphs the
// game's fonts draw, refuses what is no atlas, and names a face it lacks; a playback seeks
// back and forth to the same states and pictures.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "glyph_atlas.h"
#include "platform/ttf_fonts.h"
#include "playback.h"
#include "record/record_format.h"
#include "render/font.h"
#include "world/state_hash.h"

namespace zorblet::web {
namespace {

const std::string RecordFixtureDir = ZORBLET_RECORD_FIXTURE_DIR;

class NoTones final : public sound::ToneStarter {
public:
    void StartTone(sound::ToneEffect, std::int32_t) override {}
};

// The game's faces as SDL_ttf renders them, once for the whole suite.
const std::vector<AtlasFace>& GameFaces() {
    static const std::vector<AtlasFace> faces = [] {
        platform::TtfFontLoader loader;
        return CollectGameFaces(loader);
    }();
    return faces;
}

void ExpectSameGlyph(const platform::GlyphBitmap& expected, const platform::GlyphBitmap& actual,
                     const std::string& where) {
    EXPECT_EQ(expected.Left, actual.Left) << where;
    EXPECT_EQ(expected.Top, actual.Top) << where;
    EXPECT_EQ(expected.Width, actual.Width) << where;
    EXPECT_EQ(expected.Height, actual.Height) << where;
    EXPECT_EQ(expected.Advance, actual.Advance) << where;
    EXPECT_EQ(expected.Coverage, actual.Coverage) << where;
}

// A face of a few small glyphs, quick to cut at every byte.
AtlasFace SmallFace() {
    AtlasFace face{.Family = "Courier New", .Style = platform::FontStyle::Bold, .EmPixels = 11, .CellHeight = 13};
    face.Glyphs['A'] = {
        .Left = -1, .Top = 2, .Width = 3, .Height = 3, .Advance = 7, .Coverage = {0, 1, 0, 1, 0, 1, 1, 1, 1}};
    face.Glyphs[0xFC] = {
        .Left = 0, .Top = 0, .Width = 9, .Height = 1, .Advance = 7, .Coverage = {1, 0, 0, 0, 0, 0, 0, 0, 1}};
    return face;
}

TEST(GlyphAtlas, DrawsEveryGlyphOfTheGameAsItsFontsDo) {
    platform::TtfFontLoader ttf;
    render::Fonts game = render::CreateFonts(ttf);
    auto decoded = DecodeGlyphAtlas(EncodeGlyphAtlas(GameFaces()));
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->size(), 5u);  // the game's five fonts
    AtlasFontLoader atlasLoader(std::move(*decoded));
    render::Fonts fromAtlas = render::CreateFonts(atlasLoader);
    EXPECT_TRUE(atlasLoader.Missing().empty());

    using render::Font;
    using render::Fonts;
    for (const auto& [name, member] : {std::pair{"FontBold14", &Fonts::FontBold14},
                                       {"FontNormal14", &Fonts::FontNormal14},
                                       {"FontBold22", &Fonts::FontBold22},
                                       {"FontBold8", &Fonts::FontBold8},
                                       {"FontBold32", &Fonts::FontBold32}}) {
        Font& expected = game.*member;
        Font& actual = fromAtlas.*member;
        EXPECT_EQ(expected.CellHeight(), actual.CellHeight()) << name;
        for (int c = 0; c < 256; ++c) {
            const auto character = static_cast<std::uint8_t>(c);
            ExpectSameGlyph(expected.Glyph(character), actual.Glyph(character),
                            std::string(name) + " character " + std::to_string(c));
        }
    }
}

TEST(GlyphAtlas, RefusesBytesThatAreNoWholeAtlas) {
    const std::vector<std::uint8_t> atlas = EncodeGlyphAtlas({SmallFace(), SmallFace()});
    ASSERT_TRUE(DecodeGlyphAtlas(atlas));
    for (std::size_t size = 0; size < atlas.size(); ++size) {
        EXPECT_FALSE(DecodeGlyphAtlas(std::span(atlas.data(), size))) << "cut to " << size << " bytes";
    }
    const auto changed = [&](std::size_t at, std::uint8_t value) {
        auto bytes = atlas;
        bytes[at] = value;
        return bytes;
    };
    auto trailing = atlas;
    trailing.push_back(0);
    const std::vector<std::pair<const char*, std::vector<std::uint8_t>>> cases = {
        {"another file", changed(0, 'G')},           {"a later layout", changed(4, 2)},
        {"a style beyond bold", changed(7 + 11, 2)}, {"more faces than it holds", changed(5, 3)},
        {"a byte after its end", trailing},
    };
    for (const auto& [name, bytes] : cases) EXPECT_FALSE(DecodeGlyphAtlas(bytes)) << name;
}

TEST(GlyphAtlas, RefusesToWriteWhatItsLayoutCannotHold) {
    AtlasFace longName = SmallFace();
    longName.Family.assign(256, 'x');
    AtlasFace wideGlyph = SmallFace();
    wideGlyph.Glyphs['W'] = {
        .Left = 0, .Top = 0, .Width = 256, .Height = 1, .Advance = 7, .Coverage = std::vector<std::uint8_t>(256, 1)};
    EXPECT_THROW(EncodeGlyphAtlas({longName}), std::length_error);
    EXPECT_THROW(EncodeGlyphAtlas({wideGlyph}), std::length_error);
}

TEST(GlyphAtlas, NamesAFaceItLacksAndLoadsItEmpty) {
    AtlasFontLoader loader({SmallFace()});
    EXPECT_NE(loader.Load("Courier New", platform::FontStyle::Bold, 11), nullptr);
    EXPECT_EQ(loader.Load("Courier New", platform::FontStyle::Regular, 11), nullptr);
    EXPECT_EQ(loader.Load("Courier New", platform::FontStyle::Bold, 43), nullptr);
    EXPECT_EQ(loader.Missing(), (std::vector<std::string>{"Courier New regular 11 px", "Courier New bold 43 px"}));
}

record::GameRecord FixtureRecord(const std::string& name) {
    std::ifstream in(RecordFixtureDir + "/" + name, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    auto decoded = record::DecodeRecord(bytes);
    EXPECT_TRUE(decoded.Record) << decoded.Message;
    return decoded.Record.value_or(record::GameRecord{});
}

struct Seen {
    std::uint64_t GameHash = 0, DecorationHash = 0;
    std::vector<std::uint32_t> Pixels;
    bool operator==(const Seen&) const = default;
};

Seen SeenAfter(Playback& playback, const render::Fonts& fonts, std::uint32_t frames) {
    render::Canvas canvas;
    playback.SeekTo(frames);
    playback.Draw(canvas, fonts);
    const world::GameState& state = playback.Player().State();
    return {world::GameHash(state), world::DecorationHash(state.World),
            {canvas.Pixels(), canvas.Pixels() + render::Canvas::Width * render::Canvas::Height}};
}

// Seeks that land on, just before and just after a snapshot, jump back to the start, skip
// kept snapshots forward and go past the end reach the state and the picture of a fresh
// playback stepped straight there.
TEST(Playback, SeeksBackAndForthToTheStatesAndPicturesOfPlayingStraight) {
    AtlasFontLoader loader(GameFaces());
    const render::Fonts fonts = render::CreateFonts(loader);
    const record::GameRecord game = FixtureRecord("HandPlayedMinute.zrec");
    ASSERT_GT(game.Frames.size(), 6 * SnapshotInterval);
    Playback wandering(game);
    SeenAfter(wandering, fonts, 5 * SnapshotInterval + 7);
    EXPECT_EQ(wandering.SnapshotCount(), 6u);
    const std::uint32_t last = static_cast<std::uint32_t>(game.Frames.size());
    for (std::uint32_t frames : {4 * SnapshotInterval, 4 * SnapshotInterval - 1, 300u, 0u, 1u,
                                 2 * SnapshotInterval + 1, 5 * SnapshotInterval + 7, last - 1, last, last + 50}) {
        SCOPED_TRACE(frames);
        Playback fresh(game);
        NoTones tones;
        while (fresh.FramesPlayed() < frames && fresh.PlayFrame(tones)) {
        }
        EXPECT_EQ(SeenAfter(wandering, fonts, frames), SeenAfter(fresh, fonts, frames));
        EXPECT_EQ(wandering.FramesPlayed(), std::min(frames, last));
    }
    EXPECT_EQ(wandering.SnapshotCount(), last / SnapshotInterval + 1) << "one at the start, one every interval";
    // The pictures change as it plays: the seek did not stand still.
    EXPECT_NE(SeenAfter(wandering, fonts, 300), SeenAfter(wandering, fonts, 2500));
}

TEST(Playback, StopsAtTheRecordsEnd) {
    Playback playback(FixtureRecord("EveryFlag.zrec"));
    ASSERT_EQ(playback.FrameCount(), 16u);
    playback.SeekTo(1000);
    EXPECT_EQ(playback.FramesPlayed(), 16u);
    NoTones tones;
    EXPECT_FALSE(playback.PlayFrame(tones));
    EXPECT_EQ(playback.FramesPlayed(), 16u);
}

}  // namespace
}  // namespace zorblet::web
