// UTF-16 <-> UTF-8 conversion.
#include "platform/utf_convert.h"

namespace txplatform::detail {
namespace {

// Appends bytes while there is room and counts them all, so that one pass
// serves both the size query and the conversion.
class ByteSink {
public:
    ByteSink(char* out, size_t capacity) : out_(out), capacity_(capacity) {}
    void Put(unsigned char byte) {
        if (length_ < capacity_) out_[length_] = static_cast<char>(byte);
        ++length_;
    }
    void Put(std::string_view bytes) {
        for (char c : bytes)
            Put(static_cast<unsigned char>(c));
    }
    size_t length() const { return length_; }

private:
    char* out_;
    size_t capacity_;
    size_t length_ = 0;
};

class UnitSink {
public:
    UnitSink(WCHAR* out, size_t capacity) : out_(out), capacity_(capacity) {}
    void Put(uint32_t codePoint) {
        if (codePoint >= 0x10000) {
            codePoint -= 0x10000;
            PutUnit(static_cast<WCHAR>(0xD800 + (codePoint >> 10)));
            PutUnit(static_cast<WCHAR>(0xDC00 + (codePoint & 0x3FF)));
        } else {
            PutUnit(static_cast<WCHAR>(codePoint));
        }
    }
    size_t length() const { return length_; }

private:
    void PutUnit(WCHAR unit) {
        if (length_ < capacity_) out_[length_] = unit;
        ++length_;
    }
    WCHAR* out_;
    size_t capacity_;
    size_t length_ = 0;
};

bool IsHighSurrogate(uint32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(uint32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

void PutCodePoint(ByteSink& sink, uint32_t cp) {
    if (cp < 0x80) {
        sink.Put(static_cast<unsigned char>(cp));
    } else if (cp < 0x800) {
        sink.Put(static_cast<unsigned char>(0xC0 | (cp >> 6)));
        sink.Put(static_cast<unsigned char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        sink.Put(static_cast<unsigned char>(0xE0 | (cp >> 12)));
        sink.Put(static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F)));
        sink.Put(static_cast<unsigned char>(0x80 | (cp & 0x3F)));
    } else {
        sink.Put(static_cast<unsigned char>(0xF0 | (cp >> 18)));
        sink.Put(static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F)));
        sink.Put(static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F)));
        sink.Put(static_cast<unsigned char>(0x80 | (cp & 0x3F)));
    }
}

// Shape of a well-formed sequence that starts with `lead`: how many
// continuation bytes follow and the range allowed for the first of them
// (narrower than 80..BF where overlongs, surrogates or values past U+10FFFF
// would otherwise slip through). Returns false for a byte that cannot start
// a sequence.
bool SequenceShape(unsigned char lead, int* continuations, unsigned char* low,
                   unsigned char* high) {
    *low = 0x80;
    *high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        *continuations = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        *continuations = 2;
        if (lead == 0xE0) *low = 0xA0;
        if (lead == 0xED) *high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        *continuations = 3;
        if (lead == 0xF0) *low = 0x90;
        if (lead == 0xF4) *high = 0x8F;
    } else {
        return false;
    }
    return true;
}

} // namespace

ConversionResult Utf16ToUtf8(const WCHAR* in, size_t count, char* out, size_t capacity,
                             std::string_view replacement) {
    ByteSink sink(out, capacity);
    bool hadInvalid = false;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t unit = in[i];
        if (IsHighSurrogate(unit) && i + 1 < count && IsLowSurrogate(in[i + 1])) {
            const uint32_t low = in[++i];
            PutCodePoint(sink, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            hadInvalid = true;
            sink.Put(replacement);
        } else {
            PutCodePoint(sink, unit);
        }
    }
    return {sink.length(), hadInvalid};
}

ConversionResult Utf8ToUtf16(const char* in, size_t count, WCHAR* out, size_t capacity) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(in);
    UnitSink sink(out, capacity);
    bool hadInvalid = false;
    size_t i = 0;
    while (i < count) {
        const unsigned char lead = bytes[i++];
        if (lead < 0x80) {
            sink.Put(lead);
            continue;
        }
        int continuations = 0;
        unsigned char low = 0, high = 0;
        if (!SequenceShape(lead, &continuations, &low, &high)) {
            hadInvalid = true;
            sink.Put(0xFFFD);
            continue;
        }
        uint32_t cp = lead & (0x3F >> continuations);
        bool complete = true;
        for (int k = 0; k < continuations; ++k) {
            if (i >= count || bytes[i] < low || bytes[i] > high) {
                complete = false;
                break;
            }
            cp = (cp << 6) | (bytes[i++] & 0x3F);
            low = 0x80;
            high = 0xBF;
        }
        if (!complete) {
            // The valid prefix read so far is one replaced subsequence; the
            // offending byte is looked at again as a possible lead.
            hadInvalid = true;
            cp = 0xFFFD;
        }
        sink.Put(cp);
    }
    return {sink.length(), hadInvalid};
}

bool Utf16ToUtf8Strict(const WCHAR* in, std::string* out) {
    const size_t count = std::char_traits<WCHAR>::length(in);
    const ConversionResult size = Utf16ToUtf8(in, count, nullptr, 0, {});
    if (size.hadInvalid) return false;
    out->resize(size.length);
    Utf16ToUtf8(in, count, out->data(), out->size(), {});
    return true;
}

} // namespace txplatform::detail
