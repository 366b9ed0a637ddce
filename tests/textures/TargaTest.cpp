#include "AllocationWatch.h"
#include "TargaBytes.h"
#include "textures/Textures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>

namespace {

using testsupport::Bytes;
using testsupport::Tga;

// Red, green, blue as 24-bit map entries (B, G, R), for pixel values 2, 3, 4.
Tga mapped(uint8_t type = 1, Bytes data = {2, 3, 4, 2})
{
    return {.type = type, .depth = 8, .mapType = 1, .mapFirst = 2, .mapLength = 3, .mapBits = 24,
            .map = {0, 0, 255, 0, 255, 0, 255, 0, 0}, .data = std::move(data)};
}

const Bytes kBgr24{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};

// A file and the pixels it holds, bottom row first (every file here stores
// the bottom row first, so that is also the stored order).
struct Decoded {
    const char* label;
    Tga file;
    GLenum format;
    Bytes pixels;
};

void PrintTo(const Decoded& value, std::ostream* out) { *out << value.label; }

const Decoded kDecoded[] = {
    {"Mapped24", mapped(), GL_RGB, {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 0, 0}},
    {"Mapped32",
     {.type = 1, .depth = 8, .mapType = 1, .mapLength = 2, .mapBits = 32,
      .map = {0, 0, 255, 10, 255, 255, 255, 20}, .data = {0, 1, 1, 0}},
     GL_RGBA, {255, 0, 0, 10, 255, 255, 255, 20, 255, 255, 255, 20, 255, 0, 0, 10}},
    {"Mapped16WithAlphaBit",
     {.type = 1, .depth = 8, .descriptor = 1, .mapType = 1, .mapLength = 2, .mapBits = 16,
      .map = {0x00, 0x7C, 0xE0, 0x83}, .data = {0, 1, 1, 0}},
     GL_RGBA, {255, 0, 0, 0, 0, 255, 0, 255, 0, 255, 0, 255, 255, 0, 0, 0}},
    {"Mapped15",
     {.type = 1, .depth = 8, .mapType = 1, .mapLength = 2, .mapBits = 15, .map = {0x1F, 0x00, 0xFF, 0xFF},
      .data = {0, 1, 0, 1}},
     GL_RGB, {0, 0, 255, 255, 255, 255, 0, 0, 255, 255, 255, 255}},
    {"True15", {.depth = 15, .data = {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0x10, 0x42}},
     GL_RGB, {255, 0, 0, 0, 255, 0, 0, 0, 255, 132, 132, 132}},
    {"True16WithAlphaBit", {.depth = 16, .descriptor = 1, .data = {0x00, 0x7C, 0x00, 0xFC, 0xE0, 0x03, 0xE0, 0x83}},
     GL_RGBA, {255, 0, 0, 0, 255, 0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 255}},
    {"True16WithoutAttributeBits", {.depth = 16, .data = {0x00, 0x7C, 0x00, 0xFC, 0x1F, 0x00, 0x1F, 0x80}},
     GL_RGB, {255, 0, 0, 255, 0, 0, 0, 0, 255, 0, 0, 255}},
    {"True24", {.data = kBgr24}, GL_RGB, {3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10}},
    {"True32", {.depth = 32, .data = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}},
     GL_RGBA, {3, 2, 1, 4, 7, 6, 5, 8, 11, 10, 9, 12, 15, 14, 13, 16}},
    {"Grey8", {.type = 3, .depth = 8, .data = {0, 85, 170, 255}},
     GL_RGB, {0, 0, 0, 85, 85, 85, 170, 170, 170, 255, 255, 255}},
    {"Grey16", {.type = 3, .depth = 16, .data = {10, 1, 20, 2, 30, 3, 40, 4}},
     GL_RGBA, {10, 10, 10, 1, 20, 20, 20, 2, 30, 30, 30, 3, 40, 40, 40, 4}},
    {"Grey24ReadAsColour", {.type = 3, .data = kBgr24}, GL_RGB, {3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10}},
    {"UnusedMapAndIdSkipped",
     {.mapType = 1, .mapLength = 2, .mapBits = 24, .id = {'i', 'd'}, .map = Bytes(6, 9), .data = kBgr24},
     GL_RGB, {3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10}},
    {"RunLengthMapped", mapped(9, {0x82, 3, 0x00, 4}), GL_RGB, {0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 255}},
    {"RunLengthTrue24", {.type = 10, .data = {0x00, 1, 2, 3, 0x82, 4, 5, 6}},
     GL_RGB, {3, 2, 1, 6, 5, 4, 6, 5, 4, 6, 5, 4}},
    {"RunLengthTrue32", {.type = 10, .depth = 32, .data = {0x81, 1, 2, 3, 4, 0x01, 5, 6, 7, 8, 9, 10, 11, 12}},
     GL_RGBA, {3, 2, 1, 4, 3, 2, 1, 4, 7, 6, 5, 8, 11, 10, 9, 12}},
    {"RunLengthGrey", {.type = 11, .depth = 8, .data = {0x83, 77}}, GL_RGB, Bytes(12, 77)},
    {"RunLength16WithAlphaBit", {.type = 10, .depth = 16, .descriptor = 1, .data = {0x83, 0x00, 0xFC}},
     GL_RGBA, {255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255}},
};

class GameTarga : public ::testing::TestWithParam<Decoded> {};

TEST_P(GameTarga, DecodesToKnownPixels)
{
    const DecodedImage image = DecodeGameTarga(GetParam().file.bytes());
    ASSERT_EQ(image.fault, ImageFault::None);
    EXPECT_EQ(image.width, 2);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.format, GetParam().format);
    EXPECT_EQ(image.pixels, GetParam().pixels);
}

// Every prefix of a good file is short somewhere: header, identification
// field, colour map, a packet, or the pixels.
TEST_P(GameTarga, RefusesEveryTruncation)
{
    const Bytes whole = GetParam().file.bytes();
    for (size_t size = 0; size < whole.size(); ++size) {
        const DecodedImage image = DecodeGameTarga(std::span(whole).first(size));
        EXPECT_TRUE(image.fault == ImageFault::HeaderShort || image.fault == ImageFault::DataShort) << size;
        EXPECT_TRUE(image.pixels.empty());
    }
}

// The viewer's rules take uncompressed true colour at 24 and 32 bits only,
// and decode it exactly as the game's do.
TEST_P(GameTarga, ViewerRulesTakeOnlyUncompressedTrueColour)
{
    const std::string label = GetParam().label;
    const DecodedImage image = DecodeTarga(GetParam().file.bytes());
    if (label == "True24" || label == "True32") {
        EXPECT_EQ(image.format, GetParam().format);
        EXPECT_EQ(image.pixels, GetParam().pixels);
    } else {
        const ImageFault expected = GetParam().file.type != 2      ? ImageFault::Compressed
                                    : GetParam().file.mapType != 0 ? ImageFault::ColorMapped
                                                                   : ImageFault::DepthUnsupported;
        EXPECT_EQ(image.fault, expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Types, GameTarga, ::testing::ValuesIn(kDecoded),
                         [](const auto& info) { return std::string(info.param.label); });

// A 3 x 2 grey picture: bottom row 10, 20, 30; top row 40, 50, 60. The file
// stores it in the order the descriptor's origin bits give, as one raw packet
// of six pixels or as raw pixels.
Bytes storedGrey(uint8_t descriptor)
{
    const Bytes rows[2] = {{10, 20, 30}, {40, 50, 60}};
    Bytes stored;
    for (int r = 0; r < 2; ++r) {
        Bytes row = rows[(descriptor & 0x20) != 0 ? 1 - r : r];
        if ((descriptor & 0x10) != 0)
            std::reverse(row.begin(), row.end());
        stored.insert(stored.end(), row.begin(), row.end());
    }
    return stored;
}

Bytes rgbOfGrey(const Bytes& grey)
{
    Bytes rgb;
    for (uint8_t g : grey)
        rgb.insert(rgb.end(), {g, g, g});
    return rgb;
}

// The game ignores both origin bits: whatever they say, the stored pixels
// are the picture's rows from the bottom, each left to right (so a file
// stored from the top shows upside down, one stored right to left mirrored).
TEST(TargaOrigins, GameRulesIgnoreTheOriginBits)
{
    for (uint8_t descriptor : {0x00, 0x10, 0x20, 0x30}) {
        Bytes packet{0x05};
        const Bytes stored = storedGrey(descriptor);
        packet.insert(packet.end(), stored.begin(), stored.end());
        for (const Tga& file : {Tga{.type = 3, .depth = 8, .width = 3, .descriptor = descriptor, .data = stored},
                                Tga{.type = 11, .depth = 8, .width = 3, .descriptor = descriptor, .data = packet}}) {
            const DecodedImage image = DecodeGameTarga(file.bytes());
            EXPECT_EQ(image.pixels, rgbOfGrey(stored)) << int(descriptor) << " type " << int(file.type);
        }
    }
    // The viewer's rules honour the origin of the files they accept.
    const Tga topRight{.width = 1, .height = 2, .descriptor = 0x30, .data = {1, 2, 3, 4, 5, 6}};
    EXPECT_EQ(DecodeTarga(topRight.bytes()).pixels, (Bytes{6, 5, 4, 3, 2, 1}));
}

// A run of four crosses the row end (the top-first bit changes nothing);
// of packets past the end of the image the game keeps the pixels that fit.
TEST(TargaOrigins, RunsCrossRowEndsAndStopAtTheImageEnd)
{
    for (uint8_t descriptor : {0x00, 0x20}) {
        const Tga file{.type = 11, .depth = 8, .width = 3, .descriptor = descriptor, .data = {0x83, 7, 0x81, 9}};
        EXPECT_EQ(DecodeGameTarga(file.bytes()).pixels, rgbOfGrey({7, 7, 7, 7, 9, 9}));
    }
    EXPECT_EQ(DecodeGameTarga(Tga{.type = 11, .depth = 8, .data = {0x84, 1}}.bytes()).pixels,
              rgbOfGrey({1, 1, 1, 1}));
    const Tga raw{.type = 11, .depth = 8, .data = {0x01, 1, 2, 0x04, 3, 4, 5, 6, 7}};
    EXPECT_EQ(DecodeGameTarga(raw.bytes()).pixels, rgbOfGrey({1, 2, 3, 4}));
}

struct Refused {
    const char* label;
    std::function<void(Tga&)> change;
    ImageFault fault;
};

void PrintTo(const Refused& value, std::ostream* out) { *out << value.label; }

class RefusedTarga : public ::testing::TestWithParam<Refused> {};

TEST_P(RefusedTarga, GivesItsFaultAndNoPixels)
{
    Tga file = mapped();
    GetParam().change(file);
    const DecodedImage image = DecodeGameTarga(file.bytes());
    EXPECT_EQ(image.fault, GetParam().fault);
    EXPECT_TRUE(image.pixels.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Game, RefusedTarga,
    ::testing::Values(
        Refused{"RawPacketPastData", [](Tga& t) { t = {.type = 11, .depth = 8, .data = {0x03, 1, 2, 3}}; },
                ImageFault::DataShort},
        Refused{"PacketsEndEarly", [](Tga& t) { t = {.type = 10, .data = {0x81, 1, 2, 3}}; }, ImageFault::DataShort},
        Refused{"IndexBelowMap", [](Tga& t) { t.data = {2, 3, 1, 4}; }, ImageFault::ColorIndexOutOfRange},
        Refused{"IndexAboveMap", [](Tga& t) { t.data = {2, 3, 4, 5}; }, ImageFault::ColorIndexOutOfRange},
        Refused{"IndexInRunPacket", [](Tga& t) { t = mapped(9, {0x83, 200}); }, ImageFault::ColorIndexOutOfRange},
        Refused{"ColorMapShort", [](Tga& t) { t.map.pop_back(); t.data.clear(); }, ImageFault::DataShort},
        Refused{"UnknownType", [](Tga& t) { t.type = 32; }, ImageFault::TypeUnsupported},
        Refused{"NoImageType", [](Tga& t) { t.type = 0; }, ImageFault::TypeUnsupported},
        Refused{"MapTypeTwo", [](Tga& t) { t.mapType = 2; }, ImageFault::ColorMapUnsupported},
        Refused{"MappedWithoutMap", [](Tga& t) { t.mapType = 0; }, ImageFault::ColorMapUnsupported},
        Refused{"EmptyMap", [](Tga& t) { t.mapLength = 0; }, ImageFault::ColorMapUnsupported},
        Refused{"MapEntriesOf8Bits", [](Tga& t) { t.mapBits = 8; }, ImageFault::ColorMapUnsupported},
        Refused{"MappedDepth16", [](Tga& t) { t.depth = 16; }, ImageFault::DepthUnsupported},
        Refused{"TrueColourDepth8", [](Tga& t) { t = {.depth = 8, .data = {1, 2, 3, 4}}; },
                ImageFault::DepthUnsupported},
        Refused{"GreyDepth15", [](Tga& t) { t = {.type = 3, .depth = 15, .data = kBgr24}; },
                ImageFault::DepthUnsupported},
        Refused{"NoPixels", [](Tga& t) { t.width = 0; }, ImageFault::SizeUnsupported},
        Refused{"TooHigh", [](Tga& t) { t.height = 8193; }, ImageFault::SizeUnsupported}),
    [](const auto& info) { return std::string(info.param.label); });

// What the game's own reader makes of a file: a part of its reason to refuse
// it ("" when it reads it), whether it shows it upside down, mirrored.
TEST(TargaAsGame, RefusesOrReadsAsTheGameDoes)
{
    Bytes idPastEnd = Tga{.id = Bytes(3, 0)}.bytes();
    idPastEnd.resize(19);
    Tga topDownMapped = mapped();
    topDownMapped.descriptor = 0x20;
    const std::tuple<const char*, Bytes, const char*, bool, bool> cases[] = {
        {"True24", Tga{.data = kBgr24}.bytes(), "", false, false},
        {"Grey24AsColour", Tga{.type = 3, .data = kBgr24}.bytes(), "", false, false},
        {"ColourMapped", topDownMapped.bytes(), "image type 1 (colour-mapped)", false, false},
        {"RunLengthGrey", Tga{.type = 11, .depth = 8, .data = {0x83, 7}}.bytes(), "image type 11 ", false, false},
        {"MapBesideTrueColour", Tga{.mapType = 1, .mapLength = 1, .mapBits = 24, .map = {1, 2, 3}, .data = kBgr24}.bytes(),
         "colour map", false, false},
        {"True16", Tga{.type = 10, .depth = 16, .data = {0x83, 0, 0}}.bytes(), "16 bits a pixel", false, false},
        {"Grey16", Tga{.type = 3, .depth = 16, .data = Bytes(8, 0)}.bytes(), "grey images of 8 bits", false, false},
        {"HeaderShort", Bytes(17, 0), "header is cut short", false, false},
        {"IdPastEnd", idPastEnd, "identification", false, false},
        {"PacketsShort", Tga{.type = 10, .data = {0x81, 1, 2, 3}}.bytes(), "data is cut short", false, false},
        {"TopDown", Tga{.descriptor = 0x28, .data = kBgr24}.bytes(), "", true, false},
        {"RightToLeft", Tga{.depth = 32, .descriptor = 0x18, .data = Bytes(16, 0)}.bytes(), "", false, true},
    };
    for (const auto& [label, file, refusal, upsideDown, mirrored] : cases) {
        const TargaGameReading reading = ReadTargaAsGame(file);
        EXPECT_EQ(reading.refusal.empty(), *refusal == '\0') << label << ": " << reading.refusal;
        EXPECT_NE(reading.refusal.find(refusal), std::string::npos) << label << ": " << reading.refusal;
        EXPECT_EQ(reading.upsideDown, upsideDown) << label;
        EXPECT_EQ(reading.mirrored, mirrored) << label;
    }
}

// A few bytes of run-length data cannot fill 8192 x 8192 pixels whatever
// packets follow: the decoder must say so before it allocates the picture.
TEST(TargaMemory, HeaderAloneCannotClaimAHugePicture)
{
    Tga file{.type = 10, .depth = 32, .width = 8192, .height = 8192, .data = Bytes(200, 0xFF)};
    for (uint8_t type : {10, 2}) {
        file.type = type;
        testsupport::ResetLargestAllocation();
        EXPECT_EQ(DecodeGameTarga(file.bytes()).fault, ImageFault::DataShort);
        EXPECT_LT(testsupport::LargestAllocation(), 1u << 20);
    }
}

} // namespace
