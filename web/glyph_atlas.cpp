#include "glyph_atlas.h"

#include <algorithm>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "record/bytes.h"
#include "render/font.h"

namespace zorblet::web {

namespace {

using record::ByteReader;
using record::PutVarint32;
using record::UnZigZag;
using record::ZigZag;

constexpr std::string_view Mark = "ZGLA";
constexpr std::uint8_t LayoutVersion = 1;
// The largest glyph side the layout holds; the game's biggest face is 43 pixels an em.
constexpr int MaxGlyphSide = 255;
constexpr std::size_t MaxFamilyBytes = 255;

// Passes each face on to the game's fonts, keeping what it draws.
class CollectingLoader final : public platform::FontLoader {
public:
    explicit CollectingLoader(platform::FontLoader& source) : source_(source) {}

    std::unique_ptr<platform::GlyphSource> Load(const char* family, platform::FontStyle style, int emPixels) override {
        render::Font font(source_.Load(family, style, emPixels));
        AtlasFace face{.Family = family, .Style = style, .EmPixels = emPixels, .CellHeight = font.CellHeight()};
        for (int c = 0; c < 256; ++c) face.Glyphs[c] = font.Glyph(static_cast<std::uint8_t>(c));
        Faces.push_back(std::move(face));
        return nullptr;  // the fonts made from it are not used
    }

    std::vector<AtlasFace> Faces;

private:
    platform::FontLoader& source_;
};

void PutSigned(std::vector<std::uint8_t>& out, int value) {
    PutVarint32(out, ZigZag(value));
}

void PutGlyph(std::vector<std::uint8_t>& out, const platform::GlyphBitmap& glyph) {
    if (glyph.Width < 0 || glyph.Height < 0 || glyph.Width > MaxGlyphSide || glyph.Height > MaxGlyphSide) {
        throw std::length_error("a glyph of the atlas is at most 255 pixels a side");
    }
    PutSigned(out, glyph.Left);
    PutSigned(out, glyph.Top);
    PutSigned(out, glyph.Advance);
    PutVarint32(out, static_cast<std::uint32_t>(glyph.Width));
    PutVarint32(out, static_cast<std::uint32_t>(glyph.Height));
    // One bit a pixel, rows one after the other, the first pixel in the lowest bit.
    std::uint8_t bits = 0;
    int used = 0;
    for (std::uint8_t coverage : glyph.Coverage) {
        if (coverage != 0) bits = static_cast<std::uint8_t>(bits | 1u << used);
        if (++used == 8) {
            out.push_back(bits);
            bits = 0;
            used = 0;
        }
    }
    if (used != 0) out.push_back(bits);
}

std::optional<int> SignedFrom(ByteReader& in) {
    const auto value = in.Varint32();
    if (!value) return std::nullopt;
    return UnZigZag(*value);
}

std::optional<int> SideFrom(ByteReader& in) {
    const auto value = in.Varint32();
    if (!value || *value > static_cast<std::uint32_t>(MaxGlyphSide)) return std::nullopt;
    return static_cast<int>(*value);
}

std::optional<platform::GlyphBitmap> GlyphFrom(ByteReader& in) {
    const auto left = SignedFrom(in), top = SignedFrom(in), advance = SignedFrom(in);
    if (!left || !top || !advance) return std::nullopt;
    const auto width = SideFrom(in), height = SideFrom(in);
    if (!width || !height) return std::nullopt;
    const std::size_t pixels = static_cast<std::size_t>(*width) * static_cast<std::size_t>(*height);
    const auto bits = in.Bytes((pixels + 7) / 8);
    if (!bits) return std::nullopt;
    platform::GlyphBitmap glyph{
        .Left = *left, .Top = *top, .Width = *width, .Height = *height, .Advance = *advance, .Coverage = {}};
    glyph.Coverage.resize(pixels);
    for (std::size_t i = 0; i < pixels; ++i) glyph.Coverage[i] = ((*bits)[i / 8] >> (i % 8)) & 1u;
    return glyph;
}

std::optional<AtlasFace> FaceFrom(ByteReader& in) {
    const auto familyLength = in.Byte();
    if (!familyLength) return std::nullopt;
    const auto family = in.Bytes(*familyLength);
    const auto style = in.Byte();
    const auto em = in.Varint32();
    const auto cellHeight = in.Varint32();
    if (!family || !style || *style > 1 || !em || !cellHeight || *em > 0xffff || *cellHeight > 0xffff) {
        return std::nullopt;
    }
    AtlasFace face{.Family = std::string(family->begin(), family->end()),
                   .Style = *style == 1 ? platform::FontStyle::Bold : platform::FontStyle::Regular,
                   .EmPixels = static_cast<int>(*em),
                   .CellHeight = static_cast<int>(*cellHeight)};
    for (auto& glyph : face.Glyphs) {
        auto read = GlyphFrom(in);
        if (!read) return std::nullopt;
        glyph = std::move(*read);
    }
    return face;
}

// A face of the atlas, handed out glyph by glyph.
class AtlasGlyphSource final : public platform::GlyphSource {
public:
    explicit AtlasGlyphSource(std::shared_ptr<const AtlasFace> face) : face_(std::move(face)) {}
    int CellHeight() const override { return face_->CellHeight; }
    platform::GlyphBitmap Render(std::uint8_t character) override { return face_->Glyphs[character]; }

private:
    std::shared_ptr<const AtlasFace> face_;
};

}  // namespace

std::vector<AtlasFace> CollectGameFaces(platform::FontLoader& source) {
    CollectingLoader collector(source);
    render::CreateFonts(collector);
    return std::move(collector.Faces);
}

std::vector<std::uint8_t> EncodeGlyphAtlas(const std::vector<AtlasFace>& faces) {
    if (faces.size() > 255) throw std::length_error("an atlas holds at most 255 faces");
    std::vector<std::uint8_t> out(Mark.begin(), Mark.end());
    out.push_back(LayoutVersion);
    out.push_back(static_cast<std::uint8_t>(faces.size()));
    for (const AtlasFace& face : faces) {
        if (face.Family.size() > MaxFamilyBytes) throw std::length_error("a face's family name is at most 255 bytes");
        out.push_back(static_cast<std::uint8_t>(face.Family.size()));
        out.insert(out.end(), face.Family.begin(), face.Family.end());
        out.push_back(face.Style == platform::FontStyle::Bold ? 1 : 0);
        PutVarint32(out, static_cast<std::uint32_t>(face.EmPixels));
        PutVarint32(out, static_cast<std::uint32_t>(face.CellHeight));
        for (const auto& glyph : face.Glyphs) PutGlyph(out, glyph);
    }
    return out;
}

std::optional<std::vector<AtlasFace>> DecodeGlyphAtlas(std::span<const std::uint8_t> bytes) {
    ByteReader in(bytes);
    const auto mark = in.Bytes(Mark.size());
    if (!mark || !std::equal(mark->begin(), mark->end(), Mark.begin())) return std::nullopt;
    const auto version = in.Byte();
    const auto count = in.Byte();
    if (!version || *version != LayoutVersion || !count) return std::nullopt;
    std::vector<AtlasFace> faces;
    for (int i = 0; i < *count; ++i) {
        auto face = FaceFrom(in);
        if (!face) return std::nullopt;
        faces.push_back(std::move(*face));
    }
    if (in.Left() != 0) return std::nullopt;
    return faces;
}

AtlasFontLoader::AtlasFontLoader(std::vector<AtlasFace> faces) {
    for (AtlasFace& face : faces) faces_.push_back(std::make_shared<const AtlasFace>(std::move(face)));
}

std::unique_ptr<platform::GlyphSource> AtlasFontLoader::Load(const char* family, platform::FontStyle style,
                                                             int emPixels) {
    for (const auto& face : faces_) {
        if (face->Family == family && face->Style == style && face->EmPixels == emPixels) {
            return std::make_unique<AtlasGlyphSource>(face);
        }
    }
    missing_.push_back(std::string(family) + (style == platform::FontStyle::Bold ? " bold " : " regular ") +
                       std::to_string(emPixels) + " px");
    return nullptr;
}

}  // namespace zorblet::web
