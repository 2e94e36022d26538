// The lines of the Supported Products list: every product of the catalogue
// whose screen can be captured, with its product ID, in the order a sorted
// list box files them (case-insensitive, whole line).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The name, then blanks up to column 27 but at least one, then the ID.
std::string supportedProductLine(std::string_view name, uint32_t productId);

// Whole-line order ignoring ASCII case.
bool listOrderLess(std::string_view a, std::string_view b);

// Adds `line` after every line that does not sort after it, as a sorted list
// box adds a string: equal lines keep the order in which they came.
void insertSorted(std::vector<std::string>& lines, std::string line);

// Every capturable product, taken by ascending product ID, in list order.
std::vector<std::string> supportedProductLines();
