// What the resource tools share: an 8-bit image in memory and its PNG writer (libpng).
#pragma once
#include <png.h>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <csetjmp>
#include <string>
#include <vector>

namespace mvetools {

struct Image {
    int iWidth, iHeight, iChannels;
    std::vector<uint8_t> Pixels;
    Image(int w, int h, int c) : iWidth(w), iHeight(h), iChannels(c), Pixels(static_cast<size_t>(w * h * c)) {}
    uint8_t *At(int x, int y) { return &Pixels[static_cast<size_t>((y * iWidth + x) * iChannels)]; }
};

inline uint8_t Byte(double v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); }

inline bool WritePng(const std::string &path, const Image &image) {
    FILE *out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(out);
        return false;
    }
    png_init_io(png, out);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.iWidth), static_cast<png_uint_32>(image.iHeight), 8,
                 image.iChannels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 9);
    png_write_info(png, info);
    for (int y = 0; y < image.iHeight; y++)
        png_write_row(png, image.Pixels.data() + static_cast<size_t>(y * image.iWidth * image.iChannels));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(out) == 0;
}

}  // namespace mvetools
