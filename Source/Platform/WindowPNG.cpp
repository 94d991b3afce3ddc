// Screenshots as PNG files through libpng, and the start-up check of the image libraries.
// Main thread only (called with pixels the screen code has read back). Never touches GL: it is
// handed plain rows of bytes.
#include "Platform/Platform.h"
#include <cstdio>
#include <csetjmp>
#include <png.h>

namespace {

struct PngErrorSink {
    std::string *pError;
};

void PngError(png_structp png, png_const_charp message) {
    auto *sink = static_cast<PngErrorSink *>(png_get_error_ptr(png));
    *sink->pError = message ? message : "libpng error";
    png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

}  // namespace

int MVE_PlatformWritePNG(const char *file, const uint8_t *pixels, int width, int height, int channels,
                         std::string &error) {
    if (!file || !*file) {
        error = "no file name";
        return 0;
    }
    if (!pixels || width <= 0 || height <= 0 || (channels != 3 && channels != 4)) {
        error = "no image to write";
        return 0;
    }
    FILE *out = std::fopen(file, "wb");
    if (!out) {
        error = "cannot write " + std::string(file);
        return 0;
    }
    PngErrorSink sink{&error};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, PngError, PngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, nullptr);
        std::fclose(out);
        std::remove(file);
        error = "out of memory";
        return 0;
    }
    // libpng reports errors by longjmp; nothing with a destructor lives between here and the writes.
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(out);
        std::remove(file);  // never leave a truncated image behind
        return 0;
    }
    png_init_io(png, out);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // Screenshots are taken while the game runs: favour speed over the last few percent of size.
    png_set_compression_level(png, 3);
    png_write_info(png, info);
    const size_t stride = static_cast<size_t>(width) * static_cast<size_t>(channels);
    for (int y = 0; y < height; y++) png_write_row(png, pixels + stride * static_cast<size_t>(y));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(out) != 0) {
        std::remove(file);
        error = "cannot write " + std::string(file);
        return 0;
    }
    return 1;
}

int MVE_PlatformCheckImageCodecs(std::string &error) {
    // A libpng of another series than its headers would misread every image: say so here, once,
    // rather than decode garbage later. (libjpeg checks its own version when a decoder is made.)
    png_uint_32 linked = png_access_version_number();
    if (linked / 100 != PNG_LIBPNG_VER / 100) {
        error = "libpng " + std::to_string(linked) + " does not match " + PNG_LIBPNG_VER_STRING;
        return 0;
    }
    return 1;
}
