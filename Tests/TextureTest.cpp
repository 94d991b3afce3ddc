// Images and textures: the real-file corpus (PngSuite and JPEG samples) against its manifest,
// broken and truncated files, and textures read back from GL on the headless context (orientation,
// odd row lengths, filters, mipmaps, raw .mvt files, cube maps, arrays, built-in resources).
#include "GLFixture.h"
#include "Material/Material.h"
#include "Platform/Platform.h"
#include "Texture/Texture.h"
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <zlib.h>

using namespace mvetest;

namespace {

struct ManifestRow {
    std::string sFile, sExpected;
    int iWidth = 0, iHeight = 0;
};

// Rows of a MANIFEST.tsv: file, expected, then width and height in the named columns.
std::vector<ManifestRow> ReadManifest(const std::filesystem::path &path) {
    std::vector<ManifestRow> rows;
    std::istringstream in(ReadFile(path));
    std::string line;
    std::vector<std::string> header;
    auto split = [](const std::string &text) {
        std::vector<std::string> cells;
        std::string cell;
        std::istringstream s(text);
        while (std::getline(s, cell, '\t')) cells.push_back(cell);
        return cells;
    };
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        std::vector<std::string> cells = split(line);
        if (header.empty()) {
            header = cells;
            continue;
        }
        ManifestRow row;
        for (size_t i = 0; i < cells.size() && i < header.size(); i++) {
            if (header[i] == "file") row.sFile = cells[i];
            if (header[i] == "expected") row.sExpected = cells[i];
            if (header[i] == "width") row.iWidth = std::atoi(cells[i].c_str());
            if (header[i] == "height") row.iHeight = std::atoi(cells[i].c_str());
        }
        rows.push_back(row);
    }
    return rows;
}

std::filesystem::path Corpus(const char *folder) { return std::filesystem::path(MVE_TEST_CORPUS) / folder; }

// Checks every listed file of one corpus folder: valid files decode at the listed size, invalid
// ones are refused with a reason, "often unsupported" ones do either cleanly.
void CheckCorpusFolder(const char *folder, int expectedFiles) {
    const std::filesystem::path dir = Corpus(folder);
    MVE_REQUIRE_CORPUS_FILE(dir / "MANIFEST.tsv");
    std::vector<ManifestRow> rows = ReadManifest(dir / "MANIFEST.tsv");
    ASSERT_EQ(static_cast<int>(rows.size()), expectedFiles) << "manifest of " << dir;
    for (const ManifestRow &row : rows) {
        SCOPED_TRACE(row.sFile + " (" + row.sExpected + ")");
        ASSERT_TRUE(std::filesystem::exists(dir / row.sFile)) << "listed file missing from the corpus";
        MVE_IMAGE image;
        std::string error;
        const int ok = MVE_PlatformLoadImage((dir / row.sFile).c_str(), image, error);
        if (row.sExpected == "valid" || (ok && row.sExpected.find("unsupported") != std::string::npos)) {
            ASSERT_EQ(ok, 1) << error;
            EXPECT_EQ(image.iWidth, row.iWidth);
            EXPECT_EQ(image.iHeight, row.iHeight);
            EXPECT_TRUE(image.iFormat == MVE_PIXELS_RGB || image.iFormat == MVE_PIXELS_RGBA);
            EXPECT_EQ(image.iBytesPerPixel, image.iFormat == MVE_PIXELS_RGBA ? 4 : 3);
            EXPECT_NE(image.pPixels, nullptr);
        } else {
            EXPECT_EQ(ok, 0);
            EXPECT_EQ(image.pPixels, nullptr);
            EXPECT_FALSE(error.empty());
        }
    }
}

std::vector<uint8_t> Bytes(const MVE_IMAGE &image) {
    return std::vector<uint8_t>(image.pPixels, image.pPixels + static_cast<size_t>(image.iWidth) * image.iHeight * image.iBytesPerPixel);
}

// Writes an RGBA image with the given pixels (rows from the top) as PNG.
void WritePng(const std::string &file, int width, int height, const std::vector<uint32_t> &pixels, int channels = 4) {
    std::vector<uint8_t> bytes;
    for (uint32_t p : pixels)
        for (int c = 0; c < channels; c++) bytes.push_back(static_cast<uint8_t>(p >> (8 * c)));
    std::string error;
    const std::filesystem::path folder = std::filesystem::path(file).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder);
    ASSERT_EQ(MVE_PlatformWritePNG(file.c_str(), bytes.data(), width, height, channels, error), 1) << error;
}

}  // namespace

TEST(ImageCorpus, PngSuiteLoadsOrIsRefusedAsListed) { CheckCorpusFolder("png", 176); }

TEST(ImageCorpus, JpegSamplesLoadOrAreRefusedAsListed) { CheckCorpusFolder("jpeg", 10); }

// Interlacing changes only the order of the pixels in the file: every interlaced PngSuite image
// must decode to exactly the pixels of its non-interlaced twin, whatever its type and depth.
TEST(ImageCorpus, InterlacedPngsMatchTheirPlainTwins) {
    const std::filesystem::path dir = Corpus("png");
    MVE_REQUIRE_CORPUS_FILE(dir / "MANIFEST.tsv");
    int pairs = 0;
    for (const ManifestRow &row : ReadManifest(dir / "MANIFEST.tsv")) {
        if (row.sFile.rfind("basi", 0) != 0) continue;
        const std::string twin = "basn" + row.sFile.substr(4);
        SCOPED_TRACE(row.sFile + " vs " + twin);
        MVE_IMAGE a, b;
        std::string error;
        ASSERT_EQ(MVE_PlatformLoadImage((dir / row.sFile).c_str(), a, error), 1) << error;
        ASSERT_EQ(MVE_PlatformLoadImage((dir / twin).c_str(), b, error), 1) << error;
        ASSERT_EQ(a.iFormat, b.iFormat);
        EXPECT_TRUE(Bytes(a) == Bytes(b));
        pairs++;
    }
    EXPECT_EQ(pairs, 15);
}

// Known pixels, worked out from the PngSuite descriptions: basn0g16 is a 16-bit grey ramp whose
// first pixel is 0; basn3p01 is a two-colour palette image (1 bit) and basn0g01 black and white
// stripes. Grey must come out as equal R, G, B; transparency (tRNS) as an alpha channel.
TEST(ImageCorpus, ConvertedPixelFormats) {
    const std::filesystem::path dir = Corpus("png");
    MVE_REQUIRE_CORPUS_FILE(dir / "MANIFEST.tsv");
    std::string error;
    MVE_IMAGE grey;
    ASSERT_EQ(MVE_PlatformLoadImage((dir / "basn0g01.png").c_str(), grey, error), 1);
    EXPECT_EQ(grey.iFormat, MVE_PIXELS_RGB);
    for (int i = 0; i < grey.iWidth * grey.iHeight; i++) {
        const uint8_t *p = grey.pPixels + 3 * i;
        ASSERT_TRUE(p[0] == p[1] && p[1] == p[2] && (p[0] == 0 || p[0] == 255)) << "pixel " << i;
    }
    MVE_IMAGE transparent;  // grey with a tRNS colour
    ASSERT_EQ(MVE_PlatformLoadImage((dir / "tbbn0g04.png").c_str(), transparent, error), 1);
    EXPECT_EQ(transparent.iFormat, MVE_PIXELS_RGBA);
    int clear = 0;
    for (int i = 0; i < transparent.iWidth * transparent.iHeight; i++) clear += transparent.pPixels[4 * i + 3] == 0;
    EXPECT_GT(clear, 0);
    MVE_IMAGE deep;  // 16-bit RGBA scaled to 8 bits, not cut
    ASSERT_EQ(MVE_PlatformLoadImage((dir / "basn6a16.png").c_str(), deep, error), 1);
    EXPECT_EQ(deep.iFormat, MVE_PIXELS_RGBA);
}

// A 16-bit PNG read independently of libpng: chunks, zlib and the five row filters. Non-interlaced
// files only. Samples come out as 16-bit values, channels as stored (grey, grey+alpha, RGB, RGBA),
// with the tRNS key colour if there is one.
struct Png16 {
    int width = 0, height = 0, channels = 0;
    std::vector<uint16_t> samples;
    std::vector<uint16_t> key;  // tRNS: grey or R, G, B
};

bool ReadPng16(const std::string &file, Png16 &png) {
    auto be32 = [&](size_t at) {
        return uint32_t(uint8_t(file[at])) << 24 | uint32_t(uint8_t(file[at + 1])) << 16 | uint32_t(uint8_t(file[at + 2])) << 8 |
               uint8_t(file[at + 3]);
    };
    std::string idat;
    int type = -1;
    for (size_t at = 8; at + 12 <= file.size();) {
        const uint32_t length = be32(at);
        const std::string kind = file.substr(at + 4, 4), data = file.substr(at + 8, length);
        if (kind == "IHDR") {
            png.width = int(be32(at + 8)), png.height = int(be32(at + 12));
            type = uint8_t(data[9]);
            if (uint8_t(data[8]) != 16 || data[12] != 0) return false;
        } else if (kind == "IDAT") {
            idat += data;
        } else if (kind == "tRNS") {
            for (size_t i = 0; i + 1 < data.size(); i += 2) png.key.push_back(uint16_t(uint8_t(data[i]) << 8 | uint8_t(data[i + 1])));
        }
        at += 12 + length;
    }
    png.channels = type == 0 ? 1 : type == 4 ? 2 : type == 2 ? 3 : type == 6 ? 4 : 0;
    if (!png.channels || !png.width || !png.height) return false;
    const size_t bpp = size_t(png.channels) * 2, stride = size_t(png.width) * bpp;
    std::vector<uint8_t> raw((stride + 1) * size_t(png.height));
    uLongf size = raw.size();
    if (uncompress(raw.data(), &size, reinterpret_cast<const Bytef *>(idat.data()), idat.size()) != Z_OK || size != raw.size())
        return false;
    std::vector<uint8_t> rows(stride * size_t(png.height));
    for (size_t y = 0; y < size_t(png.height); ++y) {
        const uint8_t filter = raw[y * (stride + 1)], *in = &raw[y * (stride + 1) + 1];
        uint8_t *out = &rows[y * stride];
        const uint8_t *up = y ? out - stride : nullptr;
        for (size_t i = 0; i < stride; ++i) {
            const int a = i >= bpp ? out[i - bpp] : 0, b = up ? up[i] : 0, c = (up && i >= bpp) ? up[i - bpp] : 0;
            const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
            const int predictor = filter == 0 ? 0 : filter == 1 ? a : filter == 2 ? b : filter == 3 ? (a + b) / 2
                                : (pa <= pb && pa <= pc) ? a : pb <= pc ? b : c;
            out[i] = uint8_t(in[i] + predictor);
        }
    }
    for (size_t i = 0; i + 1 < rows.size(); i += 2) png.samples.push_back(uint16_t(rows[i] << 8 | rows[i + 1]));
    return true;
}

// The 8-bit value nearest to a 16-bit one.
int Nearest8(uint16_t v) { return int(std::lround(v * 255.0 / 65535.0)); }

// A 16-bit RGBA PNG with the given samples (four per pixel), one row, written by hand.
std::string Png16File(const std::vector<uint16_t> &rgba) {
    const uint32_t width = uint32_t(rgba.size() / 4);
    std::string row(1, '\0');
    for (uint16_t v : rgba) row += char(v >> 8), row += char(v & 0xFF);
    std::vector<uint8_t> packed(compressBound(row.size()));
    uLongf size = packed.size();
    compress(packed.data(), &size, reinterpret_cast<const Bytef *>(row.data()), row.size());
    auto be32 = [](uint32_t v) { return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; };
    auto chunk = [&](const std::string &kind, const std::string &data) {
        const std::string body = kind + data;
        return be32(uint32_t(data.size())) + body +
               be32(uint32_t(crc32(0, reinterpret_cast<const Bytef *>(body.data()), uInt(body.size()))));
    };
    return std::string("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", be32(width) + be32(1) + std::string{16, 6, 0, 0, 0}) +
           chunk("IDAT", std::string(reinterpret_cast<const char *>(packed.data()), size)) + chunk("IEND", "");
}

// 16-bit images come out at the nearest 8-bit value of every sample (v x 255 / 65535, rounded), not
// at their high byte: checked against an independent reading of PngSuite's 16-bit files of every
// colour type, and on samples placed either side of each rounding boundary.
TEST(ImageCorpus, SixteenBitSamplesRoundToTheNearestEightBitValue) {
    const std::filesystem::path dir = Corpus("png");
    MVE_REQUIRE_CORPUS_FILE(dir / "MANIFEST.tsv");
    int differ = 0;  // samples whose high byte is not the nearest value
    for (const char *name : {"basn0g16.png", "basn2c16.png", "basn4a16.png", "basn6a16.png", "tbbn2c16.png",
                             "tbwn0g16.png", "oi4n2c16.png"}) {
        SCOPED_TRACE(name);
        Png16 png;
        ASSERT_TRUE(ReadPng16(ReadFile(dir / name), png));
        MVE_IMAGE image;
        std::string error;
        ASSERT_EQ(MVE_PlatformLoadImage((dir / name).c_str(), image, error), 1) << error;
        const bool alpha = png.channels == 2 || png.channels == 4 || !png.key.empty();
        ASSERT_EQ(image.iBytesPerPixel, alpha ? 4 : 3);
        ASSERT_EQ(image.iWidth, png.width);
        for (int i = 0; i < png.width * png.height; ++i) {
            const uint16_t *s = &png.samples[size_t(i) * png.channels];
            const bool grey = png.channels <= 2;
            const uint16_t rgb[3] = {s[0], grey ? s[0] : s[1], grey ? s[0] : s[2]};
            int a = 255;
            if (png.channels == 2 || png.channels == 4) a = Nearest8(s[png.channels - 1]);
            if (!png.key.empty()) a = std::equal(png.key.begin(), png.key.end(), s) ? 0 : 255;  // the key colour is clear
            const uint8_t *p = image.pPixels + size_t(i) * image.iBytesPerPixel;
            for (int c = 0; c < 3; ++c) {
                ASSERT_EQ(p[c], Nearest8(rgb[c])) << "pixel " << i << " channel " << c;
                differ += Nearest8(rgb[c]) != rgb[c] >> 8;
            }
            if (alpha) ASSERT_EQ(p[3], a) << "pixel " << i << " alpha";
        }
    }
    EXPECT_GT(differ, 1000);

    // Each 8-bit step k sits at 257 k; the boundaries lie halfway between steps.
    std::vector<uint16_t> samples;
    for (int k : {0, 1, 2, 100, 127, 128, 200, 254})
        for (int offset : {128, 129})
            samples.push_back(uint16_t(257 * k + offset));  // just below and just above k + 0.5
    samples.push_back(65535);
    samples.push_back(0xFF00);
    samples.push_back(0x00FF);
    samples.push_back(0x7FFF);
    while (samples.size() % 4) samples.push_back(0x8080);
    const std::string file = Png16File(samples);
    MVE_IMAGE image;
    std::string error;
    ASSERT_EQ(MVE_PlatformCatchImage(file.data(), file.size(), image, error), 1) << error;
    ASSERT_EQ(image.iBytesPerPixel, 4);
    for (size_t i = 0; i < samples.size(); ++i) EXPECT_EQ(image.pPixels[i], Nearest8(samples[i])) << "sample " << samples[i];
}

// The CMYK sample shows the same picture as the YCbCr one: once converted, every channel must be
// close (JPEG loss and the different colour coding allow a small difference, a wrong inversion
// or channel order does not).
TEST(ImageCorpus, CmykJpegComesOutAsTheSamePictureInRgb) {
    const std::filesystem::path dir = Corpus("jpeg");
    MVE_REQUIRE_CORPUS_FILE(dir / "MANIFEST.tsv");
    MVE_IMAGE cmyk, ycc;
    std::string error;
    ASSERT_EQ(MVE_PlatformLoadImage((dir / "jpegsuite_baseline_32x32x8_cmyk_interleaved.jpg").c_str(), cmyk, error), 1) << error;
    ASSERT_EQ(MVE_PlatformLoadImage((dir / "jpegsuite_progressive_huffman_32x32x8_ycbcr_interleaved.jpg").c_str(), ycc, error), 1) << error;
    ASSERT_EQ(cmyk.iFormat, MVE_PIXELS_RGB);
    double difference = 0;
    for (size_t i = 0; i < 32 * 32 * 3; i++) difference += std::abs(int(cmyk.pPixels[i]) - int(ycc.pPixels[i]));
    EXPECT_LT(difference / (32 * 32 * 3), 12.0);
}

// Every prefix of a good file is a truncated file: each must be refused, none may crash or give
// an image. Random bytes likewise.
TEST(ImageCorpus, TruncatedAndRandomDataAreRefused) {
    const std::filesystem::path png = Corpus("png") / "basn2c08.png", jpeg = Corpus("jpeg") / "testorig.jpg";
    MVE_REQUIRE_CORPUS_FILE(png);
    MVE_REQUIRE_CORPUS_FILE(jpeg);
    for (const std::filesystem::path &file : {png, jpeg}) {
        const std::string bytes = ReadFile(file);
        ASSERT_FALSE(bytes.empty()) << file;
        MVE_IMAGE whole;
        std::string error;
        ASSERT_EQ(MVE_PlatformCatchImage(bytes.data(), bytes.size(), whole, error), 1) << error;
        const size_t step = bytes.size() > 2000 ? 97 : 1;
        // JPEG decoders may stop at the end-of-image marker: only cuts before the last two bytes count.
        for (size_t cut = 0; cut + 2 < bytes.size(); cut += step) {
            MVE_IMAGE part;
            ASSERT_EQ(MVE_PlatformCatchImage(bytes.data(), cut, part, error), 0) << file << " cut at " << cut;
            ASSERT_EQ(part.pPixels, nullptr);
        }
    }
    MVE_REQUIRE_CORPUS_FILE(std::filesystem::path(MVE_TEST_CORPUS) / "misc" / "nonsense.bin");
    const std::string noise = ReadFile(std::filesystem::path(MVE_TEST_CORPUS) / "misc" / "nonsense.bin");
    MVE_IMAGE image;
    std::string error;
    EXPECT_EQ(MVE_PlatformCatchImage(noise.data(), noise.size(), image, error), 0);
    // A valid PNG signature in front of noise reaches libpng's own checks.
    std::string forged = std::string("\x89PNG\r\n\x1a\n", 8) + noise;
    EXPECT_EQ(MVE_PlatformCatchImage(forged.data(), forged.size(), image, error), 0);
    std::string forgedJpeg = std::string("\xFF\xD8\xFF", 3) + noise;
    EXPECT_EQ(MVE_PlatformCatchImage(forgedJpeg.data(), forgedJpeg.size(), image, error), 0);
}

class TextureTest : public GLTest {
  protected:
    // Texels of level `level` of a bound texture as RGBA bytes.
    std::vector<uint8_t> Texels(int handle, int level = 0, unsigned target = GL_TEXTURE_2D) {
        const MVE_TEXTURE *t = MVE_GetTexture(handle);
        if (!t) return {};
        const MVE_GL_TABLE &gl = MVE_gl();
        GLint w = 0, h = 0, d = 1;
        gl.glBindTexture(target, t->iTexture);
        gl.glGetTexLevelParameteriv(target, level, GL_TEXTURE_WIDTH, &w);
        gl.glGetTexLevelParameteriv(target, level, GL_TEXTURE_HEIGHT, &h);
        if (target == GL_TEXTURE_2D_ARRAY) gl.glGetTexLevelParameteriv(target, level, GL_TEXTURE_DEPTH, &d);
        std::vector<uint8_t> out(static_cast<size_t>(w * h * d * 4));
        gl.glPixelStorei(GL_PACK_ALIGNMENT, 1);
        gl.glGetTexImage(target, level, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
        return out;
    }
    GLint Parameter(int handle, GLenum name) {
        const MVE_TEXTURE *t = MVE_GetTexture(handle);
        GLint value = -1;
        if (!t) return -2;
        MVE_gl().glBindTexture(static_cast<GLenum>(t->iTarget), t->iTexture);
        MVE_gl().glGetTexParameteriv(static_cast<GLenum>(t->iTarget), name, &value);
        return value;
    }
    static uint32_t At(const std::vector<uint8_t> &texels, size_t i) {
        return texels[4 * i] | texels[4 * i + 1] << 8 | texels[4 * i + 2] << 16 | static_cast<uint32_t>(texels[4 * i + 3]) << 24;
    }
    int Count(const std::string &text, const std::string &what) {
        int n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
        return n;
    }
    std::string Log() { return ReadFile("MVE LogFile.html"); }
};

// The first row of the file is texture row 0, so t = 0 is the image's top edge. The 3 x 2 RGB
// image has 9-byte rows, which GL's default 4-byte row alignment would shear.
TEST_F(TextureTest, TopRowFirstAndOddRowLengths) {
    WritePng("corners.png", 2, 2, {0xFF0000FF, 0xFF00FF00, 0xFFFF0000, 0x80FFFFFF});
    const int corners = MVE_LoadTextureFile(MVE_ID_AUTO, "corners.png", MVE_IGNORE, 0, "");
    ASSERT_NE(corners, 0);
    EXPECT_NE(static_cast<uint32_t>(corners) & 0xFFFF0000u, 0u);
    EXPECT_EQ(MVE_GetTexture(corners)->sName, "corners.png");
    std::vector<uint8_t> t = Texels(corners);
    ASSERT_EQ(t.size(), 16u);
    EXPECT_EQ(At(t, 0), 0xFF0000FFu);  // (s, t) = (0, 0): red
    EXPECT_EQ(At(t, 1), 0xFF00FF00u);
    EXPECT_EQ(At(t, 2), 0xFFFF0000u);
    EXPECT_EQ(At(t, 3), 0x80FFFFFFu);

    std::vector<uint32_t> odd = {0x010203, 0x040506, 0x070809, 0x0A0B0C, 0x0D0E0F, 0x101112};
    WritePng("odd.png", 3, 2, odd, 3);
    const int rgb = MVE_LoadTextureFile(7, "odd.png", GL_NEAREST, 0, "Odd");
    ASSERT_NE(rgb, 0);
    EXPECT_EQ(MVE_GetTexture(7), MVE_GetTexture(rgb));
    t = Texels(rgb);
    ASSERT_EQ(t.size(), 24u);
    for (size_t i = 0; i < odd.size(); i++) EXPECT_EQ(At(t, i), odd[i] | 0xFF000000u) << "texel " << i;

    // From memory the same bytes give the same texels.
    const std::string bytes = ReadFile("corners.png");
    const int caught = MVE_CatchTexture(MVE_ID_AUTO, bytes.data(), static_cast<int64_t>(bytes.size()), GL_NEAREST, "");
    ASSERT_NE(caught, 0);
    EXPECT_EQ(Texels(caught), Texels(corners));
}

TEST_F(TextureTest, FiltersAndMipmaps) {
    std::vector<uint32_t> pixels(16 * 8);
    for (size_t i = 0; i < pixels.size(); i++) pixels[i] = (i % 2) ? 0xFFFFFFFFu : 0xFF000000u;
    WritePng("stripes.png", 16, 8, pixels);
    const int plain = MVE_LoadTextureFile(MVE_ID_AUTO, "stripes.png", MVE_IGNORE, 0, "Plain");
    EXPECT_EQ(Parameter(plain, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(Parameter(plain, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(Parameter(plain, GL_TEXTURE_WRAP_S), GL_REPEAT);
    // No anisotropic filtering without mipmaps: there it only makes the software rasteriser walk
    // whole footprints. None from memory either.
    EXPECT_EQ(Parameter(plain, GL_TEXTURE_MAX_ANISOTROPY), 1);
    EXPECT_NE(Log().find("Anisotropic filtering: off (no mipmaps)"), std::string::npos);
    const std::string bytes = ReadFile("stripes.png");
    EXPECT_EQ(Parameter(MVE_CatchTexture(MVE_ID_AUTO, bytes.data(), static_cast<int64_t>(bytes.size()), MVE_IGNORE, ""),
                        GL_TEXTURE_MAX_ANISOTROPY), 1);

    EXPECT_EQ(MVE_SetTextureFilter(GL_NEAREST), 0);
    const int nearest = MVE_LoadTextureFile(MVE_ID_AUTO, "stripes.png", MVE_IGNORE, 0, "Nearest");
    EXPECT_EQ(Parameter(nearest, GL_TEXTURE_MIN_FILTER), GL_NEAREST);
    MVE_SetTextureFilter(12345);  // refused: the default stays
    EXPECT_EQ(MVE_Engine().Defaults.uTextureFilter, static_cast<unsigned>(GL_NEAREST));
    EXPECT_NE(Log().find("Fail: Unknown texture filter 12345!"), std::string::npos);

    // Mipmaps: trilinear whatever the filter; level 1 of alternating black and white columns is
    // the average grey, 8 x 4.
    const int mip = MVE_LoadTextureFile(MVE_ID_AUTO, "stripes.png", GL_NEAREST, 4, "Mip");
    EXPECT_EQ(Parameter(mip, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(Parameter(mip, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(Parameter(mip, GL_TEXTURE_MAX_LEVEL), 4);
    EXPECT_EQ(MVE_GetTexture(mip)->iMipmaps, 4);
    // Anisotropy 8 (llvmpipe offers it) once the chain runs down to a level of at most 8 texels:
    // 16 x 8 with 4 levels ends at 1 x 1, 64 x 64 with 3 at 8 x 8; with 2 it stops at 16 x 16,
    // where a distant surface's footprint would still cover hundreds of texels.
    ASSERT_EQ(MVE_Engine().TextureState.iAnisotropy, 1);
    EXPECT_EQ(Parameter(mip, GL_TEXTURE_MAX_ANISOTROPY), 8);
    WritePng("big.png", 64, 64, std::vector<uint32_t>(64 * 64, 0xFF808080u));
    EXPECT_EQ(Parameter(MVE_LoadTextureFile(MVE_ID_AUTO, "big.png", GL_LINEAR, 3, ""), GL_TEXTURE_MAX_ANISOTROPY), 8);
    EXPECT_EQ(Parameter(MVE_LoadTextureFile(MVE_ID_AUTO, "big.png", GL_LINEAR, 2, ""), GL_TEXTURE_MAX_ANISOTROPY), 1);
    EXPECT_EQ(Count(Log(), "Anisotropic filtering: 8x"), 2);
    EXPECT_EQ(Count(Log(), "Anisotropic filtering: off (the mipmaps stop at 16 x 16)"), 1);
    std::vector<uint8_t> level1 = Texels(mip, 1);
    ASSERT_EQ(level1.size(), 8u * 4u * 4u);
    for (size_t i = 0; i < 32; i++) EXPECT_NEAR(level1[4 * i], 128, 2) << "texel " << i;
}

TEST_F(TextureTest, DefinitionsAndRawFiles) {
    WritePng("Data/stone.png", 2, 2, {0xFF0000FF, 0xFF00FF00, 0xFFFF0000, 0xFFFFFFFF});
    // A raw file of 2 x 1: 12 header bytes and 6 pixel bytes, the third header value unused.
    const char raw[18] = {2, 0, 0, 0, 1, 0, 0, 0, 9, 9, 9, 9, 10, 20, 30, 40, 50, 60};
    WriteFile("Data/raw.mvt", std::string(raw, 18));
    WriteFile("Data/short.mvt", std::string(raw, 17));
    WriteFile("Data/Textures.mvd",
              "Texture: Linear { File: stone.png; Filter: linear; Mipmaps: true }\n"
              "Texture: Default { File: stone.png }\n"
              "Texture: Beyond { File: stone.png; Mipmaps: 4294967297 }\n"
              "Texture: Raw { File: raw.mvt; Filter: LINEAR }\n"
              "Texture: Gone { File: nothing.mvt }\n"
              "Texture: Short { File: short.mvt }\n"
              "Texture: Broken { File: missing.png }\n"
              "Texture: Folder { File: { Key: value } }\n");
    MVE_ParseDefinitionFiles("Data/Textures.mvd", MVE_DEFINITION_TEXTURE);
    MVE_REGISTRIES &r = MVE_Engine().Registries;

    const MVE_TEXTURE *linear = r.Textures.GetByName("Linear");
    ASSERT_NE(linear, nullptr);
    EXPECT_EQ(linear->iMipmaps, 1);
    EXPECT_EQ(Parameter(linear->iID, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(Parameter(linear->iID, GL_TEXTURE_MAX_ANISOTROPY), 8);  // 2 x 2 down to 1 x 1
    const MVE_TEXTURE *fallback = r.Textures.GetByName("Default");
    ASSERT_NE(fallback, nullptr);
    EXPECT_EQ(Parameter(fallback->iID, GL_TEXTURE_MIN_FILTER), GL_NEAREST);
    EXPECT_EQ(Parameter(fallback->iID, GL_TEXTURE_MAX_ANISOTROPY), 1);
    EXPECT_EQ(At(Texels(fallback->iID), 0), 0xFF0000FFu);
    // A level count beyond 32 bits is refused with a row, not wrapped round to 1.
    ASSERT_NE(r.Textures.GetByName("Beyond"), nullptr);
    EXPECT_EQ(r.Textures.GetByName("Beyond")->iMipmaps, 0);
    EXPECT_NE(ReadFile("MVE LogFile.html").find("Fail: Mipmaps does not fit in 32 bits: 4294967297!"), std::string::npos);

    const MVE_TEXTURE *rawTexture = r.Textures.GetByName("Raw");
    ASSERT_NE(rawTexture, nullptr);
    EXPECT_EQ(rawTexture->iWidth, 2);
    EXPECT_EQ(rawTexture->iHeight, 1);
    EXPECT_EQ(rawTexture->iClipWidth, 2);
    EXPECT_EQ(Parameter(rawTexture->iID, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    std::vector<uint8_t> t = Texels(rawTexture->iID);
    ASSERT_EQ(t.size(), 8u);
    EXPECT_EQ(At(t, 0), 0xFF1E140Au);
    EXPECT_EQ(At(t, 1), 0xFF3C3228u);

    // A raw file that is not there: the texture exists without an image. One that is shorter than
    // its header says, or a missing image: nothing is registered.
    ASSERT_NE(r.Textures.GetByName("Gone"), nullptr);
    EXPECT_EQ(r.Textures.GetByName("Gone")->iWidth, 0);
    EXPECT_EQ(r.Textures.GetByName("Short"), nullptr);
    EXPECT_EQ(r.Textures.GetByName("Broken"), nullptr);
    EXPECT_EQ(r.Textures.GetByName("Folder"), nullptr);  // a block where a file name belongs: the folder itself
    const std::string log = Log();
    EXPECT_EQ(Count(log, MVE_FAIL_IMAGE_NOT_FOUND), 3);
    EXPECT_NE(log.find("File: Data/missing.png"), std::string::npos);

    // A null node: the heading and the node row, nothing else.
    EXPECT_EQ(MVE_LoadTextureDefinition(MVE_ID_AUTO, nullptr, "Nowhere"), 0);
    EXPECT_NE(Log().find("Texture: Nowhere"), std::string::npos);
    EXPECT_NE(Log().find(MVE_FAIL_TEXTURE_NODE), std::string::npos);
}

// A failed load never costs an earlier texture its name or ID.
TEST_F(TextureTest, BrokenImagesKeepWhatIsRegistered) {
    WritePng("good.png", 4, 4, std::vector<uint32_t>(16, 0xFF00FF00u));
    const int good = MVE_LoadTextureFile(3, "good.png", GL_LINEAR, 0, "Stone");
    ASSERT_NE(good, 0);
    std::string bytes = ReadFile("good.png");
    WriteFile("cut.png", bytes.substr(0, bytes.size() / 2));
    EXPECT_EQ(MVE_LoadTextureFile(3, "cut.png", GL_LINEAR, 0, "Stone"), 0);
    EXPECT_EQ(MVE_LoadTextureFile(MVE_ID_AUTO, "absent.png", GL_LINEAR, 0, "Stone"), 0);
    EXPECT_EQ(MVE_CatchTexture(3, bytes.data(), 10, GL_LINEAR, "Stone"), 0);
    EXPECT_EQ(MVE_GetTexture(3), MVE_GetTexture(good));
    EXPECT_EQ(MVE_Engine().Registries.Textures.GetByName("Stone"), MVE_GetTexture(good));
    EXPECT_EQ(At(Texels(good), 0), 0xFF00FF00u);
    EXPECT_EQ(Count(Log(), MVE_FAIL_IMAGE_NOT_FOUND), 3);

    // Freeing deletes the GL texture and empties the material slots that held it.
    const unsigned int name = MVE_GetTexture(good)->iTexture;
    const int material = MVE_CreateMaterial(MVE_ID_AUTO, good, 4, "Uses stone");
    ASSERT_EQ(MVE_GetMaterial(material)->Texture[0], MVE_GetTexture(good));
    MVE_FreeTexture(good);
    EXPECT_EQ(MVE_GetTexture(good), nullptr);
    EXPECT_FALSE(MVE_gl().glIsTexture(name));
    EXPECT_EQ(MVE_GetMaterial(material)->Texture[0], nullptr);
}

TEST_F(TextureTest, CubeMapsNeedAllSixFaces) {
    const char *faces[6] = {"px.png", "nx.png", "py.png", "ny.png", "pz.png", "nz.png"};
    for (int i = 0; i < 6; i++) WritePng(std::string("Sky/") + faces[i], 4, 4, std::vector<uint32_t>(16, 0xFF000000u | (40u * (i + 1))));
    const int sky = MVE_LoadCubeMapTexture(MVE_ID_AUTO, "Sky", faces[0], faces[1], faces[2], faces[3], faces[4], faces[5], MVE_IGNORE, 0, "");
    ASSERT_NE(sky, 0);
    const MVE_TEXTURE *cube = MVE_GetTexture(sky);
    EXPECT_EQ(cube->sName, "px.png");
    EXPECT_EQ(cube->iTarget, GL_TEXTURE_CUBE_MAP);
    EXPECT_EQ(Parameter(sky, GL_TEXTURE_WRAP_R), GL_CLAMP_TO_EDGE);
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(At(Texels(sky, 0, GL_TEXTURE_CUBE_MAP_POSITIVE_X + i), 0), 0xFF000000u | (40u * (i + 1))) << "face " << i;
    // No anisotropic filter on cube maps, with or without mipmaps (reflections would cost seconds).
    EXPECT_EQ(Parameter(sky, GL_TEXTURE_MAX_ANISOTROPY), 1);
    const int mipmapped = MVE_LoadCubeMapTexture(MVE_ID_AUTO, "Sky", faces[0], faces[1], faces[2], faces[3], faces[4], faces[5], MVE_IGNORE, 2, "Mipmapped");
    EXPECT_EQ(Parameter(mipmapped, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(Parameter(mipmapped, GL_TEXTURE_MAX_ANISOTROPY), 1);
    EXPECT_NE(Log().find("Anisotropic filtering: off (cube map)"), std::string::npos);

    // The fourth face is missing: one failure row, no texture, the earlier one under the name kept.
    const int before = Count(Log(), MVE_FAIL_IMAGE_NOT_FOUND);
    EXPECT_EQ(MVE_LoadCubeMapTexture(MVE_ID_AUTO, "Sky/", faces[0], faces[1], faces[2], "gone.png", faces[4], faces[5], MVE_IGNORE, 0, "px.png"), 0);
    EXPECT_EQ(Count(Log(), MVE_FAIL_IMAGE_NOT_FOUND), before + 1);
    EXPECT_EQ(MVE_Engine().Registries.Textures.GetByName("px.png"), cube);
    EXPECT_NE(Log().find("Load CubeMap Textures: px.png, nx.png, py.png, gone.png, pz.png, nz.png"), std::string::npos);

    // Faces of different sizes would make a cube that samples black: refused.
    WritePng("Sky/big.png", 8, 8, std::vector<uint32_t>(64, 0xFFFFFFFFu));
    EXPECT_EQ(MVE_LoadCubeMapTexture(MVE_ID_AUTO, "Sky", faces[0], faces[1], faces[2], faces[3], faces[4], "big.png", MVE_IGNORE, 0, ""), 0);
}

TEST_F(TextureTest, ArrayLayersTakeImagesOfTheirSize) {
    const int array = MVE_CreateTextureArray(MVE_ID_AUTO, 2, 2, 3, GL_NEAREST, 0, "Layers");
    ASSERT_NE(array, 0);
    WritePng("a.png", 2, 2, {0xFF0000FF, 0xFF0000FF, 0xFF0000FF, 0xFF00FF00});
    WritePng("wide.png", 4, 2, std::vector<uint32_t>(8, 0xFFFFFFFFu));
    EXPECT_EQ(MVE_AddTextureToTextureArray(array, "a.png", 1), 1);
    EXPECT_EQ(MVE_AddTextureToTextureArray(array, "wide.png", 0), 0);
    EXPECT_EQ(MVE_AddTextureToTextureArray(array, "a.png", 3), 0);
    EXPECT_EQ(MVE_AddTextureToTextureArray(array, "absent.png", 2), 0);
    EXPECT_EQ(MVE_AddTextureToTextureArray(12345, "a.png", 0), 0);
    std::vector<uint8_t> t = Texels(array, 0, GL_TEXTURE_2D_ARRAY);
    ASSERT_EQ(t.size(), 2u * 2u * 3u * 4u);
    EXPECT_EQ(At(t, 4), 0xFF0000FFu);   // layer 1, first texel
    EXPECT_EQ(At(t, 7), 0xFF00FF00u);   // layer 1, last texel
    EXPECT_EQ(At(t, 0), 0u);            // layer 0 untouched
}

// Whether an image brought an alpha channel decides whether a shadow caster must read its
// texels: grey and palette images with transparency count, RGB, JPEG and raw files do not, and a
// cube map or an array has one as soon as any face or layer has.
TEST_F(TextureTest, AlphaChannelIsRememberedPerImage) {
    const std::filesystem::path png = Corpus("png"), jpeg = Corpus("jpeg");
    MVE_REQUIRE_CORPUS_FILE(png / "basn4a08.png");
    auto alpha = [](int handle) { return MVE_GetTexture(handle) ? MVE_GetTexture(handle)->iAlpha : -1; };
    auto file = [](const std::filesystem::path &path) { return MVE_LoadTextureFile(MVE_ID_AUTO, path.c_str(), GL_LINEAR, 0, ""); };
    EXPECT_EQ(alpha(file(png / "basn6a08.png")), 1);  // RGBA
    EXPECT_EQ(alpha(file(png / "basn4a08.png")), 1);  // grey with alpha
    EXPECT_EQ(alpha(file(png / "tbbn3p08.png")), 1);  // palette with a transparent entry
    EXPECT_EQ(alpha(file(png / "basn2c08.png")), 0);  // RGB
    EXPECT_EQ(alpha(file(png / "basn0g08.png")), 0);  // grey
    EXPECT_EQ(alpha(file(jpeg / "jpegsuite_baseline_32x32x8_grayscale.jpg")), 0);

    WritePng("rgb.png", 2, 2, std::vector<uint32_t>(4, 0xFF336699u), 3);
    WritePng("rgba.png", 2, 2, std::vector<uint32_t>(4, 0x00336699u));
    const std::string rgb = ReadFile("rgb.png"), rgba = ReadFile("rgba.png");
    EXPECT_EQ(alpha(MVE_CatchTexture(MVE_ID_AUTO, rgb.data(), static_cast<int64_t>(rgb.size()), GL_LINEAR, "")), 0);
    EXPECT_EQ(alpha(MVE_CatchTexture(MVE_ID_AUTO, rgba.data(), static_cast<int64_t>(rgba.size()), GL_LINEAR, "")), 1);

    const char raw[18] = {2, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6};
    WriteFile("raw.mvt", std::string(raw, 18));
    WriteFile("Alpha.mvd", "Texture: Raw { File: raw.mvt }\nTexture: Cut { File: rgba.png }\nTexture: Solid { File: rgb.png }\n");
    MVE_ParseDefinitionFiles("Alpha.mvd", MVE_DEFINITION_TEXTURE);
    MVE_REGISTRIES &r = MVE_Engine().Registries;
    ASSERT_NE(r.Textures.GetByName("Raw"), nullptr);
    EXPECT_EQ(r.Textures.GetByName("Raw")->iAlpha, 0);
    EXPECT_EQ(r.Textures.GetByName("Cut")->iAlpha, 1);
    EXPECT_EQ(r.Textures.GetByName("Solid")->iAlpha, 0);

    EXPECT_EQ(alpha(MVE_LoadCubeMapTexture(MVE_ID_AUTO, ".", "rgb.png", "rgb.png", "rgb.png", "rgb.png", "rgb.png", "rgb.png", GL_LINEAR, 0, "")), 0);
    EXPECT_EQ(alpha(MVE_LoadCubeMapTexture(MVE_ID_AUTO, ".", "rgb.png", "rgb.png", "rgb.png", "rgb.png", "rgb.png", "rgba.png", GL_LINEAR, 0, "")), 1);
    const int array = MVE_CreateTextureArray(MVE_ID_AUTO, 2, 2, 2, GL_NEAREST, 0, "");
    ASSERT_EQ(MVE_AddTextureToTextureArray(array, "rgb.png", 0), 1);
    EXPECT_EQ(alpha(array), 0);
    ASSERT_EQ(MVE_AddTextureToTextureArray(array, "rgba.png", 1), 1);
    EXPECT_EQ(alpha(array), 1);

    // The built-in logo has a transparent surround; the default colour texture and the sky do not.
    const MVE_BUILTIN_RESOURCES &b = MVE_Engine().Builtin;
    EXPECT_EQ(alpha(b.iLogoTexture), 1);
    EXPECT_EQ(alpha(b.iDefaultTexture[0]), 0);
    EXPECT_EQ(alpha(b.iDefaultCubeMap), 0);
}

TEST_F(TextureTest, BuiltinResources) {
    const MVE_BUILTIN_RESOURCES &b = MVE_Engine().Builtin;
    const MVE_TEXTURE *logo = MVE_GetTexture(b.iLogoTexture);
    ASSERT_NE(logo, nullptr);
    EXPECT_EQ(logo->iWidth, 512);
    EXPECT_EQ(logo->iHeight, 512);
    std::vector<uint8_t> texels = Texels(b.iLogoTexture);
    EXPECT_EQ(texels[3], 0);                                 // transparent corner
    EXPECT_EQ(texels[(256 * 512 + 30) * 4 + 3], 255);        // on the ring
    for (int i = 0; i < 3; i++) {
        const MVE_TEXTURE *t = MVE_GetTexture(b.iDefaultTexture[i]);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->iWidth, 256);
        EXPECT_EQ(t->iHeight, 256);
    }
    const MVE_TEXTURE *sky = MVE_GetTexture(b.iDefaultCubeMap);
    ASSERT_NE(sky, nullptr);
    EXPECT_EQ(sky->iTarget, GL_TEXTURE_CUBE_MAP);
    EXPECT_EQ(sky->iWidth, 64);
    // The sky is lighter above (+Y) than below (-Y).
    EXPECT_GT(Texels(b.iDefaultCubeMap, 0, GL_TEXTURE_CUBE_MAP_POSITIVE_Y)[2],
              Texels(b.iDefaultCubeMap, 0, GL_TEXTURE_CUBE_MAP_NEGATIVE_Y)[2]);

    const MVE_MATERIAL *logoMaterial = MVE_GetMaterial(b.iLogoMaterial);
    ASSERT_NE(logoMaterial, nullptr);
    EXPECT_EQ(logoMaterial->iProgram, 24);
    EXPECT_EQ(logoMaterial->Texture[0], logo);
    EXPECT_FLOAT_EQ(logoMaterial->v4fColor.w, 128.0f / 255.0f);
    const MVE_SPRITE *sprite = MVE_GetSprite(b.iLogoSprite);
    ASSERT_NE(sprite, nullptr);
    EXPECT_EQ(sprite->fWidth, 102.0f);
    EXPECT_EQ(MVE_GetMaterial(b.iObjectMaterial)->iProgram, 1);
    EXPECT_EQ(MVE_GetMaterial(b.iObjectMaterial)->ReflectionMap, sky);
    EXPECT_EQ(MVE_GetMaterial(b.iParticleMaterial)->iProgram, 19);
    EXPECT_EQ(Count(Log(), MVE_FAIL_IMAGE_NOT_FOUND), 0);
}
