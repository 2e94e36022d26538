#include "serial/port_list.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>

#include "serial/port_list_system.h"
#include "serial/system_serial.h"

namespace fs = std::filesystem;

namespace {

bool isDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// Compares the digit runs at a[i] and b[j] by value; advances past them.
int compareNumbers(const std::string& a, size_t& i, const std::string& b, size_t& j) {
    while (i < a.size() && a[i] == '0') ++i;
    while (j < b.size() && b[j] == '0') ++j;
    const size_t ai = i, bj = j;
    while (i < a.size() && isDigit(a[i])) ++i;
    while (j < b.size() && isDigit(b[j])) ++j;
    if (i - ai != j - bj)
        return (i - ai) < (j - bj) ? -1 : 1;
    const int c = a.compare(ai, i - ai, b, bj, j - bj);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// The names in `dir` accepted by `keep`, as full paths in natural order.
template <typename Keep>
std::vector<std::string> listDir(const fs::path& dir, Keep keep) {
    std::vector<std::string> found;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (keep(name))
            found.push_back(it->path().string());
    }
    std::sort(found.begin(), found.end(), serialNaturalLess);
    return found;
}

// "ttyUSB" followed by a number, and so on.
bool isNumbered(const std::string& name, const std::string& prefix) {
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
        return false;
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                       isDigit);
}

}  // namespace

bool serialNaturalLess(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            const int c = compareNumbers(a, i, b, j);
            if (c != 0)
                return c < 0;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j];
        ++i;
        ++j;
    }
    return (a.size() - i) < (b.size() - j);
}

std::vector<std::string> serialListDevicesUnder(const std::string& devRoot) {
    const fs::path root(devRoot);
    std::vector<std::string> all =
        listDir(root / "serial" / "by-id", [](const std::string&) { return true; });
    for (const char* prefix : {"ttyUSB", "ttyACM", "ttyS"}) {
        const std::vector<std::string> group =
            listDir(root, [prefix](const std::string& name) { return isNumbered(name, prefix); });
        all.insert(all.end(), group.begin(), group.end());
    }
    return all;
}

bool serialCanOpen(const std::string& path, int& error) {
    const std::unique_ptr<SerialDevice> device = makeSystemSerialDevice();
    if (!device->open(path, error))
        return false;
    device->close();
    return true;
}

std::string serialOpenProblem(const std::string& path, int error) {
    const std::string head = "Cannot open " + path + ": ";
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case ENOTDIR:
            return head + "no such device.";
        case EACCES:
        case EPERM:
            return head + kPortDeniedReason;
        case EBUSY:
        case EWOULDBLOCK:
            return head + kPortBusyReason;
        default:
            return head + std::strerror(error) + ".";
    }
}
