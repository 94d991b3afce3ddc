// Typed readers: the only place where definition text becomes numbers, vectors and colours.
// Main thread (the colour scratch vector is not shared). Conversions never depend on the C locale
// and never fail: text that is not a number reads as 0, a null node as the caller's default.
#include "Definition/Definition.h"
#include <charconv>
#include <cmath>

// The first few children of a list, in one walk.
static int Children(const MVE_DEFINITION_NODE *node, const MVE_DEFINITION_NODE **out, int most) {
    int n = 0;
    for (const MVE_DEFINITION_NODE *c = MVE_DefinitionFirst(node); c && n < most; c = MVE_DefinitionSibling(c)) out[n++] = c;
    for (int k = n; k < most; ++k) out[k] = nullptr;
    return n;
}

static bool SameWord(std::string_view a, const char *b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = (char)(x - 'A' + 'a');
        if (x != y) return false;
    }
    return i == a.size() && !b[i];
}

// Integer conversion: optional sign, '$' hexadecimal, '%' binary, else decimal; low 32 bits.
static uint32_t ToInteger(std::string_view text) {
    const char *p = text.data(), *end = p + text.size();
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    unsigned base = 10;
    if (p < end && *p == '$') base = 16, ++p;
    else if (p < end && *p == '%') base = 2, ++p;
    uint32_t v = 0;
    for (; p < end; ++p) {
        unsigned digit;
        if (*p >= '0' && *p <= '9') digit = (unsigned)(*p - '0');
        else if (*p >= 'a' && *p <= 'f') digit = (unsigned)(*p - 'a' + 10);
        else if (*p >= 'A' && *p <= 'F') digit = (unsigned)(*p - 'A' + 10);
        else break;
        if (digit >= base) break;
        v = v * base + digit;   // wraps: only the low 32 bits are kept
    }
    return negative ? 0u - v : v;
}

static float ToFloat(std::string_view text) {
    const char *p = text.data(), *end = p + text.size();
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    if (p < end && (*p == '+' || *p == '-')) return 0.0f;   // one sign only
    float v = 0.0f;
    auto [last, error] = std::from_chars(p, end, v, std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        // Beyond single precision: infinity for huge magnitudes, zero for tiny ones.
        double d = 0.0;
        auto r = std::from_chars(p, end, d, std::chars_format::general);
        if (r.ec == std::errc()) v = (float)d;
        else {
            std::string_view digits(p, (size_t)(last - p));
            size_t e = digits.find_first_of("eE");
            v = e != std::string_view::npos && e + 1 < digits.size() && digits[e + 1] == '-' ? 0.0f : INFINITY;
        }
    } else if (error != std::errc()) {
        v = 0.0f;
    }
    return negative ? -v : v;
}

// Unpacks 0xAABBGGRR into 0..1 floats; an alpha byte of 0 reads as opaque.
static void Unpack(v4f *out, uint32_t color) {
    out->x = (float)(color & 0xFF) / 255.0f;
    out->y = (float)((color >> 8) & 0xFF) / 255.0f;
    out->z = (float)((color >> 16) & 0xFF) / 255.0f;
    out->w = (color >> 24) ? (float)(color >> 24) / 255.0f : 1.0f;
}

// Component times 255, rounded, deliberately not clamped (out-of-range colours spill as they always have).
static int64_t PackComponent(float f) {
    double v = (double)f * 255.0;
    if (!std::isfinite(v)) return 0;
    v = std::fmin(std::fmax(v, -2147483648.0), 2147483647.0);
    return (int64_t)std::llround(v);
}

extern "C" int MVE_ReadDefinitionInteger(const MVE_DEFINITION_NODE *node, int defaultValue) {
    if (!node) return defaultValue;
    const std::string_view v = MVE_DefinitionValue(node);
    if (SameWord(v, "true") || SameWord(v, "enable")) return 1;
    if (SameWord(v, "false") || SameWord(v, "disable") || SameWord(v, "none")) return 0;
    if (SameWord(v, "default")) return -1;
    return (int)ToInteger(v);
}

extern "C" float MVE_ReadDefinitionFloat(const MVE_DEFINITION_NODE *node, float defaultValue) {
    return node ? ToFloat(MVE_DefinitionValue(node)) : defaultValue;
}

extern "C" v4f *MVE_ReadDefinitionVector(const MVE_DEFINITION_NODE *node, v4f *out, float x, float y, float z, float w) {
    if (!out) return nullptr;
    const bool four = w != MVE_IGNORE_F;
    if (!node) {
        out->x = x, out->y = y, out->z = z;
        if (four) out->w = w;
    } else if (MVE_IsDefinitionBlock(node)) {
        const MVE_DEFINITION_NODE *c[4];
        Children(node, c, 4);
        float *lanes[4] = {&out->x, &out->y, &out->z, &out->w};
        for (size_t i = 0; i < 3; ++i)
            if (c[i]) *lanes[i] = ToFloat(MVE_DefinitionValue(c[i]));
        if (four) out->w = c[3] ? ToFloat(MVE_DefinitionValue(c[3])) : w;
    } else {
        // A single number is a distance straight ahead (down -z).
        out->x = 0.0f, out->y = 0.0f, out->z = -ToFloat(MVE_DefinitionValue(node));
    }
    return out;
}

extern "C" uint32_t MVE_ReadDefinitionColor(const MVE_DEFINITION_NODE *node, v4f *out, uint32_t defaultColor) {
    v4f scratch;
    if (!out) {
        Unpack(&scratch, defaultColor);
        out = &scratch;
    }
    if (!node) {
        Unpack(out, defaultColor);
        return defaultColor;
    }
    if (!MVE_IsDefinitionBlock(node)) {
        uint32_t color = ToInteger(MVE_DefinitionValue(node));
        Unpack(out, color);
        return color;
    }
    const MVE_DEFINITION_NODE *c[4];
    Children(node, c, 4);
    float *lanes[4] = {&out->x, &out->y, &out->z, &out->w};
    out->w = 1.0f;
    for (size_t i = 0; i < 4; ++i) {
        if (!c[i]) continue;
        const std::string_view v = MVE_DefinitionValue(c[i]);
        bool isFloat = v.find('.') != std::string_view::npos;
        *lanes[i] = isFloat ? ToFloat(v) : (float)(int)ToInteger(v) / 255.0f;
    }
    int64_t packed = PackComponent(out->x) + PackComponent(out->y) * 256 + PackComponent(out->z) * 65536 +
                     PackComponent(out->w) * 16777216;
    return (uint32_t)(uint64_t)packed;
}

extern "C" float *MVE_ReadDefinitionRange(const MVE_DEFINITION_NODE *node, float out[2], float minimum, float maximum) {
    if (!out) return nullptr;
    if (!node) {
        out[0] = minimum;
        out[1] = maximum == MVE_IGNORE_F ? minimum : maximum;
    } else if (MVE_IsDefinitionBlock(node)) {
        const MVE_DEFINITION_NODE *c[2];
        Children(node, c, 2);
        for (size_t i = 0; i < 2; ++i)
            if (c[i]) out[i] = ToFloat(MVE_DefinitionValue(c[i]));
    } else {
        out[0] = out[1] = ToFloat(MVE_DefinitionValue(node));
    }
    return out;
}
