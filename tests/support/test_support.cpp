#include "support/test_support.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

ScopedSleepRecorder::ScopedSleepRecorder() {
    platformSetSleepHook([this](uint32_t ms) { calls_.push_back(ms); });
}
ScopedSleepRecorder::~ScopedSleepRecorder() { platformSetSleepHook(nullptr); }

ScopedMessageBoxRecorder::ScopedMessageBoxRecorder(int answer) {
    platformSetMessageBoxHook(
        [this, answer](const std::string& text, const std::string& caption, uint32_t style) {
            shown_.push_back({text, caption, style});
            return answer;
        });
}
ScopedMessageBoxRecorder::~ScopedMessageBoxRecorder() { platformSetMessageBoxHook(nullptr); }

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lumagrab-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests may leave read-only folders behind; make them writable before removal.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec)) chmod(it->path().c_str(), 0700);
    }
    chmod(path_.c_str(), 0700);
    std::filesystem::remove_all(path_, ec);
}

std::vector<uint8_t> readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool fileExists(const std::string& path) {
    struct stat st{};
    return stat(path.c_str(), &st) == 0;
}
