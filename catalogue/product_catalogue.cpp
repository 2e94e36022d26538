#include "catalogue/product_catalogue.h"

namespace {
constexpr RGBQUAD rgb(uint8_t blue, uint8_t green, uint8_t red) {
    return {blue, green, red, 0};
}
}  // namespace

constinit const std::array<RGBQUAD, 2> MonoPalette = {
    rgb(0xFF, 0xFF, 0xFF),  // white
    rgb(0x00, 0x00, 0x00),  // black
};

constinit const std::array<RGBQUAD, 4> GrayPalette = {
    rgb(0xFF, 0xFF, 0xFF),
    rgb(0xC0, 0xC0, 0xC0),
    rgb(0x80, 0x80, 0x80),
    rgb(0x00, 0x00, 0x00),
};

constinit const std::array<RGBQUAD, 16> StandardPalette16 = {
    rgb(0x00, 0x00, 0x00), rgb(0x00, 0x00, 0x80), rgb(0x00, 0x80, 0x00), rgb(0x00, 0x80, 0x80),
    rgb(0x80, 0x00, 0x00), rgb(0x80, 0x00, 0x80), rgb(0x80, 0x80, 0x00), rgb(0xC0, 0xC0, 0xC0),
    rgb(0x80, 0x80, 0x80), rgb(0x00, 0x00, 0xFF), rgb(0x00, 0xFF, 0x00), rgb(0x00, 0xFF, 0xFF),
    rgb(0xFF, 0x00, 0x00), rgb(0xFF, 0x00, 0xFF), rgb(0xFF, 0xFF, 0x00), rgb(0xFF, 0xFF, 0xFF),
};

constinit const std::array<RGBQUAD, 16> AlternatePalette16 = {
    rgb(0x80, 0x80, 0x80), rgb(0x00, 0x00, 0x00), rgb(0x80, 0x00, 0x00), rgb(0xFF, 0x00, 0x00),
    rgb(0x00, 0x80, 0x00), rgb(0x00, 0xFF, 0x00), rgb(0x80, 0x80, 0x00), rgb(0xFF, 0xFF, 0x00),
    rgb(0x00, 0x00, 0x80), rgb(0x00, 0x00, 0xFF), rgb(0xFF, 0x80, 0x80), rgb(0x80, 0xFF, 0x80),
    rgb(0x00, 0x80, 0xFF), rgb(0x00, 0xFF, 0xFF), rgb(0xC0, 0xC0, 0xC0), rgb(0xFF, 0xFF, 0xFF),
};

namespace {
constexpr const RGBQUAD* kMono = MonoPalette.data();
constexpr const RGBQUAD* kGray = GrayPalette.data();
constexpr const RGBQUAD* kStd16 = StandardPalette16.data();
constexpr const RGBQUAD* kAlt16 = AlternatePalette16.data();
constexpr PostProcess kNone = PostProcess::None;
constexpr PostProcess kReverseBits = PostProcess::ReverseBitOrder;
constexpr PostProcess kSplitEvenOdd = PostProcess::SplitEvenOddBytes;
constexpr PostProcess kClearLast28 = PostProcess::ClearLast28Bytes;
constexpr PostProcess kCropWindow = PostProcess::CropWindowSwapNibbles;
}  // namespace

// clang-format off
// Columns: name, screen type, record format, palette, post-processing.
constinit const std::array<ProductRecord, kCatalogueSize> ProductCatalogue = {{
    /*   0 */ {"Invalid Device",       0, 0, nullptr, kNone},
    /*   1 */ {"Ostrel 101",           0, 0, nullptr, kNone},
    /*   2 */ {"Ostrel 112",           0, 0, nullptr, kNone},
    /*   3 */ {"Ostrel 123",           0, 0, nullptr, kNone},
    /*   4 */ {"Ostrel 134 Plus",      0, 0, nullptr, kNone},
    /*   5 */ {"Ostrel 145 Plus",      0, 0, nullptr, kNone},
    /*   6 */ {"Ostrel 156 Plus",      0, 0, nullptr, kNone},
    /*   7 */ {"Ostrel 160 Pro",       0, 0, nullptr, kNone},
    /*   8 */ {"Ostrel 171 Pro",       0, 0, nullptr, kNone},
    /*   9 */ {"Ostrel 182 Pro",       0, 0, nullptr, kNone},
    /*  10 */ {"Ostrel 193 Sport",     0, 0, nullptr, kNone},
    /*  11 */ {"Ostrel 204 Sport",     0, 0, nullptr, kNone},
    /*  12 */ {"Ostrel 215 Sport",     0, 0, nullptr, kNone},
    /*  13 */ {"Ostrel 226",           0, 0, nullptr, kNone},
    /*  14 */ {"Ostrel 230",           0, 0, nullptr, kNone},
    /*  15 */ {"Ostrel 241",           0, 0, nullptr, kNone},
    /*  16 */ {"Ostrel 252 Plus",      0, 0, nullptr, kNone},
    /*  17 */ {"Ostrel 263 Plus",      0, 0, nullptr, kNone},
    /*  18 */ {"Ostrel 274 Plus",      0, 0, nullptr, kNone},
    /*  19 */ {"Invalid Device",       0, 0, nullptr, kNone},
    /*  20 */ {"Ostrel 286 Pro",       0, 0, nullptr, kNone},
    /*  21 */ {"Ostrel 290 Pro",       0, 0, nullptr, kNone},
    /*  22 */ {"Ostrel 301 Pro",       0, 0, nullptr, kNone},
    /*  23 */ {"Ostrel 312 Sport",     0, 0, nullptr, kNone},
    /*  24 */ {"Ostrel 323 Sport",     0, 0, nullptr, kNone},
    /*  25 */ {"Ostrel 334 Sport",     0, 0, nullptr, kNone},
    /*  26 */ {"Ostrel 345",           0, 0, nullptr, kNone},
    /*  27 */ {"Ostrel 356",           0, 0, nullptr, kNone},
    /*  28 */ {"Ostrel 360",           0, 0, nullptr, kNone},
    /*  29 */ {"Ostrel 371 Plus",      0, 0, nullptr, kNone},
    /*  30 */ {"Ostrel 382 Plus",      0, 0, nullptr, kNone},
    /*  31 */ {"Quelby 103",           0, 0, nullptr, kNone},
    /*  32 */ {"Quelby 114",           0, 0, nullptr, kNone},
    /*  33 */ {"Quelby 125",           0, 0, nullptr, kNone},
    /*  34 */ {"Quelby 136 Plus",      0, 0, nullptr, kNone},
    /*  35 */ {"Quelby 140 Plus",      0, 0, nullptr, kNone},
    /*  36 */ {"Quelby 151 Plus",      0, 0, nullptr, kNone},
    /*  37 */ {"Quelby 162 Pro",       0, 0, nullptr, kNone},
    /*  38 */ {"Quelby 173 Pro",       0, 0, nullptr, kNone},
    /*  39 */ {"Quelby 184 Pro",       0, 0, nullptr, kNone},
    /*  40 */ {"Quelby 195 Sport",     0, 0, nullptr, kNone},
    /*  41 */ {"Quelby 206 Sport",     0, 0, nullptr, kNone},
    /*  42 */ {"Quelby 210 Sport",     0, 0, nullptr, kNone},
    /*  43 */ {"Quelby 221",           0, 0, nullptr, kNone},
    /*  44 */ {"Quelby 232",           0, 0, nullptr, kNone},
    /*  45 */ {"Quelby 243",           0, 0, nullptr, kNone},
    /*  46 */ {"Quelby 254 Plus",      0, 0, nullptr, kNone},
    /*  47 */ {"Quelby 265 Plus",      0, 0, nullptr, kNone},
    /*  48 */ {"Cauldry 106",          2, 1, kGray, kNone},
    /*  49 */ {"Cauldry 110",          2, 1, kGray, kNone},
    /*  50 */ {"Quelby 271 Plus",      0, 0, nullptr, kNone},
    /*  51 */ {"Quelby 282 Pro",       0, 0, nullptr, kNone},
    /*  52 */ {"Quelby 293 Pro",       0, 0, nullptr, kNone},
    /*  53 */ {"Quelby 304 Pro",       0, 0, nullptr, kNone},
    /*  54 */ {"Quelby 315 Sport",     0, 0, nullptr, kNone},
    /*  55 */ {"Quelby 326 Sport",     0, 0, nullptr, kNone},
    /*  56 */ {"Quelby 330 Sport",     0, 0, nullptr, kNone},
    /*  57 */ {"Quelby 341",           0, 0, nullptr, kNone},
    /*  58 */ {"Quelby 352",           0, 0, nullptr, kNone},
    /*  59 */ {"Wendrel 103",          1, 1, kMono, kReverseBits},
    /*  60 */ {"Quelby 364",           0, 0, nullptr, kNone},
    /*  61 */ {"Wendrel 115",          1, 1, kMono, kReverseBits},
    /*  62 */ {"Wendrel 126",          1, 1, kMono, kReverseBits},
    /*  63 */ {"Halvern 100",          0, 0, nullptr, kNone},
    /*  64 */ {"Halvern 111",          0, 0, nullptr, kNone},
    /*  65 */ {"Halvern 122",          0, 0, nullptr, kNone},
    /*  66 */ {"Halvern 133 Plus",     0, 0, nullptr, kNone},
    /*  67 */ {"Cauldry 124",          2, 1, kGray, kNone},
    /*  68 */ {"Halvern 145 Plus",     0, 0, nullptr, kNone},
    /*  69 */ {"Wendrel 136",          1, 1, kMono, kReverseBits},
    /*  70 */ {"Halvern 150 Plus",     0, 0, nullptr, kNone},
    /*  71 */ {"Cauldry 131",          2, 1, kGray, kNone},
    /*  72 */ {"Cauldry 142",          2, 1, kGray, kNone},
    /*  73 */ {"Wendrel 143",          1, 1, kMono, kReverseBits},
    /*  74 */ {"Halvern 164 Pro",      0, 0, nullptr, kNone},
    /*  75 */ {"Halvern 175 Pro",      0, 0, nullptr, kNone},
    /*  76 */ {"Halvern 186 Pro",      0, 0, nullptr, kNone},
    /*  77 */ {"Wendrel 150e",         1, 1, kMono, kReverseBits},
    /*  78 */ {"Cauldry 151e",         2, 1, kGray, kNone},
    /*  79 */ {"Halvern 192 Sport",    0, 0, nullptr, kNone},
    /*  80 */ {"Halvern 203 Sport",    0, 0, nullptr, kNone},
    /*  81 */ {"Halvern 214 Sport",    0, 0, nullptr, kNone},
    /*  82 */ {"Halvern 225",          0, 0, nullptr, kNone},
    /*  83 */ {"Halvern 236",          0, 0, nullptr, kNone},
    /*  84 */ {"Wendrel 160e",         1, 1, kMono, kReverseBits},
    /*  85 */ {"Wendrel 171e",         1, 1, kMono, kReverseBits},
    /*  86 */ {"Halvern 242",          0, 0, nullptr, kNone},
    /*  87 */ {"Wendrel 183e",         1, 1, kMono, kReverseBits},
    /*  88 */ {"Halvern 254 Plus",     0, 0, nullptr, kNone},
    /*  89 */ {"Cauldry 165e",         2, 1, kGray, kNone},
    /*  90 */ {"Cauldry 176e",         2, 1, kGray, kNone},
    /*  91 */ {"Daskel 100",           0, 0, nullptr, kNone},
    /*  92 */ {"Daskel 111",           0, 0, nullptr, kNone},
    /*  93 */ {"Daskel 122",           0, 0, nullptr, kNone},
    /*  94 */ {"Daskel 133 Plus",      0, 0, nullptr, kNone},
    /*  95 */ {"Wendrel 194e",         1, 1, kMono, kNone},
    /*  96 */ {"Wendrel 205s",         1, 1, kMono, kReverseBits},
    /*  97 */ {"Wendrel 216s",         1, 1, kMono, kReverseBits},
    /*  98 */ {"Daskel 140 Plus",      0, 0, nullptr, kNone},
    /*  99 */ {"Daskel 151 Plus",      0, 0, nullptr, kNone},
    /* 100 */ {"Daskel 162 Pro",       0, 0, nullptr, kNone},
    /* 101 */ {"Cauldry 183e",         2, 2, kGray, kNone},
    /* 102 */ {"Daskel 174 Pro",       0, 0, nullptr, kNone},
    /* 103 */ {"Wendrel 225s",         1, 1, kMono, kReverseBits},
    /* 104 */ {"Wendrel 236s",         1, 1, kMono, kReverseBits},
    /* 105 */ {"Wendrel 240s",         1, 1, kMono, kReverseBits},
    /* 106 */ {"Wendrel 251t",         1, 1, kMono, kReverseBits},
    /* 107 */ {"Wendrel 262t",         1, 1, kMono, kReverseBits},
    /* 108 */ {"Wendrel 273t",         1, 1, kMono, kReverseBits},
    /* 109 */ {"Wendrel 284t",         1, 1, kMono, kReverseBits},
    /* 110 */ {"Daskel 185 Pro",       0, 0, nullptr, kNone},
    /* 111 */ {"Sivrane 106",          3, 3, kStd16, kNone},
    /* 112 */ {"Wendrel 290t",         1, 1, kMono, kReverseBits},
    /* 113 */ {"Cauldry 191e",         2, 2, kGray, kSplitEvenOdd},
    /* 114 */ {"Sivrane 112",          3, 3, kStd16, kNone},
    /* 115 */ {"Invalid Device",       0, 0, nullptr, kNone},
    /* 116 */ {"Daskel 194 Sport",     0, 0, nullptr, kNone},
    /* 117 */ {"Daskel 205 Sport",     0, 0, nullptr, kNone},
    /* 118 */ {"Sivrane 126",          3, 1, kAlt16, kNone},
    /* 119 */ {"Cauldry 200s",         2, 1, kGray, kNone},
    /* 120 */ {"Daskel 211 Sport",     0, 0, nullptr, kNone},
    /* 121 */ {"Cauldry 212s",         2, 1, kGray, kNone},
    /* 122 */ {"Cauldry 223s",         2, 1, kGray, kNone},
    /* 123 */ {"Sivrane 134",          3, 3, kStd16, kNone},
    /* 124 */ {"Mirrin 105",           0, 0, nullptr, kNone},
    /* 125 */ {"Mirrin 116",           0, 0, nullptr, kNone},
    /* 126 */ {"Sivrane 140",          3, 3, kStd16, kNone},
    /* 127 */ {"Sivrane 151e",         3, 3, kStd16, kNone},
    /* 128 */ {"Sivrane 162e",         3, 3, kStd16, kNone},
    /* 129 */ {"Cauldry 233s",         2, 1, kGray, kNone},
    /* 130 */ {"Sivrane 174e",         3, 3, kStd16, kNone},
    /* 131 */ {"Mirrin 125",           0, 0, nullptr, kNone},
    /* 132 */ {"Cauldry 246s",         2, 1, kGray, kNone},
    /* 133 */ {"Sivrane 180e",         3, 1, kAlt16, kNone},
    /* 134 */ {"Mirrin 131 Plus",      0, 0, nullptr, kNone},
    /* 135 */ {"Cauldry 252t",         2, 1, kGray, kNone},
    /* 136 */ {"Pellowin 103",         3, 4, kStd16, kNone},
    /* 137 */ {"Cauldry 264t",         2, 1, kGray, kNone},
    /* 138 */ {"Wendrel 305",          1, 1, kMono, kReverseBits},
    /* 139 */ {"Wendrel 316",          1, 1, kMono, kReverseBits},
    /* 140 */ {"Wendrel 320",          1, 1, kMono, kReverseBits},
    /* 141 */ {"Sivrane 191e",         3, 3, kStd16, kNone},
    /* 142 */ {"Sivrane 202s",         3, 3, kStd16, kNone},
    /* 143 */ {"Sivrane 213s",         3, 3, kStd16, kNone},
    /* 144 */ {"Torquin 104",          4, 4, nullptr, kNone},
    /* 145 */ {"Pellowin 115",         3, 4, kStd16, kNone},
    /* 146 */ {"Cauldry 276t",         2, 1, kGray, kNone},
    /* 147 */ {"Mirrin 140 Plus",      0, 0, nullptr, kNone},
    /* 148 */ {"Sivrane 221s",         3, 3, kStd16, kNone},
    /* 149 */ {"Sivrane 232s",         3, 3, kStd16, kNone},
    /* 150 */ {"Sivrane 243s",         3, 3, kStd16, kNone},
    /* 151 */ {"Pellowin 124",         3, 4, kStd16, kNone},
    /* 152 */ {"Tollaby 105",          0, 0, nullptr, kNone},
    /* 153 */ {"Sivrane 256t",         3, 3, kStd16, kNone},
    /* 154 */ {"Sivrane 260t",         3, 3, kStd16, kNone},
    /* 155 */ {"Sivrane 271t",         3, 3, kStd16, kNone},
    /* 156 */ {"Sivrane 282t",         3, 3, kStd16, kNone},
    /* 157 */ {"Sivrane 293t",         3, 3, kStd16, kNone},
    /* 158 */ {"Pellowin 134",         3, 4, kStd16, kClearLast28},
    /* 159 */ {"Sivrane 305",          3, 3, kStd16, kNone},
    /* 160 */ {"Sivrane 316",          3, 3, kStd16, kNone},
    /* 161 */ {"Tollaby 110",          0, 0, nullptr, kNone},
    /* 162 */ {"Tollaby 121",          0, 0, nullptr, kNone},
    /* 163 */ {"Tollaby 132 Plus",     0, 0, nullptr, kNone},
    /* 164 */ {"Tollaby 143 Plus",     0, 0, nullptr, kNone},
    /* 165 */ {"Sivrane 324",          3, 3, kStd16, kNone},
    /* 166 */ {"Pellowin 145",         3, 4, kStd16, kCropWindow},
    /* 167 */ {"Tollaby 156 Plus",     0, 0, nullptr, kNone},
    /* 168 */ {"Sivrane 330",          3, 3, kStd16, kNone},
    /* 169 */ {"Sivrane 341",          3, 3, kStd16, kNone},
    /* 170 */ {"Torquin 112",          4, 4, nullptr, kNone},
    /* 171 */ {"Sivrane 353e",         3, 3, kStd16, kNone},
    /* 172 */ {"Tollaby 164 Pro",      0, 0, nullptr, kNone},
    /* 173 */ {"Sivrane 365e",         3, 3, kStd16, kNone},
    /* 174 */ {"Tollaby 176 Pro",      0, 0, nullptr, kNone},
    /* 175 */ {"Sivrane 370e",         3, 3, kStd16, kNone},
    /* 176 */ {"Tollaby 181 Pro",      0, 0, nullptr, kNone},
    /* 177 */ {"Sivrane 382e",         3, 3, kStd16, kNone},
    /* 178 */ {"Tollaby 193 Sport",    0, 0, nullptr, kNone},
    /* 179 */ {"Sivrane 394e",         3, 3, kStd16, kNone},
    /* 180 */ {"Tollaby 205 Sport",    0, 0, nullptr, kNone},
    /* 181 */ {"Fennrow 106",          0, 0, nullptr, kNone},
    /* 182 */ {"Fennrow 110",          0, 0, nullptr, kNone},
    /* 183 */ {"Fennrow 121",          0, 0, nullptr, kNone},
    /* 184 */ {"Fennrow 132 Plus",     0, 0, nullptr, kNone},
    /* 185 */ {"Sivrane 403s",         3, 3, kStd16, kNone},
    /* 186 */ {"Sivrane 414s",         3, 3, kStd16, kNone},
    /* 187 */ {"Fennrow 145 Plus",     0, 0, nullptr, kNone},
    /* 188 */ {"Fennrow 156 Plus",     0, 0, nullptr, kNone},
    /* 189 */ {"Fennrow 160 Pro",      0, 0, nullptr, kNone},
    /* 190 */ {"Fennrow 171 Pro",      0, 0, nullptr, kNone},
    /* 191 */ {"Fennrow 182 Pro",      0, 0, nullptr, kNone},
    /* 192 */ {"Fennrow 193 Sport",    0, 0, nullptr, kNone},
    /* 193 */ {"Fennrow 204 Sport",    0, 0, nullptr, kNone},
    /* 194 */ {"Sivrane 425s",         3, 3, kStd16, kNone},
    /* 195 */ {"Sivrane 436s",         3, 3, kStd16, kNone},
    /* 196 */ {"Sivrane 440s",         3, 3, kStd16, kNone},
    /* 197 */ {"Sivrane 451t",         3, 3, kStd16, kNone},
    /* 198 */ {"Invalid Device",       0, 0, nullptr, kNone},
    /* 199 */ {"Invalid Device",       0, 0, nullptr, kNone},
    /* 200 */ {"Invalid Device",       0, 0, nullptr, kNone},
    /* 201 */ {"Invalid Device",       0, 0, nullptr, kNone},
    /* 202 */ {"Invalid Device",       0, 0, nullptr, kNone},
    /* 203 */ {"Invalid Device",       0, 0, nullptr, kNone},
    /* 204 */ {"Invalid Device",       0, 0, nullptr, kNone},
    /* 205 */ {"Invalid Device",       0, 0, nullptr, kNone},
    /* 206 */ {"Invalid Device",       0, 0, nullptr, kNone},
    /* 207 */ {"Invalid Device",       0, 0, nullptr, kNone},
    /* 208 */ {"Torquin 125",          4, 4, nullptr, kNone},
    /* 209 */ {"Sivrane 466t",         3, 3, kStd16, kNone},
    /* 210 */ {"Torquin 130",          4, 4, nullptr, kNone},
}};
// clang-format on

const char* catalogueProductName(int32_t productId) {
    return ProductCatalogue[productId].name;
}

bool catalogueSupportsCapture(const ProductRecord* record) {
    if (record == nullptr || record->screenType == ScreenNone ||
        record->recordFormat == RecordNone) {
        return false;
    }
    return record->palette != nullptr || record->screenType == ScreenColor256;
}

uint32_t catalogueSize() {
    return kCatalogueSize;
}
