// Typed readers: the only place where definition text becomes numbers, vectors and colours.
// Main thread (the colour scratch vector is not shared). Conversions never depend on the C locale
// and never fail: text that is not a number reads as 0, a null node as the caller's default.
#include "Definition/Definition.h"
#include <charconv>
#include <cmath>
#include <strings.h>

static const MVE_DEFINITION_NODE *Child(const MVE_DEFINITION_NODE *node, size_t i) {
    return i < node->Children.size() ? node->Children[i] : nullptr;
}

// Integer conversion: optional sign, '$' hexadecimal, '%' binary, else decimal; low 32 bits.
static uint32_t ToInteger(const std::string &text) {
    const char *p = text.c_str();
    while (*p == ' ' || *p == '\t') ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    unsigned base = 10;
    if (*p == '$') base = 16, ++p;
    else if (*p == '%') base = 2, ++p;
    uint32_t v = 0;
    for (;; ++p) {
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

static float ToFloat(const std::string &text) {
    const char *p = text.c_str(), *end = p + text.size();
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

std::string MVE_ReadDefinitionString(const MVE_DEFINITION_NODE *node, const char *defaultValue) {
    if (!node) return defaultValue ? defaultValue : "";
    return node->sValue;
}

int MVE_ReadDefinitionInteger(const MVE_DEFINITION_NODE *node, int defaultValue) {
    if (!node) return defaultValue;
    const char *v = node->sValue.c_str();
    if (!strcasecmp(v, "true") || !strcasecmp(v, "enable")) return 1;
    if (!strcasecmp(v, "false") || !strcasecmp(v, "disable") || !strcasecmp(v, "none")) return 0;
    if (!strcasecmp(v, "default")) return -1;
    return (int)ToInteger(node->sValue);
}

float MVE_ReadDefinitionFloat(const MVE_DEFINITION_NODE *node, float defaultValue) {
    return node ? ToFloat(node->sValue) : defaultValue;
}

v4f *MVE_ReadDefinitionVector(const MVE_DEFINITION_NODE *node, v4f *out, float x, float y, float z, float w) {
    if (!out) return nullptr;
    const bool four = w != MVE_IGNORE_F;
    if (!node) {
        out->x = x, out->y = y, out->z = z;
        if (four) out->w = w;
    } else if (node->iBlock) {
        float *lanes[4] = {&out->x, &out->y, &out->z, &out->w};
        for (size_t i = 0; i < 3; ++i)
            if (const MVE_DEFINITION_NODE *c = Child(node, i)) *lanes[i] = ToFloat(c->sValue);
        if (four) {
            const MVE_DEFINITION_NODE *c = Child(node, 3);
            out->w = c ? ToFloat(c->sValue) : w;
        }
    } else {
        // A single number is a distance straight ahead (down -z).
        out->x = 0.0f, out->y = 0.0f, out->z = -ToFloat(node->sValue);
    }
    return out;
}

uint32_t MVE_ReadDefinitionColor(const MVE_DEFINITION_NODE *node, v4f *out, uint32_t defaultColor) {
    v4f scratch;
    if (!out) {
        Unpack(&scratch, defaultColor);
        out = &scratch;
    }
    if (!node) {
        Unpack(out, defaultColor);
        return defaultColor;
    }
    if (!node->iBlock) {
        uint32_t color = ToInteger(node->sValue);
        Unpack(out, color);
        return color;
    }
    float *lanes[4] = {&out->x, &out->y, &out->z, &out->w};
    out->w = 1.0f;
    for (size_t i = 0; i < 4; ++i) {
        const MVE_DEFINITION_NODE *c = Child(node, i);
        if (!c) continue;
        bool isFloat = c->sValue.find('.') != std::string::npos;
        *lanes[i] = isFloat ? ToFloat(c->sValue) : (float)(int)ToInteger(c->sValue) / 255.0f;
    }
    int64_t packed = PackComponent(out->x) + PackComponent(out->y) * 256 + PackComponent(out->z) * 65536 +
                     PackComponent(out->w) * 16777216;
    return (uint32_t)(uint64_t)packed;
}

float *MVE_ReadDefinitionRange(const MVE_DEFINITION_NODE *node, float out[2], float minimum, float maximum) {
    if (!out) return nullptr;
    if (!node) {
        out[0] = minimum;
        out[1] = maximum == MVE_IGNORE_F ? minimum : maximum;
    } else if (node->iBlock) {
        for (size_t i = 0; i < 2; ++i)
            if (const MVE_DEFINITION_NODE *c = Child(node, i)) out[i] = ToFloat(c->sValue);
    } else {
        out[0] = out[1] = ToFloat(node->sValue);
    }
    return out;
}
