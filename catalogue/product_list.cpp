#include "catalogue/product_list.h"

#include <algorithm>
#include <cstring>

#include "catalogue/product_catalogue.h"

namespace {

constexpr size_t kIdColumn = 26;  // blanks pad the name to this width

char foldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::string supportedProductLine(std::string_view name, uint32_t productId) {
    std::string line(name);
    line.append(name.size() < kIdColumn ? kIdColumn - name.size() : 1, ' ');
    line += std::to_string(productId);
    return line;
}

bool listOrderLess(std::string_view a, std::string_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(foldCase(x)) < static_cast<unsigned char>(foldCase(y));
    });
}

void insertSorted(std::vector<std::string>& lines, std::string line) {
    const auto position = std::upper_bound(lines.begin(), lines.end(), line, listOrderLess);
    lines.insert(position, std::move(line));
}

std::vector<std::string> supportedProductLines() {
    std::vector<std::string> lines;
    const uint32_t count = std::min<uint32_t>(catalogueSize(), kCatalogueSize);
    for (uint32_t id = 0; id < count; ++id) {
        const ProductRecord& record = ProductCatalogue[id];
        if (!catalogueSupportsCapture(&record))
            continue;
        const char* name = catalogueProductName(static_cast<int32_t>(id));
        insertSorted(lines, supportedProductLine(
                                std::string_view(name, strnlen(name, kProductNameSize)), id));
    }
    return lines;
}
