// mve-galleryresources: makes the data of the gallery's examples by code and writes it into their
// folders below Samples/. Run it (target mve-gallery-resources) when a pattern changes and commit
// what it writes; building the examples only copies the committed files.
//   Particles/Resources/Puff.png   64 x 64 soft white puff with a ragged edge (fire and smoke)
//   Particles/Resources/Tree.png   64 x 128 fir tree on a transparent ground (billboards)
//   Overlay/Resources/Gem.png      48 x 48 faceted gem in greys, tinted by its material
//   Overlay/Resources/Heart.png    48 x 48 red heart with a highlight
//   Sound/Resources/Hum.ogg        a two-second buzzing hum that loops without a seam
//   SceneFile/Resources/Plain.png, Flat.png   4 x 4 white, and flat normals: a material section
//                                  names every map its program reads, even a plain one
// Everything is deterministic: running it twice writes the same bytes.
#include "../Common/ImageWriter.h"
#include "../Common/OggWriter.h"
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using mvetools::Byte;
using mvetools::Image;

constexpr double kPi = 3.14159265358979323846;

// Smooth value noise on a wrapping lattice of `period` cells, 0 .. 1.
double Lattice(int x, int y, int period, uint32_t seed) {
    x = ((x % period) + period) % period;
    y = ((y % period) + period) % period;
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return static_cast<double>((h ^ (h >> 16)) & 0xFFFF) / 65535.0;
}

double Noise(double x, double y, int period, uint32_t seed) {
    const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    const double fx = x - x0, fy = y - y0;
    const double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    const double a = Lattice(x0, y0, period, seed), b = Lattice(x0 + 1, y0, period, seed);
    const double c = Lattice(x0, y0 + 1, period, seed), d = Lattice(x0 + 1, y0 + 1, period, seed);
    return (a + (b - a) * sx) + ((c + (d - c) * sx) - (a + (b - a) * sx)) * sy;
}

// Coverage of an edge at signed distance d (pixels, positive inside): one pixel of smoothing.
double Cover(double d) { return std::clamp(d + 0.5, 0.0, 1.0); }

Image Puff() {
    const int n = 64;
    Image image(n, n, 4);
    for (int y = 0; y < n; y++)
        for (int x = 0; x < n; x++) {
            const double u = (x + 0.5) / n * 2 - 1, v = (y + 0.5) / n * 2 - 1;
            const double r = std::sqrt(u * u + v * v);
            const double angle = std::atan2(v, u);
            // A wobbling rim and some cloudiness inside, so that stacked puffs do not look like discs.
            const double rim = 0.82 + 0.12 * Noise((angle + kPi) / (2 * kPi) * 8, 0.5, 8, 7);
            const double body = std::pow(std::clamp(1 - r / rim, 0.0, 1.0), 1.6);
            const double cloud = 0.7 + 0.3 * Noise(u * 4 + 4, v * 4 + 4, 16, 11);
            uint8_t *p = image.At(x, y);
            p[0] = p[1] = p[2] = 255;
            p[3] = Byte(body * cloud);
        }
    return image;
}

Image Tree() {
    const int w = 64, h = 128;
    Image image(w, h, 4);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const double px = x + 0.5 - w / 2.0, py = y + 0.5;  // from the centre line, from the top
            uint8_t *p = image.At(x, y);
            // Three tiers of needles from the tip down to a short trunk.
            double leaf = 0.0;
            const double tiers[3][2] = {{4, 50}, {30, 84}, {58, 114}};  // top and bottom of each tier
            for (int t = 0; t < 3; t++) {
                const double top = tiers[t][0], bottom = tiers[t][1];
                if (py < top || py > bottom + 1) continue;
                const double half = (py - top) / (bottom - top) * (10.0 + 9.0 * t);
                const double ragged = 1.5 * Noise(py / 3.0, x < w / 2 ? 1.5 : 5.5, 64, 3 + t);
                leaf = std::max(leaf, std::min(Cover(half - std::fabs(px) - ragged), Cover(bottom - py)));
            }
            const double trunk = std::min(Cover(3.5 - std::fabs(px)), std::min(Cover(py - 100), Cover(127 - py)));
            // Dark enough for a scene at dusk: billboards are drawn unlit.
            const double shade = 0.6 * (0.55 + 0.45 * (0.5 - px / w) + 0.15 * Noise(x / 3.0, y / 3.0, 64, 9));
            const double g = std::clamp(shade, 0.0, 1.0);
            const double cover = std::max(leaf, trunk);
            if (cover <= 0.0) continue;
            const bool isLeaf = leaf >= trunk;
            p[0] = Byte(isLeaf ? 0.10 * g : 0.36 * g);
            p[1] = Byte(isLeaf ? 0.42 * g : 0.22 * g);
            p[2] = Byte(isLeaf ? 0.16 * g : 0.10 * g);
            p[3] = Byte(cover);
        }
    return image;
}

// A gem seen from above: an octagon whose eight facets catch the light from the upper left.
Image Gem() {
    const int n = 48;
    Image image(n, n, 4);
    for (int y = 0; y < n; y++)
        for (int x = 0; x < n; x++) {
            const double u = x + 0.5 - n / 2.0, v = y + 0.5 - n / 2.0;
            double edge = 1e9;
            for (int k = 0; k < 8; k++) {
                const double a = k * kPi / 4 + kPi / 8;
                edge = std::min(edge, 21.0 - (u * std::cos(a) + v * std::sin(a)));
            }
            const double cover = Cover(edge);
            if (cover <= 0.0) continue;
            const bool table = std::max(std::fabs(u), std::fabs(v)) < 9.0;
            const int facet = static_cast<int>(std::floor((std::atan2(v, u) + kPi) / (kPi / 4))) % 8;
            const double light = table ? 0.95 : 0.45 + 0.5 * (0.5 + 0.5 * std::cos((facet + 0.5) * kPi / 4 - kPi / 4 * 1.5));
            uint8_t *p = image.At(x, y);
            p[0] = p[1] = p[2] = Byte(std::min(light, 1.0) * (edge < 1.5 ? 0.6 : 1.0));
            p[3] = Byte(cover);
        }
    return image;
}

Image Heart() {
    const int n = 48;
    Image image(n, n, 4);
    for (int y = 0; y < n; y++)
        for (int x = 0; x < n; x++) {
            // The classic heart curve (x^2 + y^2 - 1)^3 - x^2 y^3 <= 0, scaled into the square.
            const double u = (x + 0.5 - n / 2.0) / 17.0, v = -(y + 0.5 - n / 2.0 - 1.5) / 17.0;
            const double f = std::pow(u * u + v * v - 1, 3) - u * u * v * v * v;
            const double cover = Cover(-f * 18.0);
            if (cover <= 0.0) continue;
            const double hx = u + 0.45, hy = v - 0.35;  // the highlight, upper left
            const double shine = std::exp(-(hx * hx + hy * hy) * 14.0);
            uint8_t *p = image.At(x, y);
            p[0] = Byte(0.85 + 0.15 * shine);
            p[1] = Byte(0.12 + 0.75 * shine);
            p[2] = Byte(0.18 + 0.72 * shine);
            p[3] = Byte(cover);
        }
    return image;
}

// A buzzing hum: 110 Hz with its harmonics falling off like a soft sawtooth and a slow tremolo. Every
// part repeats a whole number of times in the two seconds, so the loop has no seam to hear.
std::vector<float> Hum(int rate) {
    const int count = rate * 2;
    std::vector<float> samples(static_cast<size_t>(count));
    for (int i = 0; i < count; i++) {
        const double t = static_cast<double>(i) / rate;
        double s = 0.0;
        for (int k = 1; k <= 12; k++) s += std::sin(2 * kPi * 110.0 * k * t) / std::pow(k, 1.3);
        s *= 0.8 + 0.2 * std::sin(2 * kPi * 3.0 * t);
        samples[static_cast<size_t>(i)] = static_cast<float>(0.35 * s);
    }
    return samples;
}

Image Solid(uint8_t r, uint8_t g, uint8_t b) {
    Image image(4, 4, 3);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++) {
            uint8_t *p = image.At(x, y);
            p[0] = r, p[1] = g, p[2] = b;
        }
    return image;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <Samples folder>\n", argv[0]);
        return 2;
    }
    const std::string samples = std::string(argv[1]) + "/";
    int failures = 0;
    auto check = [&](bool ok, const std::string &file) {
        std::printf("%s %s\n", ok ? "wrote" : "FAILED", file.c_str());
        failures += ok ? 0 : 1;
    };
    const std::string particles = samples + "Particles/Resources/", overlay = samples + "Overlay/Resources/";
    check(mvetools::WritePng(particles + "Puff.png", Puff()), particles + "Puff.png");
    check(mvetools::WritePng(particles + "Tree.png", Tree()), particles + "Tree.png");
    check(mvetools::WritePng(overlay + "Gem.png", Gem()), overlay + "Gem.png");
    check(mvetools::WritePng(overlay + "Heart.png", Heart()), overlay + "Heart.png");
    const std::string scene = samples + "SceneFile/Resources/";
    check(mvetools::WritePng(scene + "Plain.png", Solid(255, 255, 255)), scene + "Plain.png");
    check(mvetools::WritePng(scene + "Flat.png", Solid(128, 128, 255)), scene + "Flat.png");
    const std::string sound = samples + "Sound/Resources/Hum.ogg";
    check(mvetools::WriteOgg(sound, Hum(44100), 44100, "Hum"), sound);
    return failures ? 1 : 0;
}
