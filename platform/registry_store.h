// A small registry kept in a REGEDIT4-format text file: the settings store
// on Linux.
//
// The file holds keys ("[HKEY_LOCAL_MACHINE\...]") with typed values, one per
// line, in the forms the format knows:
//
//     "Name"="text"              a string (stored with its terminating NUL)
//     "Name"=dword:0000002a      a 32-bit number (eight digits), little-endian in memory
//     "Name"=hex:01,ff           binary bytes
//     "Name"=hex(7):41,00,00     any other type, by number
//
// Lines may end with CR LF or LF; ';' starts a comment line; a hex list may
// continue on the next line after a trailing '\'. Key and value names compare
// without regard to ASCII case.
//
// Everything read from the file is untrusted. A file that cannot be read or
// parsed (wrong header, unknown line, bad escape or number, larger than
// kRegistryFileMax) is treated as holding no keys; when the store is next
// written, the old file is first moved aside to "<file>.bak" so that nothing
// the user had is silently destroyed.
//
// Writes are atomic: the new text goes to a temporary file in the same
// directory, is flushed to disk, and then renamed over the old file. A crash
// at any point leaves either the old file or the new one, never a mixture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/settings_store.h"

constexpr size_t kRegistryFileMax = 1 << 20;  // larger files are not read

struct RegistryKeyEntry {
    std::string path;  // e.g. "HKEY_LOCAL_MACHINE\SOFTWARE\Orvane\GPSLumagrab"
    std::vector<RegistryValue> values;
};

// The parsed content of a registry file: keys and values in file order.
class RegistryDocument {
  public:
    // Parses REGEDIT4 text. Returns false (and leaves the document empty) when
    // the text is not a well-formed registry file.
    bool parse(std::string_view text);
    std::string serialize() const;

    const RegistryKeyEntry* findKey(std::string_view path) const;
    // Returns the key, adding an empty one at the end when it is absent.
    RegistryKeyEntry& createKey(std::string_view path);
    // Null when the key or the value does not exist.
    const RegistryValue* findValue(std::string_view keyPath, std::string_view name) const;
    // Adds or replaces a value, creating the key when needed.
    void setValue(std::string_view keyPath, RegistryValue value);

    const std::vector<RegistryKeyEntry>& keys() const { return keys_; }

  private:
    std::vector<RegistryKeyEntry> keys_;
};

// One key of a registry file, opened (or created in memory) like the
// platform's "open or create key" call, which tells whether the key is new.
class RegistryStore final : public SettingsStore {
  public:
    enum class FileState { Absent, Loaded, Unusable };

    // Reads `filePath` and opens `keyPath` in it. Never fails: an absent or
    // unusable file gives an empty document, and the key is then new.
    RegistryStore(std::string filePath, std::string keyPath);

    // True when the key did not exist in the file when the store was opened.
    bool keyCreatedNow() const override { return createdNow_; }
    FileState fileState() const { return fileState_; }
    const std::string& filePath() const { return filePath_; }

    const RegistryValue* value(std::string_view name) const override;
    void setValue(RegistryValue value) override;

    // Writes the whole document atomically, creating the file's directory
    // when needed; an unusable old file is first kept as "<file>.bak".
    // False when the file could not be written (the old one is then intact).
    bool commit() override;

  private:
    std::string filePath_;
    std::string keyPath_;
    RegistryDocument document_;
    FileState fileState_ = FileState::Absent;
    bool createdNow_ = false;
};

// Replaces `path` with `content` atomically (temporary file, fsync, rename,
// fsync of the directory). Missing parent directories are created.
bool registryWriteFileAtomically(const std::string& path, std::string_view content);
