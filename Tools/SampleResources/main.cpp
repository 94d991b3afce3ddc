// mve-sampleresources: makes the Physics demonstration's data by code and writes it into a folder
// (Samples/Physics/Resources). Run it when a pattern changes and commit what it writes; building the
// demonstration only copies the committed files.
//   Materials.mvd   textures and the materials "Plane" (normal-mapped tiles) and "Ball" (specular)
//   Tile.png, TileNormal.png                       256 x 256 stone tiles and their bevel normals
//   BallColor.png, BallNormal.png, BallSpecular.png 256 x 128 ball skin, dimples, shiny band
//   Cross.png       32 x 32 RGBA crosshair
//   Hit.ogg         a short wooden knock, synthesised and encoded with libvorbisenc
//   Plane.mvm       a 20 x 20 plane (engine mesh writer), Plane.mvb its two-triangle body
//   Cube.mvm        a 2 x 2 x 2 box (engine mesh writer)
//   Ball.obj        a UV ball of radius 1 with normals and texture coordinates
//   Rocks.obj       three lumpy rocks
// Everything is deterministic: running it twice writes the same bytes.
#include "MVE.h"
#include "../Common/ImageWriter.h"
#include "../Common/OggWriter.h"
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

using mvetools::Byte;
using mvetools::Image;
using mvetools::WriteOgg;
using mvetools::WritePng;

constexpr double kPi = 3.14159265358979323846;

bool WriteText(const std::string &path, const std::string &text) {
    FILE *out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    return std::fclose(out) == 0 && ok;
}

// A small repeatable random source (the pictures and the sound must not change between runs).
struct Random {
    uint32_t uState;
    explicit Random(uint32_t seed) : uState(seed) {}
    double Next() {  // 0 .. 1
        uState = uState * 1664525u + 1013904223u;
        return static_cast<double>(uState >> 8) / 16777216.0;
    }
};

// Smooth value noise on a wrapping lattice of `period` cells, 0 .. 1.
double LatticeValue(int x, int y, int period, uint32_t seed) {
    x = ((x % period) + period) % period;
    y = ((y % period) + period) % period;
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return static_cast<double>((h ^ (h >> 16)) & 0xFFFF) / 65535.0;
}

double ValueNoise(double x, double y, int period, uint32_t seed) {
    const int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
    double fx = x - ix, fy = y - iy;
    fx = fx * fx * (3 - 2 * fx);
    fy = fy * fy * (3 - 2 * fy);
    const double a = LatticeValue(ix, iy, period, seed), b = LatticeValue(ix + 1, iy, period, seed);
    const double c = LatticeValue(ix, iy + 1, period, seed), d = LatticeValue(ix + 1, iy + 1, period, seed);
    return (a + (b - a) * fx) * (1 - fy) + (c + (d - c) * fx) * fy;
}

// ---------------------------------------------------------------- Tiles of the block

constexpr int kTileSize = 256, kTiles = 4, kJoint = 5;

// Height of the tile field: 1 on a tile's top, falling over a bevel to 0 in the joints.
double TileHeight(int x, int y) {
    const int cell = kTileSize / kTiles;
    const double u = (x % cell) + 0.5, v = (y % cell) + 0.5;
    const double edge = std::min(std::min(u, cell - u), std::min(v, cell - v));  // distance to the joint line
    const double bevel = 6.0;
    double h = std::clamp((edge - kJoint * 0.5) / bevel, 0.0, 1.0);
    h = h * h * (3 - 2 * h);
    return h + 0.06 * (ValueNoise(x / 16.0, y / 16.0, kTileSize / 16, 7) - 0.5) * h;
}

Image TileColor() {
    Image image(kTileSize, kTileSize, 3);
    const int cell = kTileSize / kTiles;
    for (int y = 0; y < kTileSize; y++)
        for (int x = 0; x < kTileSize; x++) {
            const int tile = (y / cell) * kTiles + x / cell;
            const double tint = 0.85 + 0.15 * LatticeValue(tile, tile * 3, 97, 11);
            const double grain = 0.8 + 0.2 * ValueNoise(x / 8.0, y / 8.0, kTileSize / 8, 3) +
                                 0.08 * (ValueNoise(x / 2.0, y / 2.0, kTileSize / 2, 5) - 0.5);
            const double h = TileHeight(x, y);
            const double joint = 0.35 + 0.65 * h;  // mortar is darker
            uint8_t *p = image.At(x, y);
            p[0] = Byte(0.78 * tint * grain * joint);
            p[1] = Byte(0.70 * tint * grain * joint);
            p[2] = Byte(0.60 * tint * grain * joint);
        }
    return image;
}

// Normals of a height field (wrapping), tangent space: x right, y up the picture, z out.
Image NormalMap(int width, int height, double strength, double (*field)(int, int)) {
    Image image(width, height, 3);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            const double dx = field((x + 1) % width, y) - field((x + width - 1) % width, y);
            const double dy = field(x, (y + 1) % height) - field(x, (y + height - 1) % height);
            double nx = -dx * strength, ny = dy * strength, nz = 1.0;
            const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
            nx /= length, ny /= length, nz /= length;
            uint8_t *p = image.At(x, y);
            p[0] = Byte(nx * 0.5 + 0.5);
            p[1] = Byte(ny * 0.5 + 0.5);
            p[2] = Byte(nz * 0.5 + 0.5);
        }
    return image;
}

// ---------------------------------------------------------------- Ball skin

constexpr int kBallWidth = 256, kBallHeight = 128;

// A band around the equator makes the spin of a ball visible.
double BandWeight(int y) {
    const double v = (y + 0.5) / kBallHeight;  // 0 top pole .. 1 bottom pole
    const double d = std::fabs(v - 0.5);
    return std::clamp((0.09 - d) / 0.015, 0.0, 1.0);
}

// Shallow dimples on a staggered grid.
double DimpleHeight(int x, int y) {
    const double cx = 16.0, cy = 16.0;
    const int row = static_cast<int>(y / cy);
    const double shift = (row % 2) ? cx * 0.5 : 0.0;
    const double u = std::fmod(x + 0.5 + shift, cx) - cx * 0.5, v = std::fmod(y + 0.5, cy) - cy * 0.5;
    const double r = std::sqrt(u * u + v * v) / 5.0;
    return r < 1.0 ? -(1.0 - r * r) * (1.0 - BandWeight(y)) : 0.0;
}

Image BallColor() {
    Image image(kBallWidth, kBallHeight, 3);
    for (int y = 0; y < kBallHeight; y++)
        for (int x = 0; x < kBallWidth; x++) {
            const double band = BandWeight(y);
            const double shade = 0.92 + 0.08 * ValueNoise(x / 8.0, y / 8.0, kBallWidth / 8, 21);
            uint8_t *p = image.At(x, y);
            p[0] = Byte(((1 - band) * 0.80 + band * 0.95) * shade);
            p[1] = Byte(((1 - band) * 0.18 + band * 0.92) * shade);
            p[2] = Byte(((1 - band) * 0.10 + band * 0.85) * shade);
        }
    return image;
}

Image BallSpecular() {
    Image image(kBallWidth, kBallHeight, 4);
    for (int y = 0; y < kBallHeight; y++)
        for (int x = 0; x < kBallWidth; x++) {
            const double band = BandWeight(y);
            const double dimple = -DimpleHeight(x, y);  // the hollows shine less
            const double s = ((1 - band) * 0.55 + band * 0.9) * (1.0 - 0.4 * dimple);
            uint8_t *p = image.At(x, y);
            p[0] = p[1] = p[2] = Byte(s);
            p[3] = 255;  // alpha 1: the ball gives off no light of its own
        }
    return image;
}

// ---------------------------------------------------------------- Crosshair

Image Crosshair() {
    const int size = 32;
    Image image(size, size, 4);
    auto arm = [](double x, double y, double halfWidth) {
        const double c = size * 0.5;
        const double ax = std::fabs(x - c), ay = std::fabs(y - c);
        const bool horizontal = ay <= halfWidth && ax >= 4 && ax <= 13;
        const bool vertical = ax <= halfWidth && ay >= 4 && ay <= 13;
        const bool dot = ax * ax + ay * ay <= halfWidth * halfWidth * 1.5;
        return horizontal || vertical || dot;
    };
    for (int y = 0; y < size; y++)
        for (int x = 0; x < size; x++) {
            int inner = 0, outer = 0;
            for (int j = 0; j < 4; j++)
                for (int i = 0; i < 4; i++) {
                    const double sx = x + (i + 0.5) / 4.0, sy = y + (j + 0.5) / 4.0;
                    inner += arm(sx, sy, 1.0) ? 1 : 0;
                    outer += arm(sx, sy, 2.2) ? 1 : 0;
                }
            const double white = inner / 16.0, dark = outer / 16.0;
            uint8_t *p = image.At(x, y);
            // White lines on a dark rim: readable on the grey sky and on the tiles.
            p[0] = p[1] = p[2] = Byte(white);
            p[3] = Byte(std::max(white, dark * 0.6));
        }
    return image;
}

// ---------------------------------------------------------------- Hit sound

std::vector<float> HitSamples(int rate) {
    const int count = rate * 35 / 100;
    std::vector<float> samples(static_cast<size_t>(count));
    Random random(0x5EED);
    struct Mode {
        double dFrequency, dAmplitude, dDecay;
    };
    // A wooden knock: a low body tone, two inharmonic partials and a click of noise.
    const Mode modes[] = {{182.0, 0.55, 0.045}, {447.0, 0.30, 0.028}, {1123.0, 0.16, 0.014}, {2390.0, 0.07, 0.007}};
    double low = 0.0, peak = 0.0;
    for (int i = 0; i < count; i++) {
        const double t = static_cast<double>(i) / rate;
        double s = 0.0;
        for (const Mode &m : modes) s += m.dAmplitude * std::exp(-t / m.dDecay) * std::sin(2 * kPi * m.dFrequency * t);
        low += 0.35 * ((random.Next() * 2 - 1) - low);  // softened noise
        s += 0.45 * low * std::exp(-t / 0.004);
        s *= std::min(1.0, t / 0.0008);  // no step at the start
        samples[static_cast<size_t>(i)] = static_cast<float>(s);
        peak = std::max(peak, std::fabs(s));
    }
    for (float &s : samples) s = static_cast<float>(s * 0.8 / peak);
    return samples;
}

// ---------------------------------------------------------------- OBJ meshes

struct ObjWriter {
    std::string sText;
    int iVertices = 0;  // written so far (OBJ indices start at 1 across the file)
    void Line(const char *format, double a, double b, double c) {
        char line[128];
        std::snprintf(line, sizeof line, format, a, b, c);
        sText += line;
    }
    void Line2(const char *format, double a, double b) {
        char line[96];
        std::snprintf(line, sizeof line, format, a, b);
        sText += line;
    }
};

// UV ball of radius 1: one position, normal and texture coordinate per lattice point; quads, and
// triangles at the poles.
std::string BallObj(int segments, int rings) {
    ObjWriter w;
    w.sText = "# Ball of radius 1 (" + std::to_string(segments) + " segments, " + std::to_string(rings) + " rings)\no Ball\n";
    for (int r = 0; r <= rings; r++)
        for (int s = 0; s <= segments; s++) {
            const double theta = kPi * r / rings, phi = 2 * kPi * s / segments;
            const double x = std::sin(theta) * std::cos(phi), y = std::cos(theta), z = -std::sin(theta) * std::sin(phi);
            w.Line("v %.6f %.6f %.6f\n", x, y, z);
            w.Line("vn %.6f %.6f %.6f\n", x, y, z);
            w.Line2("vt %.6f %.6f\n", static_cast<double>(s) / segments, 1.0 - static_cast<double>(r) / rings);
        }
    auto index = [&](int r, int s) { return r * (segments + 1) + s + 1; };
    for (int r = 0; r < rings; r++)
        for (int s = 0; s < segments; s++) {
            const int a = index(r, s), b = index(r + 1, s), c = index(r + 1, s + 1), d = index(r, s + 1);
            char line[160];
            if (r == 0)
                std::snprintf(line, sizeof line, "f %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, b, b, b, c, c, c);
            else if (r == rings - 1)
                std::snprintf(line, sizeof line, "f %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, b, b, b, d, d, d);
            else
                std::snprintf(line, sizeof line, "f %d/%d/%d %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, b, b, b, c, c, c, d, d, d);
            w.sText += line;
        }
    return w.sText;
}

struct V3 {
    double x, y, z;
};
V3 Add(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 Sub(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 Scale(V3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
V3 Cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
V3 Unit(V3 a) {
    const double l = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
    return l > 0 ? Scale(a, 1.0 / l) : a;
}

// Icosahedron split twice, pushed in and out by a few random bumps, flattened underneath.
std::string RocksObj() {
    const double t = (1.0 + std::sqrt(5.0)) / 2.0;
    const std::vector<V3> base = {{-1, t, 0}, {1, t, 0}, {-1, -t, 0}, {1, -t, 0}, {0, -1, t}, {0, 1, t},
                                  {0, -1, -t}, {0, 1, -t}, {t, 0, -1}, {t, 0, 1}, {-t, 0, -1}, {-t, 0, 1}};
    const std::vector<std::array<int, 3>> baseFaces = {
        {0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
        {3, 9, 4},  {3, 4, 2},  {3, 2, 6},   {3, 6, 8},  {3, 8, 9},   {4, 9, 5}, {2, 4, 11}, {6, 2, 10},  {8, 6, 7},  {9, 8, 1}};
    struct Rock {
        V3 vCentre;
        double dRadius, dFlat;
        uint32_t uSeed;
    };
    const Rock rocks[] = {{{-3.0, 0.0, 0.0}, 1.2, 0.55, 101}, {{0.5, 0.0, 1.0}, 0.8, 0.6, 202}, {{3.0, 0.0, -0.5}, 1.5, 0.5, 303}};

    ObjWriter w;
    w.sText = "# Three rocks on the ground plane\n";
    int vertexBase = 0;
    for (const Rock &rock : rocks) {
        std::vector<V3> points;
        for (const V3 &p : base) points.push_back(Unit(p));
        std::vector<std::array<int, 3>> faces = baseFaces;
        for (int level = 0; level < 2; level++) {
            std::map<std::pair<int, int>, int> middle;
            auto mid = [&](int a, int b) {
                const auto key = std::make_pair(std::min(a, b), std::max(a, b));
                auto it = middle.find(key);
                if (it != middle.end()) return it->second;
                points.push_back(Unit(Scale(Add(points[static_cast<size_t>(a)], points[static_cast<size_t>(b)]), 0.5)));
                return middle[key] = static_cast<int>(points.size()) - 1;
            };
            std::vector<std::array<int, 3>> next;
            for (const auto &f : faces) {
                const int ab = mid(f[0], f[1]), bc = mid(f[1], f[2]), ca = mid(f[2], f[0]);
                next.push_back({f[0], ab, ca});
                next.push_back({f[1], bc, ab});
                next.push_back({f[2], ca, bc});
                next.push_back({ab, bc, ca});
            }
            faces.swap(next);
        }
        Random random(rock.uSeed);
        std::vector<V3> bumps;
        for (int k = 0; k < 7; k++) bumps.push_back(Unit({random.Next() * 2 - 1, random.Next() * 2 - 1, random.Next() * 2 - 1}));
        std::vector<double> weights;
        for (int k = 0; k < 7; k++) weights.push_back(random.Next() * 0.5 - 0.2);
        std::vector<V3> placed;
        for (const V3 &p : points) {
            double r = 1.0;
            for (size_t k = 0; k < bumps.size(); k++) {
                const double d = p.x * bumps[k].x + p.y * bumps[k].y + p.z * bumps[k].z;
                r += weights[k] * std::pow(std::max(0.0, d), 3.0);
            }
            V3 q = Scale(p, r * rock.dRadius);
            q.y *= rock.dFlat;
            if (q.y < -0.15 * rock.dRadius) q.y = -0.15 * rock.dRadius;  // it rests on the ground
            q.y += 0.15 * rock.dRadius;
            placed.push_back(Add(q, rock.vCentre));
        }
        // Smooth normals: the sum of the faces around each point.
        std::vector<V3> normals(placed.size(), V3{0, 0, 0});
        for (const auto &f : faces) {
            const V3 n = Cross(Sub(placed[static_cast<size_t>(f[1])], placed[static_cast<size_t>(f[0])]),
                               Sub(placed[static_cast<size_t>(f[2])], placed[static_cast<size_t>(f[0])]));
            for (int c = 0; c < 3; c++) normals[static_cast<size_t>(f[c])] = Add(normals[static_cast<size_t>(f[c])], n);
        }
        w.sText += "o Rock" + std::to_string(&rock - rocks + 1) + "\n";
        for (size_t i = 0; i < placed.size(); i++) {
            const V3 n = Unit(normals[i]);
            w.Line("v %.5f %.5f %.5f\n", placed[i].x, placed[i].y, placed[i].z);
            w.Line("vn %.5f %.5f %.5f\n", n.x, n.y, n.z);
            const double u = std::atan2(points[i].z, points[i].x) / (2 * kPi) + 0.5, v = std::acos(std::clamp(points[i].y, -1.0, 1.0)) / kPi;
            w.Line2("vt %.5f %.5f\n", u * 2.0, 1.0 - v);
        }
        for (const auto &f : faces) {
            // The subdivided icosahedron already winds counter-clockwise seen from outside, as the
            // engine's front faces do: the corners go out in their own order.
            const int a = f[0] + vertexBase + 1, b = f[1] + vertexBase + 1, c = f[2] + vertexBase + 1;
            char line[128];
            std::snprintf(line, sizeof line, "f %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, b, b, b, c, c, c);
            w.sText += line;
        }
        vertexBase += static_cast<int>(placed.size());
    }
    return w.sText;
}

// ---------------------------------------------------------------- Definition and body files

const char *const kMaterials =
    "// The Physics demonstration's textures and materials.\r\n"
    "\r\n"
    "Texture: Tile {\r\n"
    "\tFile: Tile.png\r\n"
    "\tFilter: LINEAR\r\n"
    "\tMipmaps: 8\r\n"
    "}\r\n"
    "Texture: TileNormal {\r\n"
    "\tFile: TileNormal.png\r\n"
    "\tFilter: LINEAR\r\n"
    "\tMipmaps: 8\r\n"
    "}\r\n"
    "Texture: BallColor {\r\n"
    "\tFile: BallColor.png\r\n"
    "\tFilter: LINEAR\r\n"
    "\tMipmaps: 7\r\n"
    "}\r\n"
    "Texture: BallNormal {\r\n"
    "\tFile: BallNormal.png\r\n"
    "\tFilter: LINEAR\r\n"
    "\tMipmaps: 7\r\n"
    "}\r\n"
    "Texture: BallSpecular {\r\n"
    "\tFile: BallSpecular.png\r\n"
    "\tFilter: LINEAR\r\n"
    "\tMipmaps: 7\r\n"
    "}\r\n"
    "\r\n"
    "// The block and the bars: stone tiles with bevelled joints.\r\n"
    "Material: Plane {\r\n"
    "\tShader: NORMALMAP\r\n"
    "\tTexture[0]: Tile\r\n"
    "\tTexture[1]: TileNormal\r\n"
    "\tShine: 0.35\r\n"
    "\tHardness: 12\r\n"
    "}\r\n"
    "\r\n"
    "// The balls: red with a white band, shiny, dimpled.\r\n"
    "Material: Ball {\r\n"
    "\tShader: SPECULARNORMALMAP\r\n"
    "\tTexture[0]: BallColor\r\n"
    "\tTexture[1]: BallNormal\r\n"
    "\tTexture[2]: BallSpecular\r\n"
    "\tShine: 1.0\r\n"
    "\tHardness: 40\r\n"
    "}\r\n";

// The plane's body: the square of Plane.mvm, two triangles facing up.
std::string PlaneBody(double size) {
    const double h = size * 0.5;
    char text[512];
    std::snprintf(text, sizeof text,
                  "// A %g x %g square in y = 0, facing up\r\n"
                  "Body: Plane {\r\n"
                  "\tVertices: 4 {\r\n\t\t%g, 0, %g\r\n\t\t%g, 0, %g\r\n\t\t%g, 0, %g\r\n\t\t%g, 0, %g\r\n\t}\r\n"
                  "\tEdges: 5 {\r\n\t\t0, 1\r\n\t\t1, 2\r\n\t\t2, 3\r\n\t\t3, 0\r\n\t\t0, 2\r\n\t}\r\n"
                  "\tFaces: 2 {\r\n\t\t0, 1, 2\r\n\t\t0, 2, 3\r\n\t}\r\n"
                  "}\r\n",
                  size, size, -h, h, h, h, h, -h, -h, -h);
    return text;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    int failures = 0;
    auto check = [&](bool ok, const char *file) {
        std::printf("%s %s\n", ok ? "wrote" : "FAILED", file);
        failures += ok ? 0 : 1;
    };
    check(WritePng(folder + "Tile.png", TileColor()), "Tile.png");
    check(WritePng(folder + "TileNormal.png", NormalMap(kTileSize, kTileSize, 4.0, TileHeight)), "TileNormal.png");
    check(WritePng(folder + "BallColor.png", BallColor()), "BallColor.png");
    check(WritePng(folder + "BallNormal.png", NormalMap(kBallWidth, kBallHeight, 1.2, DimpleHeight)), "BallNormal.png");
    check(WritePng(folder + "BallSpecular.png", BallSpecular()), "BallSpecular.png");
    check(WritePng(folder + "Cross.png", Crosshair()), "Cross.png");
    check(WriteOgg(folder + "Hit.ogg", HitSamples(44100), 44100, "Hit"), "Hit.ogg");
    check(WriteText(folder + "Materials.mvd", kMaterials), "Materials.mvd");
    check(WriteText(folder + "Plane.mvb", PlaneBody(20.0)), "Plane.mvb");
    check(WriteText(folder + "Ball.obj", BallObj(32, 16)), "Ball.obj");
    check(WriteText(folder + "Rocks.obj", RocksObj()), "Rocks.obj");
    // The engine's own meshes come from its shape makers and its writer (no screen needed).
    MVE_SetPhysicsThread(0);
    const int plane = MVE_CreatePlaneMesh(MVE_ID_AUTO, 20.0f, 4.0f, "Plane");
    check(plane && MVE_SaveMesh(plane, (folder + "Plane.mvm").c_str(), "Plane") == 1, "Plane.mvm");
    const int cube = MVE_CreateBoxMesh(MVE_ID_AUTO, 2.0f, 1.0f, 0, "Cube");
    check(cube && MVE_SaveMesh(cube, (folder + "Cube.mvm").c_str(), "Cube") == 1, "Cube.mvm");
    return failures ? 1 : 0;
}
