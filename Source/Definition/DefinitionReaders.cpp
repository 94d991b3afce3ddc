// Typed readers: the only place where definition text becomes numbers, vectors and colours.
// Main thread (the colour scratch vector is not shared). Conversions never depend on the C locale
// and never fail: text that is not a number reads as 0, a null node as the caller's default.
#include "Definition/Definition.h"
#include "Log/Log.h"
#include <charconv>
#include <cstdint>
#include <string>
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

// Integer text: optional sign, '$' hexadecimal, '%' binary, else decimal digits, up to the first
// character that does not fit. The magnitude stops growing past 2^40, far beyond any 32-bit value.
namespace {
struct IntegerText {
    bool negative = false;
    bool pattern = false;   // '$' or '%': a bit pattern, so $FFFFFFFF is -1 and not too large
    uint64_t magnitude = 0;
};
}  // namespace

static IntegerText ParseInteger(std::string_view text) {
    IntegerText t;
    const char *p = text.data(), *end = p + text.size();
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    if (p < end && (*p == '+' || *p == '-')) t.negative = *p++ == '-';
    unsigned base = 10;
    if (p < end && *p == '$') base = 16, ++p;
    else if (p < end && *p == '%') base = 2, ++p;
    t.pattern = base != 10;
    for (; p < end; ++p) {
        unsigned digit;
        if (*p >= '0' && *p <= '9') digit = (unsigned)(*p - '0');
        else if (*p >= 'a' && *p <= 'f') digit = (unsigned)(*p - 'a' + 10);
        else if (*p >= 'A' && *p <= 'F') digit = (unsigned)(*p - 'A' + 10);
        else break;
        if (digit >= base) break;
        if (t.magnitude < (uint64_t(1) << 40)) t.magnitude = t.magnitude * base + digit;
    }
    return t;
}

// Whether the number fits in 32 bits: decimal -2147483648..2147483647, a bit pattern up to 32 bits.
static bool Fits(const IntegerText &t) {
    if (t.negative) return t.magnitude <= 0x80000000u;
    return t.magnitude <= (t.pattern ? 0xFFFFFFFFu : 0x7FFFFFFFu);
}

// A number that does not fit is never wrapped into a small one (4294967297 is not 1): it stays
// the largest or smallest integer, which every range check then refuses.
static int32_t ToInteger(std::string_view text) {
    const IntegerText t = ParseInteger(text);
    if (!Fits(t)) return t.negative ? INT32_MIN : INT32_MAX;
    const uint32_t bits = (uint32_t)t.magnitude;
    return (int32_t)(t.negative ? 0u - bits : bits);
}

// A packed colour: up to 32 bits in any notation (decimal 4294967295 is opaque white), a negative
// number by its two's complement; larger ones saturate to white, more negative ones to black.
static uint32_t ToColor(std::string_view text) {
    const IntegerText t = ParseInteger(text);
    if (t.negative) return t.magnitude <= 0x80000000u ? 0u - (uint32_t)t.magnitude : 0u;
    return t.magnitude <= 0xFFFFFFFFu ? (uint32_t)t.magnitude : 0xFFFFFFFFu;
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
    return ToInteger(v);
}

bool MVE_DefinitionIntegerFits(const MVE_DEFINITION_NODE *node) {
    return !node || Fits(ParseInteger(MVE_DefinitionValue(node)));
}

int MVE_ReadDefinitionIntegerKey(const MVE_DEFINITION_NODE *node, int defaultValue, const char *key,
                                 const char *procedure, bool *refused) {
    if (refused) *refused = false;
    if (!MVE_DefinitionIntegerFits(node)) {
        MVE_LogFail("Fail: " + std::string(key) + " does not fit in 32 bits: " + std::string(MVE_DefinitionValue(node)) + "!",
                    procedure);
        if (refused) *refused = true;
        return defaultValue;
    }
    return MVE_ReadDefinitionInteger(node, defaultValue);
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
        uint32_t color = ToColor(MVE_DefinitionValue(node));
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
        *lanes[i] = isFloat ? ToFloat(v) : (float)ToInteger(v) / 255.0f;
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
