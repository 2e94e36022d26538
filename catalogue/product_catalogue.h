// The built-in catalogue of the products this program knows, indexed by the
// product ID that a device reports, and the built-in palettes its rows use.
// It is data only: both the link (identification) and the capture (screen
// layout, palette, correction) read it, and it depends on neither.
//
// A row tells whether a product's screen can be captured and how: the screen
// type (bitmap depth and palette source), the layout of its screen records,
// its built-in palette and the correction its raw screen data needs. The
// catalogue is constant; nothing changes it at run time.
#pragma once

#include <array>
#include <cstdint>

#include "catalogue/bitmap_types.h"

// Screen types: 0 cannot be captured; 1 to 4 give the bitmap depth and where
// the palette comes from (4: downloaded from the device).
enum ScreenType : uint8_t {
    ScreenNone = 0,
    ScreenMono = 1,
    ScreenGray = 2,
    ScreenColor16 = 3,
    ScreenColor256 = 4,
};

// Layouts of a device's screen records: 0 none, 1 to 4 the field widths.
enum ScreenRecordFormat : uint8_t {
    RecordNone = 0,
    RecordFormat1 = 1,
    RecordFormat2 = 2,
    RecordFormat3 = 3,
    RecordFormat4 = 4,
};

// The correction a product's raw screen data needs before it is a bitmap
// (the routines themselves are the capture's). None is 0, so a cleared
// record needs none.
enum class PostProcess : uint8_t {
    None = 0,
    ReverseBitOrder,
    SplitEvenOddBytes,
    ClearLast28Bytes,
    CropWindowSwapNibbles,
};

constexpr int kProductNameSize = 128;

struct ProductRecord {
    char name[kProductNameSize];  // NUL-terminated
    uint8_t screenType;           // ScreenType
    uint8_t recordFormat;         // ScreenRecordFormat
    const RGBQUAD* palette;       // built-in palette, or null
    PostProcess postProcess;
};

// The connected device's copy of its catalogue row.
struct DeviceInfo : ProductRecord {};

constexpr uint32_t kCatalogueSize = 211;

extern const std::array<ProductRecord, kCatalogueSize> ProductCatalogue;

extern const std::array<RGBQUAD, 2> MonoPalette;
extern const std::array<RGBQUAD, 4> GrayPalette;
extern const std::array<RGBQUAD, 16> StandardPalette16;
extern const std::array<RGBQUAD, 16> AlternatePalette16;

// The name of product `productId`. No range check: callers pass 0 to 210.
const char* catalogueProductName(int32_t productId);

// True when `record` is not null and its screen can be captured: a screen type
// and a record format, and a built-in palette unless the palette is downloaded
// (screen type 4).
bool catalogueSupportsCapture(const ProductRecord* record);

uint32_t catalogueSize();
