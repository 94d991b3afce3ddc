// Image decoding over libpng and libjpeg: a file or a memory block in, 8-bit RGB or RGBA rows out,
// top row first. Any thread. Both libraries report errors by longjmp, so the decoding functions
// below hold no object with a destructor between their setjmp and the end of the library calls;
// what they own lives in a plain context record that the caller frees on either path.
#include "Platform/Platform.h"
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <png.h>
#include <jpeglib.h>
#include <jerror.h>

MVE_IMAGE::MVE_IMAGE(MVE_IMAGE &&other) noexcept { *this = static_cast<MVE_IMAGE &&>(other); }

MVE_IMAGE &MVE_IMAGE::operator=(MVE_IMAGE &&other) noexcept {
    if (this != &other) {
        std::free(pPixels);
        iWidth = other.iWidth;
        iHeight = other.iHeight;
        iFormat = other.iFormat;
        iBytesPerPixel = other.iBytesPerPixel;
        iBottomUp = other.iBottomUp;
        pPixels = other.pPixels;
        other.pPixels = nullptr;
        other.iWidth = other.iHeight = other.iFormat = other.iBytesPerPixel = other.iBottomUp = 0;
    }
    return *this;
}

MVE_IMAGE::~MVE_IMAGE() { std::free(pPixels); }

void MVE_PlatformFreeImage(MVE_IMAGE &image) { image = MVE_IMAGE(); }

namespace {

// A header's size is checked before anything is allocated for it: a tiny hostile file must not
// make us reserve gigabytes.
const char *SizeProblem(uint64_t width, uint64_t height) {
    if (width == 0 || height == 0) return "the image has no pixels";
    if (width > MVE_IMAGE_MAX_SIDE || height > MVE_IMAGE_MAX_SIDE || width * height > MVE_IMAGE_MAX_PIXELS)
        return "the image is too large";
    return nullptr;
}

constexpr const char *kTooLittleData = "the file holds too little data for the size its header gives";

// Deflate turns at best two bits into a run of 258 bytes: image data can be at most 1032 times the
// compressed data present (the sum of the IDAT chunks' lengths, counted before decoding).
uint64_t PngCompressedBytes(const uint8_t *data, size_t size) {
    uint64_t idat = 0;
    for (size_t pos = 8; size - pos >= 12;) {
        const uint64_t length = uint64_t(data[pos]) << 24 | uint64_t(data[pos + 1]) << 16 | uint64_t(data[pos + 2]) << 8 | data[pos + 3];
        if (std::memcmp(data + pos + 4, "IDAT", 4) == 0) idat += length;
        if (length > size - pos - 12) break;
        pos += 12 + static_cast<size_t>(length);
    }
    return idat;
}

// ---------------------------------------------------------------- PNG

struct PngContext {
    const uint8_t *pData;
    size_t uSize, uPos;
    uint64_t uCompressed;           // bytes of IDAT chunks in the file
    char sError[200];
    uint8_t *pPixels;               // malloc'd; handed to the image on success
    png_bytep *pRows;               // malloc'd row table
    int iWidth, iHeight, iChannels;
};

void PngError(png_structp png, png_const_charp message) {
    auto *ctx = static_cast<PngContext *>(png_get_error_ptr(png));
    std::snprintf(ctx->sError, sizeof ctx->sError, "%s", message ? message : "corrupt PNG data");
    png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

void PngRead(png_structp png, png_bytep out, png_size_t count) {
    auto *ctx = static_cast<PngContext *>(png_get_io_ptr(png));
    if (count > ctx->uSize - ctx->uPos) png_error(png, "the file ends too early");
    std::memcpy(out, ctx->pData + ctx->uPos, count);
    ctx->uPos += count;
}

// Returns 1 with ctx->pPixels filled; 0 with ctx->sError set. Plain C below the setjmp.
int DecodePng(PngContext *ctx) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, ctx, PngError, PngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        std::snprintf(ctx->sError, sizeof ctx->sError, "out of memory");
        return 0;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return 0;
    }
    png_set_read_fn(png, ctx, PngRead);
    png_set_user_limits(png, MVE_IMAGE_MAX_SIDE, MVE_IMAGE_MAX_SIDE);
    png_read_info(png, info);

    png_uint_32 width = 0, height = 0;
    int depth = 0, type = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &type, &interlace, nullptr, nullptr);
    if (const char *problem = SizeProblem(width, height)) png_error(png, problem);
    const int samples = type == PNG_COLOR_TYPE_RGB ? 3 : type == PNG_COLOR_TYPE_RGB_ALPHA ? 4 : type == PNG_COLOR_TYPE_GRAY_ALPHA ? 2 : 1;
    if ((uint64_t(width) * height * samples * depth + 7) / 8 > ctx->uCompressed * 1032 + 1032) png_error(png, kTooLittleData);

    if (type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (type == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (depth == 16) png_set_scale_16(png);   // rounds to the nearest 8-bit value
    if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    const int channels = png_get_channels(png, info);
    const size_t stride = static_cast<size_t>(width) * static_cast<size_t>(channels);
    if ((channels != 3 && channels != 4) || png_get_rowbytes(png, info) != stride)
        png_error(png, "unsupported PNG pixel layout");
    ctx->pPixels = static_cast<uint8_t *>(std::malloc(stride * height));
    ctx->pRows = static_cast<png_bytep *>(std::malloc(sizeof(png_bytep) * height));
    if (!ctx->pPixels || !ctx->pRows) png_error(png, "out of memory");
    for (png_uint_32 y = 0; y < height; y++) ctx->pRows[y] = ctx->pPixels + stride * y;
    png_read_image(png, ctx->pRows);
    png_read_end(png, nullptr);   // checks the chunks after the pixels, so a damaged end is noticed
    png_destroy_read_struct(&png, &info, nullptr);
    ctx->iWidth = static_cast<int>(width);
    ctx->iHeight = static_cast<int>(height);
    ctx->iChannels = channels;
    return 1;
}

int LoadPng(const uint8_t *data, size_t size, MVE_IMAGE &image, std::string &error) {
    PngContext ctx{};
    ctx.pData = data;
    ctx.uSize = size;
    ctx.uCompressed = PngCompressedBytes(data, size);
    const int ok = DecodePng(&ctx);
    std::free(ctx.pRows);
    if (!ok) {
        std::free(ctx.pPixels);
        error = ctx.sError;
        return 0;
    }
    image.iWidth = ctx.iWidth;
    image.iHeight = ctx.iHeight;
    image.iBytesPerPixel = ctx.iChannels;
    image.iFormat = ctx.iChannels == 4 ? MVE_PIXELS_RGBA : MVE_PIXELS_RGB;
    image.pPixels = ctx.pPixels;
    return 1;
}

// ---------------------------------------------------------------- JPEG

struct JpegContext {
    jpeg_error_mgr Manager;         // first, so libjpeg's error pointer is the context
    jmp_buf Jump;
    char sError[JMSG_LENGTH_MAX + 64];
    uint8_t *pPixels;
    uint8_t *pScratch;              // CMYK pixels before conversion
    int iWidth, iHeight;
};

void JpegError(j_common_ptr info) {
    auto *ctx = reinterpret_cast<JpegContext *>(info->err);
    char message[JMSG_LENGTH_MAX];
    info->err->format_message(info, message);
    std::snprintf(ctx->sError, sizeof ctx->sError, "%s", message);
    std::longjmp(ctx->Jump, 1);
}

// Warnings are mostly harmless (stray bytes before a marker), but running out of data means the
// rest of the picture would be made up: that is a broken file, not an image.
void JpegMessage(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) {
        auto *ctx = reinterpret_cast<JpegContext *>(info->err);
        std::snprintf(ctx->sError, sizeof ctx->sError, "the file ends too early");
        std::longjmp(ctx->Jump, 1);
    }
}

void JpegSilent(j_common_ptr) {}

int DecodeJpeg(JpegContext *ctx, const uint8_t *data, size_t size) {
    jpeg_decompress_struct info;
    std::memset(&info, 0, sizeof info);   // a failed create must leave nothing for destroy to free
    info.err = jpeg_std_error(&ctx->Manager);
    ctx->Manager.error_exit = JpegError;
    ctx->Manager.emit_message = JpegMessage;
    ctx->Manager.output_message = JpegSilent;
    if (setjmp(ctx->Jump)) {
        jpeg_destroy_decompress(&info);
        return 0;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    if (const char *problem = SizeProblem(info.image_width, info.image_height)) {
        std::snprintf(ctx->sError, sizeof ctx->sError, "%s", problem);
        jpeg_destroy_decompress(&info);
        return 0;
    }
    // Huffman coding spends at least one bit on every 8 x 8 block of the full-resolution component
    // (its DC value): a header that promises more blocks than the file has bits is refused before
    // libjpeg allocates for them. Arithmetic coding has no such floor.
    const uint64_t blocks = (uint64_t(info.image_width) + 7) / 8 * ((uint64_t(info.image_height) + 7) / 8);
    if (!info.arith_code && blocks > uint64_t(size) * 8) {
        std::snprintf(ctx->sError, sizeof ctx->sError, "%s", kTooLittleData);
        jpeg_destroy_decompress(&info);
        return 0;
    }
    // Grey is widened here rather than by libjpeg: not every libjpeg converts grey to RGB.
    const bool grey = info.jpeg_color_space == JCS_GRAYSCALE;
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&info);

    const size_t width = info.output_width, height = info.output_height, stride = width * 3;
    const int components = info.output_components;
    if (components != (grey ? 1 : cmyk ? 4 : 3)) ERREXIT(&info, JERR_CONVERSION_NOTIMPL);
    ctx->pPixels = static_cast<uint8_t *>(std::malloc(stride * height));
    if (cmyk) ctx->pScratch = static_cast<uint8_t *>(std::malloc(width * height * 4));
    if (!ctx->pPixels || (cmyk && !ctx->pScratch)) ERREXIT1(&info, JERR_OUT_OF_MEMORY, 0);
    while (info.output_scanline < height) {
        uint8_t *row = ctx->pPixels + stride * info.output_scanline;
        JSAMPROW target = cmyk ? ctx->pScratch + width * 4 * info.output_scanline : row;
        if (jpeg_read_scanlines(&info, &target, 1) != 1) ERREXIT(&info, JERR_INPUT_EMPTY);
        if (grey)
            for (size_t x = width; x-- > 0;) row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = row[x];
    }
    if (cmyk) {
        // Photoshop stores CMYK inverted (255 = no ink) under its Adobe marker; other writers use
        // the same marker with plain values. Nothing in the file says which: pictures have far
        // more paper than black ink, so the side the black channel leans to tells them apart.
        uint64_t black = 0;
        const size_t count = width * height;
        for (size_t i = 0; i < count; i++) black += ctx->pScratch[4 * i + 3];
        const bool inverted = info.saw_Adobe_marker && black > count * 127;
        const uint8_t *s = ctx->pScratch;
        uint8_t *d = ctx->pPixels;
        for (size_t i = 0; i < count; i++, s += 4, d += 3) {
            const unsigned k = inverted ? s[3] : 255u - s[3];
            for (int c = 0; c < 3; c++) {
                const unsigned paper = inverted ? s[c] : 255u - s[c];
                d[c] = static_cast<uint8_t>((paper * k + 127) / 255);
            }
        }
    }
    jpeg_finish_decompress(&info);
    ctx->iWidth = static_cast<int>(info.output_width);
    ctx->iHeight = static_cast<int>(info.output_height);
    jpeg_destroy_decompress(&info);
    return 1;
}

int LoadJpeg(const uint8_t *data, size_t size, MVE_IMAGE &image, std::string &error) {
    JpegContext *ctx = static_cast<JpegContext *>(std::calloc(1, sizeof(JpegContext)));
    if (!ctx) {
        error = "out of memory";
        return 0;
    }
    const int ok = DecodeJpeg(ctx, data, size);
    std::free(ctx->pScratch);
    if (ok) {
        image.iWidth = ctx->iWidth;
        image.iHeight = ctx->iHeight;
        image.iBytesPerPixel = 3;
        image.iFormat = MVE_PIXELS_RGB;
        image.pPixels = ctx->pPixels;
    } else {
        std::free(ctx->pPixels);
        error = ctx->sError;
    }
    std::free(ctx);
    return ok;
}

}  // namespace

int MVE_PlatformCatchImage(const void *data, size_t size, MVE_IMAGE &image, std::string &error) {
    image = MVE_IMAGE();
    const auto *bytes = static_cast<const uint8_t *>(data);
    if (!bytes || size == 0) {
        error = "no image data";
        return 0;
    }
    static const uint8_t pngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (size >= 8 && std::memcmp(bytes, pngSignature, 8) == 0) return LoadPng(bytes, size, image, error);
    if (size >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) return LoadJpeg(bytes, size, image, error);
    error = "not a PNG or JPEG image";
    return 0;
}

int MVE_PlatformLoadImage(const char *file, MVE_IMAGE &image, std::string &error) {
    image = MVE_IMAGE();
    std::vector<uint8_t> bytes;
    if (!MVE_ReadRegularFile(file, MVE_FILE_IMAGE, bytes, error)) return 0;
    if (bytes.empty()) {
        error = "the file is empty";
        return 0;
    }
    return MVE_PlatformCatchImage(bytes.data(), bytes.size(), image, error);
}
