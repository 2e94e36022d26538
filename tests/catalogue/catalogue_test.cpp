#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "capture/post_process.h"
#include "link/product_catalogue.h"

namespace {

// Product IDs written the way the product documentation lists them: single IDs
// and inclusive ranges.
struct IdRange {
    int first;
    int last;
};

std::vector<int> expand(std::initializer_list<IdRange> ranges) {
    std::vector<int> ids;
    for (const IdRange& range : ranges) {
        for (int id = range.first; id <= range.last; ++id) ids.push_back(id);
    }
    return ids;
}

struct ProductGroup {
    const char* label;
    std::vector<int> ids;
    uint8_t screenType;
    uint8_t recordFormat;
    const RGBQUAD* palette;
    PostProcessFn postProcess;
};

const std::vector<ProductGroup>& documentedGroups() {
    static const std::vector<ProductGroup> groups = {
        {"invalid", expand({{0, 0}, {19, 19}, {115, 115}, {198, 207}}), 0, 0, nullptr, nullptr},
        {"no capture",
         expand({{1, 18},    {20, 47},   {50, 58},   {60, 60},   {63, 66},   {68, 68},
                 {70, 70},   {74, 76},   {79, 83},   {86, 86},   {88, 88},   {91, 94},
                 {98, 100},  {102, 102}, {110, 110}, {116, 117}, {120, 120}, {124, 125},
                 {131, 131}, {134, 134}, {147, 147}, {152, 152}, {161, 164}, {167, 167},
                 {172, 172}, {174, 174}, {176, 176}, {178, 178}, {180, 184}, {187, 193}}),
         0, 0, nullptr, nullptr},
        {"mono reversed",
         expand({{59, 59},
                 {61, 62},
                 {69, 69},
                 {73, 73},
                 {77, 77},
                 {84, 85},
                 {87, 87},
                 {96, 97},
                 {103, 109},
                 {112, 112},
                 {138, 140}}),
         1, 1, MonoPalette.data(), reverseBitOrder},
        {"mono plain", expand({{95, 95}}), 1, 1, MonoPalette.data(), nullptr},
        {"gray format 1",
         expand({{48, 49},
                 {67, 67},
                 {71, 72},
                 {78, 78},
                 {89, 90},
                 {119, 119},
                 {121, 122},
                 {129, 129},
                 {132, 132},
                 {135, 135},
                 {137, 137},
                 {146, 146}}),
         2, 1, GrayPalette.data(), nullptr},
        {"gray format 2", expand({{101, 101}}), 2, 2, GrayPalette.data(), nullptr},
        {"gray split", expand({{113, 113}}), 2, 2, GrayPalette.data(), splitEvenOddBytes},
        {"alternate 16", expand({{118, 118}, {133, 133}}), 3, 1, AlternatePalette16.data(),
         nullptr},
        {"standard 16 format 3",
         expand({{111, 111},
                 {114, 114},
                 {123, 123},
                 {126, 128},
                 {130, 130},
                 {141, 143},
                 {148, 150},
                 {153, 157},
                 {159, 160},
                 {165, 165},
                 {168, 169},
                 {171, 171},
                 {173, 173},
                 {175, 175},
                 {177, 177},
                 {179, 179},
                 {185, 186},
                 {194, 197},
                 {209, 209}}),
         3, 3, StandardPalette16.data(), nullptr},
        {"standard 16 format 4", expand({{136, 136}, {145, 145}, {151, 151}}), 3, 4,
         StandardPalette16.data(), nullptr},
        {"clear last 28", expand({{158, 158}}), 3, 4, StandardPalette16.data(), clearLast28Bytes},
        {"crop window", expand({{166, 166}}), 3, 4, StandardPalette16.data(),
         cropWindowSwapNibbles},
        {"downloaded 256", expand({{144, 144}, {170, 170}, {208, 208}, {210, 210}}), 4, 4, nullptr,
         nullptr},
    };
    return groups;
}

TEST(Catalogue, EveryIdBelongsToExactlyOneDocumentedGroup) {
    std::vector<int> seen(kCatalogueSize, 0);
    for (const ProductGroup& group : documentedGroups()) {
        for (int id : group.ids) ++seen.at(id);
    }
    for (uint32_t id = 0; id < kCatalogueSize; ++id) EXPECT_EQ(seen[id], 1) << "product " << id;
}

TEST(Catalogue, DocumentedGroupSizes) {
    std::vector<size_t> sizes;
    for (const ProductGroup& group : documentedGroups()) sizes.push_back(group.ids.size());
    EXPECT_EQ(sizes, (std::vector<size_t>{13, 111, 22, 1, 16, 1, 1, 2, 35, 3, 1, 1, 4}));
}

TEST(Catalogue, EveryRowHasTheDocumentedColumns) {
    for (const ProductGroup& group : documentedGroups()) {
        for (int id : group.ids) {
            const ProductRecord& row = ProductCatalogue[id];
            SCOPED_TRACE(std::string(group.label) + ", product " + std::to_string(id));
            EXPECT_EQ(row.screenType, group.screenType);
            EXPECT_EQ(row.recordFormat, group.recordFormat);
            EXPECT_EQ(row.palette, group.palette);
            EXPECT_EQ(row.postProcess, group.postProcess);
        }
    }
}

TEST(Catalogue, NamesAreInvalidDeviceExactlyForTheRowsWithoutAProduct) {
    const std::vector<int>& invalid = documentedGroups().front().ids;
    const std::set<int> invalidIds(invalid.begin(), invalid.end());
    std::set<std::string> names;
    for (uint32_t id = 0; id < kCatalogueSize; ++id) {
        const char* name = ProductCatalogue[id].name;
        const size_t length = strnlen(name, kProductNameSize);
        ASSERT_LT(length, static_cast<size_t>(kProductNameSize)) << "no NUL in row " << id;
        if (invalidIds.count(static_cast<int>(id))) {
            EXPECT_STREQ(name, "Invalid Device") << id;
            continue;
        }
        EXPECT_STRNE(name, "Invalid Device") << id;
        EXPECT_GT(length, 0u) << id;
        EXPECT_LE(length, 25u) << id;
        EXPECT_TRUE(names.insert(name).second) << "duplicate name " << name;
    }
    EXPECT_EQ(names.size(), 198u);
}

TEST(Catalogue, ProductNamePointsAtTheStartOfItsRow) {
    for (int32_t id : {0, 1, 59, 166, 210}) {
        EXPECT_EQ(static_cast<const void*>(catalogueProductName(id)),
                  static_cast<const void*>(&ProductCatalogue[id]));
    }
    EXPECT_STREQ(catalogueProductName(0), "Invalid Device");
    EXPECT_EQ(catalogueSize(), 211u);
}

TEST(Catalogue, EightySevenProductsCanBeCaptured) {
    int capturable = 0;
    for (uint32_t id = 0; id < catalogueSize(); ++id) {
        capturable += catalogueSupportsCapture(&ProductCatalogue[id]) ? 1 : 0;
    }
    EXPECT_EQ(capturable, 87);
}

TEST(Catalogue, SupportsCaptureDecidesOnTypeFormatAndPalette) {
    EXPECT_FALSE(catalogueSupportsCapture(nullptr));
    for (int id : {144, 170, 208, 210})
        EXPECT_TRUE(catalogueSupportsCapture(&ProductCatalogue[id]));
    EXPECT_FALSE(catalogueSupportsCapture(&ProductCatalogue[0]));

    DeviceInfo info{};
    info.screenType = 3;
    info.recordFormat = 0;
    info.palette = StandardPalette16.data();
    EXPECT_FALSE(catalogueSupportsCapture(&info)) << "no record format";
    info.recordFormat = 3;
    EXPECT_TRUE(catalogueSupportsCapture(&info));
    info.screenType = 0;
    EXPECT_FALSE(catalogueSupportsCapture(&info)) << "no screen type";
    info.screenType = 1;
    info.palette = nullptr;
    EXPECT_FALSE(catalogueSupportsCapture(&info)) << "type 1 without palette";
    info.screenType = 4;
    EXPECT_TRUE(catalogueSupportsCapture(&info)) << "type 4 downloads its palette";
}

// Palette entries as the documentation prints them: blue, green, red, reserved.
std::vector<std::string> asHex(const RGBQUAD* entries, size_t count) {
    std::vector<std::string> out;
    for (size_t i = 0; i < count; ++i) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(&entries[i]);
        char text[9];
        snprintf(text, sizeof text, "%02X%02X%02X%02X", bytes[0], bytes[1], bytes[2], bytes[3]);
        out.emplace_back(text);
    }
    return out;
}

TEST(Catalogue, PalettesHoldTheDocumentedBytes) {
    using V = std::vector<std::string>;
    EXPECT_EQ(asHex(MonoPalette.data(), MonoPalette.size()), (V{"FFFFFF00", "00000000"}));
    EXPECT_EQ(asHex(GrayPalette.data(), GrayPalette.size()),
              (V{"FFFFFF00", "C0C0C000", "80808000", "00000000"}));
    EXPECT_EQ(asHex(StandardPalette16.data(), StandardPalette16.size()),
              (V{"00000000", "00008000", "00800000", "00808000", "80000000", "80008000", "80800000",
                 "C0C0C000", "80808000", "0000FF00", "00FF0000", "00FFFF00", "FF000000", "FF00FF00",
                 "FFFF0000", "FFFFFF00"}));
    EXPECT_EQ(asHex(AlternatePalette16.data(), AlternatePalette16.size()),
              (V{"80808000", "00000000", "80000000", "FF000000", "00800000", "00FF0000", "80800000",
                 "FFFF0000", "00008000", "0000FF00", "FF808000", "80FF8000", "0080FF00", "00FFFF00",
                 "C0C0C000", "FFFFFF00"}));
    // Named colours, read through the fields.
    EXPECT_EQ(StandardPalette16[1].rgbRed, 0x80);
    EXPECT_EQ(StandardPalette16[4].rgbBlue, 0x80);
    EXPECT_EQ(AlternatePalette16[0], (RGBQUAD{0x80, 0x80, 0x80, 0}));
}

}  // namespace
