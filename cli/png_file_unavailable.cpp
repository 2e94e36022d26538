// PNG output where the program is built without libpng (Windows): the CLI
// says so and writes nothing.
#include "cli/png_file.h"
#include "platform/platform.h"

bool pngSave(const BitmapInfo&, std::span<const uint8_t>, const std::string& path) {
    platformMessageBox("ERROR: PNG files cannot be written by this build; save " + path +
                           " as a .bmp file instead",
                       "Lumagrab", msgbox::Ok | msgbox::IconExclamation);
    return false;
}
