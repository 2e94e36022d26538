#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "catalogue/product_catalogue.h"

namespace {

const RGBQUAD* const kMono = MonoPalette.data();
const RGBQUAD* const kGray = GrayPalette.data();
const RGBQUAD* const kStd = StandardPalette16.data();

bool invalidId(int32_t id) {
    return id == 0 || id == 19 || id == 115 || (id >= 198 && id <= 207);
}

// Screen type, record format and routine of every product are checked
// against the virtual receiver's own table (ProductPresets in tests/sim);
// the palettes, which only the host has, here: each screen type has its own,
// and two 16-colour products the alternate one.
TEST(Catalogue, EachScreenTypeHasItsPaletteAndRowsWithoutOneHaveNoColumns) {
    for (uint32_t id = 0; id < kCatalogueSize; ++id) {
        const ProductRecord& row = ProductCatalogue[id];
        const bool alternate = id == 118 || id == 133;
        const RGBQUAD* const palettes[] = {nullptr, kMono, kGray,
                                           alternate ? AlternatePalette16.data() : kStd, nullptr};
        ASSERT_LT(row.screenType, std::size(palettes)) << id;
        EXPECT_EQ(row.palette, palettes[row.screenType]) << id;
        if (row.screenType == 0) {
            EXPECT_EQ(row.recordFormat + int(row.postProcess), 0) << id;
        }
    }
    EXPECT_EQ(catalogueSize(), 211u);
}

TEST(Catalogue, NamesAreInvalidDeviceExactlyForTheRowsWithoutAProduct) {
    std::set<std::string> names;
    for (int32_t id = 0; id < static_cast<int32_t>(kCatalogueSize); ++id) {
        const char* name = catalogueProductName(id);
        const size_t length = strnlen(name, kProductNameSize);
        ASSERT_LT(length, static_cast<size_t>(kProductNameSize)) << "no NUL in row " << id;
        if (invalidId(id)) {
            EXPECT_STREQ(name, "Invalid Device") << id;
            continue;
        }
        EXPECT_TRUE(length > 0 && length <= 25) << id;
        EXPECT_TRUE(names.insert(name).second) << "duplicate or invalid name " << name;
    }
    EXPECT_EQ(names.size(), 198u);
}

TEST(Catalogue, SupportsCaptureNeedsTypeFormatAndABuiltInPaletteUnlessDownloaded) {
    int capturable = 0;
    for (const ProductRecord& row : ProductCatalogue) capturable += catalogueSupportsCapture(&row);
    EXPECT_EQ(capturable, 87);
    EXPECT_FALSE(catalogueSupportsCapture(nullptr));
    // Each lacks one thing; no catalogue row has such a combination.
    for (const ProductRecord& row : {ProductRecord{"", 3, 0, kStd, PostProcess::None},
                                     ProductRecord{"", 0, 3, kStd, PostProcess::None},
                                     ProductRecord{"", 1, 1, nullptr, PostProcess::None}})
        EXPECT_FALSE(catalogueSupportsCapture(&row)) << int{row.screenType};
}

// Palette entries as the documentation prints them: blue, green, red, reserved.
std::string asHex(const RGBQUAD* entries, size_t count) {
    std::string out;
    for (size_t i = 0; i < count; ++i) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(&entries[i]);
        char text[10];
        std::snprintf(text, sizeof text, " %02X%02X%02X%02X", bytes[0], bytes[1], bytes[2],
                      bytes[3]);
        out += text;
    }
    return out.substr(1);
}

TEST(Catalogue, PalettesHoldTheDocumentedBytes) {
    EXPECT_EQ(asHex(kMono, MonoPalette.size()), "FFFFFF00 00000000");
    EXPECT_EQ(asHex(kGray, GrayPalette.size()), "FFFFFF00 C0C0C000 80808000 00000000");
    EXPECT_EQ(asHex(kStd, StandardPalette16.size()),
              "00000000 00008000 00800000 00808000 80000000 80008000 80800000 C0C0C000 "
              "80808000 0000FF00 00FF0000 00FFFF00 FF000000 FF00FF00 FFFF0000 FFFFFF00");
    EXPECT_EQ(asHex(AlternatePalette16.data(), AlternatePalette16.size()),
              "80808000 00000000 80000000 FF000000 00800000 00FF0000 80800000 FFFF0000 "
              "00008000 0000FF00 FF808000 80FF8000 0080FF00 00FFFF00 C0C0C000 FFFFFF00");
}

}  // namespace
