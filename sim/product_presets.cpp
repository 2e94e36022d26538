// The receiver's own table of the products whose screen can be captured, and
// the screen each kind of product is given when it is played.
#include <initializer_list>

#include "sim/screen_encoder.h"
#include "sim/virtual_receiver.h"

namespace sim {
namespace {

struct IdRange {
    uint16_t first;
    uint16_t last;
};

// A kind of screen: the columns the host's catalogue holds for it, and a
// geometry typical of such a device.
struct ScreenKind {
    uint8_t screenType;
    uint8_t recordFormat;
    PostProcess postProcess;
    int width;
    int height;
    uint8_t bitsPerPixel;
    bool transposed;
    bool forward;
    std::initializer_list<IdRange> products;
};

// clang-format off
const ScreenKind screenKinds[] = {
    {1, 1, PostProcess::ReverseBitOrder, 160, 240, 1, true, true,
     {{59, 59}, {61, 62}, {69, 69}, {73, 73}, {77, 77}, {84, 85}, {87, 87}, {96, 97},
      {103, 109}, {112, 112}, {138, 140}}},
    {1, 1, PostProcess::None, 100, 64, 1, false, true, {{95, 95}}},
    {2, 1, PostProcess::None, 160, 240, 2, true, false,
     {{48, 49}, {67, 67}, {71, 72}, {78, 78}, {89, 90}, {119, 119}, {121, 122}, {129, 129},
      {132, 132}, {135, 135}, {137, 137}, {146, 146}}},
    {2, 2, PostProcess::None, 160, 160, 2, false, false, {{101, 101}}},
    {2, 2, PostProcess::SplitEvenOddBytes, 128, 160, 2, false, true, {{113, 113}}},
    {3, 1, PostProcess::None, 160, 240, 4, false, true, {{118, 118}, {133, 133}}},
    {3, 3, PostProcess::None, 320, 240, 4, false, true,
     {{111, 111}, {114, 114}, {123, 123}, {126, 128}, {130, 130}, {141, 143}, {148, 150},
      {153, 157}, {159, 160}, {165, 165}, {168, 169}, {171, 171}, {173, 173}, {175, 175},
      {177, 177}, {179, 179}, {185, 186}, {194, 197}, {209, 209}}},
    {3, 4, PostProcess::None, 240, 320, 4, true, true, {{136, 136}, {145, 145}, {151, 151}}},
    {3, 4, PostProcess::ClearLast28Bytes, 176, 220, 4, false, true, {{158, 158}}},
    {3, 4, PostProcess::CropWindowSwapNibbles, 408, 256, 4, false, true, {{166, 166}}},
    {4, 4, PostProcess::None, 240, 320, 8, true, false,
     {{144, 144}, {170, 170}, {208, 208}, {210, 210}}},
};
// clang-format on

const ScreenKind* kindOf(uint16_t productId) {
    for (const ScreenKind& kind : screenKinds) {
        for (const IdRange& r : kind.products) {
            if (productId >= r.first && productId <= r.last) {
                return &kind;
            }
        }
    }
    return nullptr;
}

// Palettes that devices with downloaded palettes send: sixteen strong colours
// for 16-colour screens, a colour cube and a grey ramp for 256 colours.
std::vector<Rgb> devicePalette(int colours) {
    std::vector<Rgb> palette;
    if (colours <= 16) {
        static const uint8_t levels[] = {0x00, 0x55, 0xAA, 0xFF};
        for (int i = 0; i < colours; ++i) {
            palette.push_back(Rgb{levels[i & 3], levels[(i >> 2) & 3], levels[(i + (i >> 2)) & 3]});
        }
        return palette;
    }
    for (int r = 0; r < 6; ++r) {
        for (int g = 0; g < 6; ++g) {
            for (int b = 0; b < 6; ++b) {
                palette.push_back(Rgb{static_cast<uint8_t>(b * 51), static_cast<uint8_t>(g * 51),
                                      static_cast<uint8_t>(r * 51)});
            }
        }
    }
    for (int i = 0; palette.size() < 256; ++i) {
        const uint8_t level = static_cast<uint8_t>(8 + i * 6);
        palette.push_back(Rgb{level, level, level});
    }
    return palette;
}

// A value map that is not the identity, so that a host ignoring it is caught.
std::array<uint8_t, 16> scrambledValueMap() {
    std::array<uint8_t, 16> map{};
    for (int v = 0; v < 16; ++v) {
        map[v] = static_cast<uint8_t>((v * 7 + 3) & 15);
    }
    return map;
}

// On a cropping device only a window of its memory reaches the host: the
// test pattern fills that window and the rest stays colour 0.
constexpr int CropWindowLeft = 88;  // 44 blank bytes at 4 bits per pixel
constexpr int CropWindowWidth = 320;
constexpr int CropWindowHeight = 234;

Picture placeInCropWindow(const Picture& window, int width, int height) {
    Picture p;
    p.width = width;
    p.height = height;
    p.pixels.assign(static_cast<size_t>(width) * height, 0);
    for (int y = 0; y < window.height; ++y) {
        for (int x = 0; x < window.width; ++x) {
            p.pixels[static_cast<size_t>(y) * width + CropWindowLeft + x] = window.at(x, y);
        }
    }
    return p;
}

}  // namespace

Config presetForProduct(uint16_t productId) {
    Config config;
    config.productId = productId;
    config.version = static_cast<uint16_t>(200 + productId % 100);
    const ScreenKind* kind = kindOf(productId);
    if (kind == nullptr) {
        return config;
    }
    Screen& s = config.screen;
    s.screenType = kind->screenType;
    s.recordFormat = kind->recordFormat;
    s.postProcess = kind->postProcess;
    s.bitsPerPixel = kind->bitsPerPixel;
    s.transposed = kind->transposed;
    s.forward = kind->forward;
    if (s.recordFormat == 3) {
        s.valueMap = scrambledValueMap();
    }
    const int colours = screenColours(s.screenType);
    if (s.postProcess == PostProcess::CropWindowSwapNibbles) {
        config.picture = placeInCropWindow(
            makeTestPattern(Pattern::Bars, CropWindowWidth, CropWindowHeight, colours), kind->width,
            kind->height);
    } else {
        config.picture = makeTestPattern(Pattern::Bars, kind->width, kind->height, colours);
    }
    if (s.recordFormat == 4) {
        config.picture.palette = devicePalette(colours);
    }
    // Show only what survives the product's routine, so that a capture of a
    // preset gives back exactly its picture.
    EncodedScreen encoded;
    if (encodeScreen(s, config.picture, encoded).empty()) {
        config.picture = encoded.expected;
    }
    return config;
}

}  // namespace sim
