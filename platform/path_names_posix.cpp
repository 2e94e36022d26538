#include <climits>

#include "platform/path_names.h"

char pathSeparator() {
    return '/';
}

bool pathIsSeparator(char c) {
    return c == '/';
}

bool pathNameAcceptable(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.size() <= NAME_MAX &&
           name.find('/') == std::string_view::npos;
}
