// Storing a downloaded screen as an uncompressed bitmap file.
//
// The file is the 14-byte file header, the 40-byte information header as the
// download filled it, the colour table (its length fixed by the screen type)
// and the pixel rows, back to back. A file is written whole or not at all: the
// data goes to a temporary file in the target directory, which is renamed into
// place only once every write, the flush to disk and the close succeeded.
//
// Failures are told to the user here, in a message box captioned "Lumagrab":
// "ERROR: Unable to open file <path>" when the file cannot be created (the
// generated path does not fit kBitmapPathSize, or what stands at the path is a
// directory or a file that may not be written), "ERROR: Unable to write file
// <path>" when writing it failed. The save operations then return false and
// leave no file behind; a file that was to be replaced keeps its contents.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "catalogue/bitmap_types.h"
#include "catalogue/product_catalogue.h"

// Room for a path with its terminating NUL; longer paths are refused.
constexpr size_t kBitmapPathSize = 512;

// Bytes of colour table written for a screen type: 8, 16, 64 or 1024 for
// types 1 to 4, none for any other value.
uint32_t bitmapColorTableBytes(uint8_t screenType);

// Finds the first free generated name "<dir>/<name>-NN.bmp" (NN from 01; 100
// and more use three digits or more; the system's separator, "\" on
// Windows) and stores it in `path`. The device name loses its blanks and has
// each "/" turned into "_". A trailing separator is removed from
// `outputDirectory` itself, so the setting keeps the shortened form.
// Returns false, with `path` holding the first candidate, when a generated
// path would not fit kBitmapPathSize.
bool bitmapMakeAutoName(std::string& path, std::string& outputDirectory, const char* deviceName);

// Asks for a file name with the Save dialog ("Save Bitmap", starting in
// `outputDirectory`, proposing a generated name when `device` is given) and
// writes the file there, replacing a file the user agreed to replace. Returns
// false when the dialog was cancelled or the file could not be written. The
// path written goes to `savedPath` when one is given.
bool bitmapSaveAs(const BitmapInfo& info, std::span<const uint8_t> pixels, uint8_t screenType,
                  std::string& outputDirectory, const DeviceInfo* device,
                  std::string* savedPath = nullptr);

// Writes the file under a generated name in `outputDirectory`, without any
// dialog. The name is created exclusively, so an existing file is never
// replaced: a name that appears meanwhile moves the search on to the next
// number. Returns false when the file could not be written. The path written
// goes to `savedPath` when one is given.
bool bitmapSaveAuto(const BitmapInfo& info, std::span<const uint8_t> pixels, uint8_t screenType,
                    std::string& outputDirectory, const DeviceInfo& device,
                    std::string* savedPath = nullptr);
