#include "platform/registry_store.h"

#include <cstdio>
#include <filesystem>
#include <utility>

#include "platform/file_commit.h"
#include "platform/file_read.h"

namespace {

constexpr std::string_view kHeader = "REGEDIT4";

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

// Splits the text into lines, joining a line that ends with '\' to the next
// one (the format's way of continuing a long hex list).
std::vector<std::string> logicalLines(std::string_view text) {
    std::vector<std::string> lines;
    std::string pending;
    bool continuing = false;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = trimBlanks(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        const bool continues = !line.empty() && line.back() == '\\';
        if (continues)
            line.remove_suffix(1);
        if (!continuing)
            pending.clear();
        pending.append(line);
        continuing = continues;
        if (!continuing)
            lines.push_back(pending);
    }
    if (continuing)
        lines.push_back(pending);
    return lines;
}

// Reads a quoted string starting at text[pos] == '"', understanding the
// escapes \\ and \". Leaves pos after the closing quote.
bool parseQuoted(std::string_view text, size_t& pos, std::string& out) {
    if (pos >= text.size() || text[pos] != '"')
        return false;
    out.clear();
    for (++pos; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '\\') {
            if (++pos >= text.size() || (text[pos] != '\\' && text[pos] != '"'))
                return false;
        }
        out.push_back(text[pos]);
    }
    return false;
}

// 1 to 8 hex digits, the whole of `digits`.
bool parseHexNumber(std::string_view digits, uint32_t& number) {
    if (digits.empty() || digits.size() > 8)
        return false;
    number = 0;
    for (char c : digits) {
        const int v = hexDigitValue(c);
        if (v < 0)
            return false;
        number = (number << 4) | static_cast<uint32_t>(v);
    }
    return true;
}

// Comma-separated bytes of one or two hex digits, blanks allowed around them.
bool parseHexList(std::string_view list, std::vector<uint8_t>& bytes) {
    bytes.clear();
    list = trimBlanks(list);
    if (list.empty())
        return true;
    while (true) {
        const size_t comma = list.find(',');
        const std::string_view item = trimBlanks(list.substr(0, comma));
        uint32_t value = 0;
        if (item.size() > 2 || !parseHexNumber(item, value))
            return false;
        bytes.push_back(static_cast<uint8_t>(value));
        if (comma == std::string_view::npos)
            return true;
        list.remove_prefix(comma + 1);
    }
}

bool parseValueData(std::string_view data, RegistryValue& value) {
    if (!data.empty() && data.front() == '"') {
        size_t pos = 0;
        std::string text;
        if (!parseQuoted(data, pos, text) || pos != data.size())
            return false;
        value.type = regtype::String;
        value.data.assign(text.begin(), text.end());
        value.data.push_back(0);
        return true;
    }
    if (data.starts_with("dword:")) {
        uint32_t number = 0;
        // Always eight digits, so that a file cut short inside one is noticed.
        const std::string_view digits = data.substr(6);
        if (digits.size() != 8 || !parseHexNumber(digits, number))
            return false;
        value.type = regtype::Dword;
        value.data = {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                      static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)};
        return true;
    }
    if (data.starts_with("hex:")) {
        value.type = regtype::Binary;
        return parseHexList(data.substr(4), value.data);
    }
    if (data.starts_with("hex(")) {
        const size_t close = data.find("):");
        if (close == std::string_view::npos)
            return false;
        return parseHexNumber(data.substr(4, close - 4), value.type) &&
               parseHexList(data.substr(close + 2), value.data);
    }
    return false;
}

bool parseValueLine(std::string_view line, RegistryValue& value) {
    size_t pos = 0;
    if (line.front() == '@') {
        value.name.clear();
        pos = 1;
    } else if (!parseQuoted(line, pos, value.name)) {
        return false;
    }
    if (pos >= line.size() || line[pos] != '=')
        return false;
    return parseValueData(line.substr(pos + 1), value);
}

std::string quotedText(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

// A string can be written in quotes when it is exactly one run of printable
// bytes followed by its NUL; anything else keeps its bytes as hex(1).
bool isPlainString(const std::vector<uint8_t>& data) {
    if (data.empty() || data.back() != 0)
        return false;
    for (size_t i = 0; i + 1 < data.size(); ++i) {
        if (data[i] < 0x20 || data[i] == 0x7F)
            return false;
    }
    return true;
}

std::string hexList(const std::vector<uint8_t>& data) {
    std::string out;
    char byte[4];
    for (size_t i = 0; i < data.size(); ++i) {
        std::snprintf(byte, sizeof byte, i == 0 ? "%02x" : ",%02x", data[i]);
        out += byte;
    }
    return out;
}

std::string serializeData(const RegistryValue& value) {
    char prefix[24];
    if (value.type == regtype::String && isPlainString(value.data)) {
        return quotedText(std::string_view(reinterpret_cast<const char*>(value.data.data()),
                                           value.data.size() - 1));
    }
    if (value.type == regtype::Dword && value.data.size() == 4) {
        const uint32_t n = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                           (static_cast<uint32_t>(value.data[3]) << 24);
        std::snprintf(prefix, sizeof prefix, "dword:%08x", n);
        return prefix;
    }
    if (value.type == regtype::Binary)
        return "hex:" + hexList(value.data);
    std::snprintf(prefix, sizeof prefix, "hex(%x):", value.type);
    return prefix + hexList(value.data);
}

}  // namespace

bool RegistryDocument::parse(std::string_view text) {
    keys_.clear();
    bool sawHeader = false;
    std::string currentKey;  // empty until the first key line
    for (const std::string& line : logicalLines(text)) {
        if (line.empty() || line.front() == ';')
            continue;
        bool ok = true;
        if (!sawHeader) {
            ok = sawHeader = (line == kHeader);
        } else if (line.front() == '[') {
            ok = line.size() > 2 && line.back() == ']' && line[1] != '-';
            if (ok)
                currentKey = createKey(std::string_view(line).substr(1, line.size() - 2)).path;
        } else {
            RegistryValue value;
            ok = !currentKey.empty() && (line.front() == '"' || line.front() == '@') &&
                 parseValueLine(line, value);
            if (ok)
                setValue(currentKey, std::move(value));
        }
        if (!ok) {
            keys_.clear();
            return false;
        }
    }
    if (!sawHeader)
        keys_.clear();
    return sawHeader;
}

std::string RegistryDocument::serialize() const {
    std::string out = std::string(kHeader) + "\n\n";
    for (const RegistryKeyEntry& key : keys_) {
        out += "[" + key.path + "]\n";
        for (const RegistryValue& value : key.values) {
            out += (value.name.empty() ? std::string("@") : quotedText(value.name)) + "=" +
                   serializeData(value) + "\n";
        }
        out += "\n";
    }
    return out;
}

const RegistryKeyEntry* RegistryDocument::findKey(std::string_view path) const {
    for (const RegistryKeyEntry& key : keys_) {
        if (registryNamesEqual(key.path, path))
            return &key;
    }
    return nullptr;
}

RegistryKeyEntry& RegistryDocument::createKey(std::string_view path) {
    for (RegistryKeyEntry& key : keys_) {
        if (registryNamesEqual(key.path, path))
            return key;
    }
    keys_.push_back(RegistryKeyEntry{std::string(path), {}});
    return keys_.back();
}

const RegistryValue* RegistryDocument::findValue(std::string_view keyPath,
                                                 std::string_view name) const {
    const RegistryKeyEntry* key = findKey(keyPath);
    return key ? registryFindValue(key->values, name) : nullptr;
}

void RegistryDocument::setValue(std::string_view keyPath, RegistryValue value) {
    registrySetValue(createKey(keyPath).values, std::move(value));
}

RegistryStore::RegistryStore(std::string filePath, std::string keyPath)
    : filePath_(std::move(filePath)), keyPath_(std::move(keyPath)) {
    std::string text;
    switch (fileReadSmall(filePath_, kRegistryFileMax, text)) {
        case FileReadResult::Absent:
            fileState_ = FileState::Absent;
            break;
        case FileReadResult::Read:
            fileState_ = document_.parse(text) ? FileState::Loaded : FileState::Unusable;
            break;
        case FileReadResult::Unusable:
            fileState_ = FileState::Unusable;
            break;
    }
    createdNow_ = document_.findKey(keyPath_) == nullptr;
    document_.createKey(keyPath_);
}

const RegistryValue* RegistryStore::value(std::string_view name) const {
    return document_.findValue(keyPath_, name);
}

void RegistryStore::setValue(RegistryValue value) {
    document_.setValue(keyPath_, std::move(value));
}

bool RegistryStore::commit() {
    if (fileState_ == FileState::Unusable) {
        const std::string backup = filePath_ + ".bak";
        std::error_code error;
        std::filesystem::rename(filePath_, backup, error);
        if (error && error != std::errc::no_such_file_or_directory)
            return false;
        fileState_ = FileState::Absent;
    }
    if (!registryWriteFileAtomically(filePath_, document_.serialize()))
        return false;
    fileState_ = FileState::Loaded;
    return true;
}

bool registryWriteFileAtomically(const std::string& path, std::string_view content) {
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(content.data()),
                                         content.size());
    // The settings are the user's own: private to them, like the temporary
    // file they are written through.
    return fileReplaceWhole(path, {bytes}, 0600) == FileWriteResult::Written;
}
