// PNG encoding on Linux: libpng's simplified writer, which picks the bit
// depth the palette needs.
#include <png.h>

#include "cli/png_file.h"

bool pngEncode(const IndexedPicture& picture, std::vector<uint8_t>& png) {
    std::vector<uint8_t> colormap;
    for (const RGBQUAD& c : picture.palette) {
        colormap.insert(colormap.end(), {c.rgbRed, c.rgbGreen, c.rgbBlue});
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = picture.width;
    image.height = picture.height;
    image.format = PNG_FORMAT_RGB_COLORMAP;
    image.colormap_entries = static_cast<png_uint_32>(picture.palette.size());
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, picture.indices.data(), 0,
                                   colormap.data())) {
        return false;
    }
    png.resize(size);
    const bool ok = png_image_write_to_memory(&image, png.data(), &size, 0, picture.indices.data(),
                                              0, colormap.data()) != 0;
    png.resize(size);
    png_image_free(&image);
    return ok;
}
