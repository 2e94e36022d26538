// Test doubles for the platform seams, shared by every test folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

// Replaces platformSleep with a recorder for its lifetime: nothing waits.
class ScopedSleepRecorder {
public:
    ScopedSleepRecorder();
    ~ScopedSleepRecorder();
    const std::vector<uint32_t>& calls() const { return calls_; }

private:
    std::vector<uint32_t> calls_;
};

// Replaces platformMessageBox with a recorder that answers OK.
class ScopedMessageBoxRecorder {
public:
    struct Shown {
        std::string text;
        std::string caption;
        uint32_t style;
    };
    ScopedMessageBoxRecorder();
    ~ScopedMessageBoxRecorder();
    const std::vector<Shown>& shown() const { return shown_; }

private:
    std::vector<Shown> shown_;
};

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Whole-file helpers for assertions.
std::vector<uint8_t> readFileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool fileExists(const std::string& path);
