// mve-resourcebuilder: draws the engine's built-in images by code and writes them as the PNG and
// JPEG files that the engine embeds (Source/Texture/Builtin). Run it when a pattern changes and
// commit what it writes; building the engine does not run it.
//   logo.png        512 x 512 RGBA  ring and chevron mark on a transparent ground
//   texture0.png    256 x 256 RGB   colour map: white, so a surface shows its material's colour
//   texture1.png    256 x 256 RGBA  normal map: flat (straight out of the surface), full height in alpha
//   texture2.png    256 x 256 RGB   specular map: black, no highlight of its own
//   sky_*.jpg       64 x 64 RGB     six cube faces (+X, -X, +Y, -Y, +Z, -Z) of a sky gradient
#include "../Common/ImageWriter.h"
#include <jpeglib.h>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using mvetools::Byte;
using mvetools::Image;
using mvetools::WritePng;

bool WriteJpeg(const std::string &path, const Image &image) {
    FILE *out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = static_cast<JDIMENSION>(image.iWidth);
    info.image_height = static_cast<JDIMENSION>(image.iHeight);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 92, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.Pixels.data() + static_cast<size_t>(info.next_scanline) * image.iWidth * 3);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(out) == 0;
}

// Coverage of a pixel by a shape given as an inside test, 4 x 4 samples: smooth edges.
template <class Inside> double Coverage(int x, int y, Inside inside) {
    int hits = 0;
    for (int j = 0; j < 4; j++)
        for (int i = 0; i < 4; i++) hits += inside(x + (i + 0.5) / 4.0, y + (j + 0.5) / 4.0) ? 1 : 0;
    return hits / 16.0;
}

Image Logo() {
    const int size = 512;
    Image image(size, size, 4);
    const double c = size / 2.0;
    auto ring = [&](double x, double y) {
        const double r = std::hypot(x - c, y - c);
        return r > 200 && r < 236;
    };
    // A chevron pair: two slanted bars meeting in the middle, like a stylised M.
    auto bar = [&](double x, double y, double x0, double y0, double x1, double y1, double half) {
        const double dx = x1 - x0, dy = y1 - y0, t = std::clamp(((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
        return std::hypot(x - (x0 + t * dx), y - (y0 + t * dy)) < half;
    };
    auto mark = [&](double x, double y) {
        return bar(x, y, 150, 350, 150, 170, 22) || bar(x, y, 150, 170, 256, 290, 22) ||
               bar(x, y, 256, 290, 362, 170, 22) || bar(x, y, 362, 170, 362, 350, 22);
    };
    for (int y = 0; y < size; y++)
        for (int x = 0; x < size; x++) {
            const double a = Coverage(x, y, [&](double u, double v) { return ring(u, v) || mark(u, v); });
            const double shade = 0.55 + 0.45 * (1.0 - y / double(size));  // lighter at the top
            uint8_t *p = image.At(x, y);
            p[0] = Byte(0.20 * shade + 0.05);
            p[1] = Byte(0.75 * shade + 0.10);
            p[2] = Byte(0.35 * shade + 0.05);
            p[3] = Byte(a);
        }
    return image;
}

// The default textures are neutral: a first lit object looks like the colour it was given, with no
// relief or pattern the program did not ask for.
Image Flat(int channels, const uint8_t value[4]) {
    Image image(256, 256, channels);
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++)
            for (int c = 0; c < channels; c++) image.At(x, y)[c] = value[c];
    return image;
}

Image ColourMap() {
    static const uint8_t white[4] = {255, 255, 255, 255};
    return Flat(3, white);
}

// (128, 128, 255) decodes to the surface normal itself; the height sits at the top, so parallax
// programs see a level surface.
Image NormalMap() {
    static const uint8_t flat[4] = {128, 128, 255, 255};
    return Flat(4, flat);
}

Image SpecularMap() {
    static const uint8_t black[4] = {0, 0, 0, 255};
    return Flat(3, black);
}

// Face f of a cube map at texel (s, t) in -1..1, as the GL cube map faces are laid out.
void FaceDirection(int face, double s, double t, double d[3]) {
    switch (face) {
        case 0: d[0] = 1, d[1] = -t, d[2] = -s; break;
        case 1: d[0] = -1, d[1] = -t, d[2] = s; break;
        case 2: d[0] = s, d[1] = 1, d[2] = t; break;
        case 3: d[0] = s, d[1] = -1, d[2] = -t; break;
        case 4: d[0] = s, d[1] = -t, d[2] = 1; break;
        default: d[0] = -s, d[1] = -t, d[2] = -1; break;
    }
}

Image SkyFace(int face) {
    Image image(64, 64, 3);
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 64; x++) {
            double d[3];
            FaceDirection(face, (x + 0.5) / 32.0 - 1.0, (y + 0.5) / 32.0 - 1.0, d);
            const double up = d[1] / std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
            double r, g, b;
            if (up >= 0) {  // horizon haze to deep blue at the zenith
                const double k = std::pow(up, 0.6);
                r = 0.78 - 0.58 * k, g = 0.86 - 0.46 * k, b = 0.95 - 0.20 * k;
            } else {        // a dim brown ground
                const double k = std::min(1.0, -up * 3.0);
                r = 0.55 - 0.20 * k, g = 0.50 - 0.22 * k, b = 0.45 - 0.25 * k;
            }
            uint8_t *p = image.At(x, y);
            p[0] = Byte(r), p[1] = Byte(g), p[2] = Byte(b);
        }
    return image;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    bool ok = WritePng(folder + "logo.png", Logo()) && WritePng(folder + "texture0.png", ColourMap()) &&
              WritePng(folder + "texture1.png", NormalMap()) && WritePng(folder + "texture2.png", SpecularMap());
    static const char *const kFaces[6] = {"sky_px.jpg", "sky_nx.jpg", "sky_py.jpg", "sky_ny.jpg", "sky_pz.jpg", "sky_nz.jpg"};
    for (int f = 0; f < 6 && ok; f++) ok = WriteJpeg(folder + kFaces[f], SkyFace(f));
    if (!ok) {
        std::fprintf(stderr, "cannot write the images into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
