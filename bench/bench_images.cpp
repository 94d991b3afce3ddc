// Image decoding speed: the engine's image layer against a plain libpng / libjpeg loop on the same
// files in the same run (target: at least 0.9 of the plain loop's pixels per second). The plain
// loops do the same conversions (8-bit RGB or RGBA out) and nothing else. Files: a generated
// 1024 x 1024 picture as RGB PNG, RGBA PNG and JPEG, plus the corpus photo when it is there.
#include "Platform/Platform.h"
#include <benchmark/benchmark.h>
#include <png.h>
#include <jpeglib.h>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::filesystem::path g_folder;

// A smooth picture with some detail, so neither codec meets an unusually easy or hard case.
std::vector<uint8_t> Picture(int size, int channels) {
    std::vector<uint8_t> pixels(static_cast<size_t>(size * size * channels));
    for (int y = 0; y < size; y++)
        for (int x = 0; x < size; x++) {
            uint8_t *p = &pixels[static_cast<size_t>((y * size + x) * channels)];
            const double u = x / double(size), v = y / double(size);
            p[0] = static_cast<uint8_t>(127 + 120 * std::sin(u * 9 + std::cos(v * 7)));
            p[1] = static_cast<uint8_t>(127 + 120 * std::cos(v * 11 - u * 3));
            p[2] = static_cast<uint8_t>((x ^ y) & 0xFF) / 4 + 100;
            if (channels == 4) p[3] = static_cast<uint8_t>(255 * v);
        }
    return pixels;
}

void WritePng(const std::string &file, int size, int channels) {
    FILE *out = std::fopen(file.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) std::abort();
    png_init_io(png, out);
    png_set_IHDR(png, info, size, size, 8, channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> pixels = Picture(size, channels);
    for (int y = 0; y < size; y++) png_write_row(png, &pixels[static_cast<size_t>(y * size * channels)]);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(out);
}

void WriteJpeg(const std::string &file, int size) {
    FILE *out = std::fopen(file.c_str(), "wb");
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = info.image_height = static_cast<JDIMENSION>(size);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> pixels = Picture(size, 3);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = &pixels[static_cast<size_t>(info.next_scanline) * size * 3];
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(out);
}

// An output block without the zero fill of a vector, as the engine's.
struct Buffer {
    uint8_t *pData = nullptr;
    size_t uSize = 0;
    void Reset(size_t size) {
        std::free(pData);
        pData = static_cast<uint8_t *>(std::malloc(size));
        uSize = size;
    }
    ~Buffer() { std::free(pData); }
};

std::string File(const char *name) { return (g_folder / name).string(); }

void Setup() {
    if (!g_folder.empty()) return;
    g_folder = std::filesystem::temp_directory_path() / ("mve-bench-images-" + std::to_string(::getpid()));
    std::filesystem::create_directories(g_folder);
    WritePng(File("rgb.png"), 1024, 3);
    WritePng(File("rgba.png"), 1024, 4);
    WriteJpeg(File("picture.jpg"), 1024);
}

// The plain loops: what a program that only wants the pixels would write.
int PlainPng(const char *file, Buffer &out) {
    FILE *in = std::fopen(file, "rb");
    if (!in) return 0;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(in);
        return 0;
    }
    png_init_io(png, in);
    png_read_info(png, info);
    const int type = png_get_color_type(png, info), depth = png_get_bit_depth(png, info);
    if (type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (type == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (depth == 16) png_set_scale_16(png);
    if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const size_t stride = png_get_rowbytes(png, info), height = png_get_image_height(png, info);
    out.Reset(stride * height);
    std::vector<png_bytep> rows(height);
    for (size_t y = 0; y < height; y++) rows[y] = out.pData + stride * y;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(in);
    return 1;
}

struct PlainJpegError {
    jpeg_error_mgr Manager;
    jmp_buf Jump;
};

int PlainJpeg(const char *file, Buffer &out) {
    FILE *in = std::fopen(file, "rb");
    if (!in) return 0;
    jpeg_decompress_struct info;
    PlainJpegError error;
    info.err = jpeg_std_error(&error.Manager);
    error.Manager.error_exit = [](j_common_ptr c) { std::longjmp(reinterpret_cast<PlainJpegError *>(c->err)->Jump, 1); };
    if (setjmp(error.Jump)) {
        jpeg_destroy_decompress(&info);
        std::fclose(in);
        return 0;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, in);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    const size_t stride = static_cast<size_t>(info.output_width) * 3;
    out.Reset(stride * info.output_height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out.pData + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(in);
    return 1;
}

std::string Source(int which) {
    switch (which) {
        case 0: return File("rgb.png");
        case 1: return File("rgba.png");
        case 2: return File("picture.jpg");
        default: return (std::filesystem::path(__FILE__).parent_path() / ".." / ".." / "shared" / "corpus" / "jpeg" / "Portrait_6.jpg").string();
    }
}

const char *const kLabels[] = {"PNG RGB 1024", "PNG RGBA 1024", "JPEG 1024", "JPEG photo 1800x1200"};

void Engine(benchmark::State &state) {
    Setup();
    const std::string file = Source(static_cast<int>(state.range(0)));
    int64_t pixels = 0;
    for (auto _ : state) {
        MVE_IMAGE image;
        std::string error;
        if (!MVE_PlatformLoadImage(file.c_str(), image, error)) {
            state.SkipWithError(("cannot decode " + file + ": " + error).c_str());
            return;
        }
        benchmark::DoNotOptimize(image.pPixels);
        pixels += static_cast<int64_t>(image.iWidth) * image.iHeight;
    }
    state.SetItemsProcessed(pixels);
    state.SetLabel(kLabels[state.range(0)]);
}

void Plain(benchmark::State &state) {
    Setup();
    const std::string file = Source(static_cast<int>(state.range(0)));
    const bool jpeg = state.range(0) >= 2;
    int64_t pixels = 0;
    for (auto _ : state) {
        Buffer out;
        if (!(jpeg ? PlainJpeg(file.c_str(), out) : PlainPng(file.c_str(), out))) {
            state.SkipWithError(("cannot decode " + file).c_str());
            return;
        }
        benchmark::DoNotOptimize(out.pData);
        pixels += static_cast<int64_t>(out.uSize / (state.range(0) == 1 ? 4 : 3));
    }
    state.SetItemsProcessed(pixels);
    state.SetLabel(kLabels[state.range(0)]);
}

}  // namespace

BENCHMARK(Engine)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(Plain)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!g_folder.empty()) std::filesystem::remove_all(g_folder);
    return 0;
}
