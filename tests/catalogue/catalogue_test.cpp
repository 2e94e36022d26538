#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "capture/post_process.h"
#include "catalogue/product_catalogue.h"

namespace {

// Product IDs as the product documentation lists them: "59 61-62 ...".
std::vector<int> ids(const char* list) {
    std::vector<int> out;
    std::istringstream in(list);
    std::string item;
    while (in >> item) {
        int first = 0;
        int last = 0;
        if (std::sscanf(item.c_str(), "%d-%d", &first, &last) != 2)
            last = first;
        for (int id = first; id <= last; ++id) out.push_back(id);
    }
    return out;
}

struct ProductGroup {
    std::vector<int> ids;
    uint8_t screenType;
    uint8_t recordFormat;
    const RGBQUAD* palette;
    PostProcessFn postProcess;
};

const RGBQUAD* const kMono = MonoPalette.data();
const RGBQUAD* const kGray = GrayPalette.data();
const RGBQUAD* const kStd = StandardPalette16.data();

const char* const kInvalidIds = "0 19 115 198-207";

// clang-format off
const std::vector<ProductGroup> kGroups = {
    {ids(kInvalidIds), 0, 0, nullptr, nullptr},
    {ids("1-18 20-47 50-58 60 63-66 68 70 74-76 79-83 86 88 91-94 98-100 102 110 116 117 120 "
         "124 125 131 134 147 152 161-164 167 172 174 176 178 180-184 187-193"),
     0, 0, nullptr, nullptr},
    {ids("59 61 62 69 73 77 84 85 87 96 97 103-109 112 138 139 140"), 1, 1, kMono, reverseBitOrder},
    {ids("95"), 1, 1, kMono, nullptr},
    {ids("48 49 67 71 72 78 89 90 119 121 122 129 132 135 137 146"), 2, 1, kGray, nullptr},
    {ids("101"), 2, 2, kGray, nullptr},
    {ids("113"), 2, 2, kGray, splitEvenOddBytes},
    {ids("118 133"), 3, 1, AlternatePalette16.data(), nullptr},
    {ids("111 114 123 126-128 130 141-143 148-150 153-157 159 160 165 168 169 171 173 175 177 "
         "179 185 186 194-197 209"), 3, 3, kStd, nullptr},
    {ids("136 145 151"), 3, 4, kStd, nullptr},
    {ids("158"), 3, 4, kStd, clearLast28Bytes},
    {ids("166"), 3, 4, kStd, cropWindowSwapNibbles},
    {ids("144 170 208 210"), 4, 4, nullptr, nullptr},
};
// clang-format on

TEST(Catalogue, EveryRowHasTheDocumentedColumns) {
    std::vector<int> seen(kCatalogueSize, 0);
    for (const ProductGroup& group : kGroups) {
        for (int id : group.ids) {
            SCOPED_TRACE("product " + std::to_string(id));
            ++seen.at(id);
            const ProductRecord& row = ProductCatalogue[id];
            EXPECT_EQ(row.screenType, group.screenType);
            EXPECT_EQ(row.recordFormat, group.recordFormat);
            EXPECT_EQ(row.palette, group.palette);
            EXPECT_EQ(postProcessRoutine(row.postProcess), group.postProcess);
        }
    }
    EXPECT_EQ(seen, std::vector<int>(kCatalogueSize, 1)) << "every ID in exactly one group";
    EXPECT_EQ(catalogueSize(), 211u);
}

TEST(Catalogue, NamesAreInvalidDeviceExactlyForTheRowsWithoutAProduct) {
    const std::vector<int> invalid = ids(kInvalidIds);
    std::set<std::string> names;
    for (int32_t id = 0; id < static_cast<int32_t>(kCatalogueSize); ++id) {
        const char* name = catalogueProductName(id);
        const size_t length = strnlen(name, kProductNameSize);
        ASSERT_LT(length, static_cast<size_t>(kProductNameSize)) << "no NUL in row " << id;
        if (std::count(invalid.begin(), invalid.end(), id)) {
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
