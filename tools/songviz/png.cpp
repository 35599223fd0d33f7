#include "tools/songviz/png.h"

#include <png.h>

namespace ostrel::songviz {

std::vector<uint8_t> encodePng(int width, int height, const std::vector<uint8_t>& rgb) {
    if (width <= 0 || height <= 0 ||
        rgb.size() / 3 / static_cast<size_t>(width) < static_cast<size_t>(height)) {
        return {};
    }
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    // The first call only measures the file; the second writes it into a buffer of that size.
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), 0, nullptr)) {
        png_image_free(&image);
        return {};
    }
    std::vector<uint8_t> file(size);
    if (!png_image_write_to_memory(&image, file.data(), &size, 0, rgb.data(), 0, nullptr)) {
        png_image_free(&image);
        return {};
    }
    file.resize(size);
    return file;
}

} // namespace ostrel::songviz
