#include "runtime/text_encoding.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <optional>

namespace quillmere {

namespace {

constexpr char32_t kEscapeBase = 0x10FF00;
constexpr char32_t kFirstEscape = kEscapeBase + 0x80;
constexpr char32_t kReplacement = 0xFFFD;
// GB18030 four-byte index of U+10000 (the sequence 90 30 81 30).
constexpr std::uint32_t kSupplementaryIndexBase = 189000;

bool IsAscii(std::string_view bytes) {
    for (unsigned char c : bytes) {
        if (c >= 0x80) return false;
    }
    return true;
}

// Owns one iconv descriptor.
class IconvHandle {
public:
    IconvHandle(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~IconvHandle() {
        if (valid()) iconv_close(handle_);
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;

    bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

    // Converts the whole input or returns nullopt; the descriptor is reset either way.
    std::optional<std::string> Convert(std::string_view input) {
        if (!valid()) return std::nullopt;
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        std::string output(input.size() * 2 + 8, '\0');
        char* in = const_cast<char*>(input.data());
        std::size_t inLeft = input.size();
        std::size_t produced = 0;
        while (inLeft > 0) {
            char* out = output.data() + produced;
            std::size_t outLeft = output.size() - produced;
            const std::size_t rc = iconv(handle_, &in, &inLeft, &out, &outLeft);
            produced = output.size() - outLeft;
            if (rc != static_cast<std::size_t>(-1)) break;
            if (errno != E2BIG) return std::nullopt;
            output.resize(output.size() * 2);
        }
        output.resize(produced);
        return output;
    }

private:
    iconv_t handle_;
};

// Converters are costly to open and cheap to reuse; one pair per thread
// carries no state from one call to the next (Convert resets it).
IconvHandle& Utf8ToGb18030() {
    thread_local IconvHandle handle("GB18030", "UTF-8");
    return handle;
}
IconvHandle& Gb18030ToUtf8() {
    thread_local IconvHandle handle("UTF-8", "GB18030");
    return handle;
}

void AppendGb18030FourByte(std::string& out, char32_t codePoint) {
    std::uint32_t index = kSupplementaryIndexBase + (codePoint - 0x10000);
    char bytes[4];
    bytes[3] = static_cast<char>(0x30 + index % 10); index /= 10;
    bytes[2] = static_cast<char>(0x81 + index % 126); index /= 126;
    bytes[1] = static_cast<char>(0x30 + index % 10); index /= 10;
    bytes[0] = static_cast<char>(0x81 + index);
    out.append(bytes, 4);
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Length of the strictly valid UTF-8 sequence at the start of bytes and its
// code point, or 0 when the first byte does not start one.
std::size_t DecodeUtf8(std::string_view bytes, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(bytes[0]);
    if (b0 < 0x80) { cp = b0; return 1; }
    std::size_t length;
    char32_t minimum;
    if (b0 >= 0xC2 && b0 <= 0xDF) { length = 2; cp = b0 & 0x1F; minimum = 0x80; }
    else if (b0 >= 0xE0 && b0 <= 0xEF) { length = 3; cp = b0 & 0x0F; minimum = 0x800; }
    else if (b0 >= 0xF0 && b0 <= 0xF4) { length = 4; cp = b0 & 0x07; minimum = 0x10000; }
    else return 0;
    if (bytes.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return length;
}

// One GB18030 unit: its byte length (1, 2 or 4), or 0 when malformed.
std::size_t Gb18030UnitLength(std::string_view bytes) {
    const auto b0 = static_cast<unsigned char>(bytes[0]);
    if (b0 < 0x80) return 1;
    if (b0 == 0x80 || b0 == 0xFF || bytes.size() < 2) return 0;
    const auto b1 = static_cast<unsigned char>(bytes[1]);
    if (b1 >= 0x30 && b1 <= 0x39) {
        if (bytes.size() < 4) return 0;
        const auto b2 = static_cast<unsigned char>(bytes[2]);
        const auto b3 = static_cast<unsigned char>(bytes[3]);
        if (b2 < 0x81 || b2 > 0xFE || b3 < 0x30 || b3 > 0x39) return 0;
        return 4;
    }
    if (b1 >= 0x40 && b1 <= 0xFE && b1 != 0x7F) return 2;
    return 0;
}

// The escaped byte a four-byte unit stands for, if it is one.
std::optional<unsigned char> EscapedByte(std::string_view unit) {
    const auto b0 = static_cast<unsigned char>(unit[0]);
    if (unit.size() != 4 || b0 < 0x90) return std::nullopt;
    const std::uint32_t index = ((((b0 - 0x81u) * 10 + (static_cast<unsigned char>(unit[1]) - 0x30u)) * 126 +
                                  (static_cast<unsigned char>(unit[2]) - 0x81u)) * 10) +
                                (static_cast<unsigned char>(unit[3]) - 0x30u);
    const char32_t cp = 0x10000 + (index - kSupplementaryIndexBase);
    if (cp < kFirstEscape || cp > kEscapeBase + 0xFF) return std::nullopt;
    return static_cast<unsigned char>(cp - kEscapeBase);
}

// Converts a run of GB18030 to UTF-8; a run iconv rejects becomes one
// replacement character per undecodable unit. Returns how many there were.
std::size_t AppendGb18030AsUtf8(std::string& out, std::string_view run) {
    if (run.empty()) return 0;
    if (auto converted = Gb18030ToUtf8().Convert(run)) {
        out += *converted;
        return 0;
    }
    std::size_t replaced = 0;
    std::size_t at = 0;
    while (at < run.size()) {
        std::size_t length = Gb18030UnitLength(run.substr(at));
        if (length == 0) length = 1;
        if (auto one = Gb18030ToUtf8().Convert(run.substr(at, length))) {
            out += *one;
        } else {
            AppendUtf8(out, kReplacement);
            ++replaced;
        }
        at += length;
    }
    return replaced;
}

// Shows bytes as UTF-8, one replacement character per byte that does not
// start a valid sequence. Returns how many there were.
std::size_t AppendUtf8WithReplacements(std::string& out, std::string_view bytes) {
    std::size_t replaced = 0;
    std::size_t at = 0;
    while (at < bytes.size()) {
        char32_t cp = 0;
        const std::size_t length = DecodeUtf8(bytes.substr(at), cp);
        if (length > 0) {
            out.append(bytes.substr(at, length));
            at += length;
        } else {
            AppendUtf8(out, kReplacement);
            ++replaced;
            ++at;
        }
    }
    return replaced;
}

// Shows escaped bytes. A name that was not UTF-8 comes from a system that
// writes GBK, so GBK (read as GB18030) wins when it reads every byte;
// otherwise whichever reading loses fewer bytes, UTF-8 on a tie (a UTF-8
// name with a stray byte).
void AppendForeignName(std::string& out, std::string_view bytes) {
    // Bytes that are UTF-8 throughout were escaped only because GB18030
    // could not carry them (a name that is UTF-8 as a whole is text, never
    // foreign), so they show as they were.
    std::string asUtf8;
    const std::size_t utf8Lost = AppendUtf8WithReplacements(asUtf8, bytes);
    if (utf8Lost == 0) {
        out += asUtf8;
        return;
    }
    std::string asGb;
    const std::size_t gbLost = AppendGb18030AsUtf8(asGb, bytes);
    out += gbLost == 0 || gbLost < utf8Lost ? asGb : asUtf8;
}

// Whether bytes are valid UTF-8 throughout, without any code point that
// stands for an escaped byte.
bool IsPlainUtf8(std::string_view bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        char32_t cp = 0;
        const std::size_t length = DecodeUtf8(bytes.substr(at), cp);
        if (length == 0 || cp >= kFirstEscape) return false;
        at += length;
    }
    return true;
}

}  // namespace

Text TextFromUtf8(std::string_view utf8) {
    if (IsAscii(utf8)) return Text(utf8);
    // Valid UTF-8 is text. Anything else is a name from another system: its
    // non-ASCII bytes are all kept as escapes, not only the ones that break
    // UTF-8, since GBK characters often look like UTF-8 ones on their own.
    if (IsPlainUtf8(utf8)) {
        if (auto converted = Utf8ToGb18030().Convert(utf8)) return Text(std::move(*converted));
        // iconv has no mapping for a few private-use code points (those
        // GB18030-2022 moved) and refuses the whole text for one of them:
        // convert character by character and escape only those.
        std::string out;
        out.reserve(utf8.size() * 2);
        std::size_t at = 0;
        while (at < utf8.size()) {
            char32_t cp = 0;
            const std::size_t length = DecodeUtf8(utf8.substr(at), cp);
            const std::string_view one = utf8.substr(at, length);
            if (auto converted = Utf8ToGb18030().Convert(one)) {
                out += *converted;
            } else {
                for (const char byte : one) AppendGb18030FourByte(out, kEscapeBase + static_cast<unsigned char>(byte));
            }
            at += length;
        }
        return Text(std::move(out));
    }
    std::string out;
    out.reserve(utf8.size() * 4);
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
        } else {
            AppendGb18030FourByte(out, kEscapeBase + byte);
        }
    }
    return Text(std::move(out));
}

std::string TextToNativeName(const Text& text) {
    const std::string_view bytes = text.bytes();
    if (IsAscii(bytes)) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size());
    std::size_t runStart = 0;
    std::size_t at = 0;
    const auto flush = [&](std::size_t end) {
        if (end > runStart) {
            auto converted = Gb18030ToUtf8().Convert(bytes.substr(runStart, end - runStart));
            // A malformed run cannot have come from a name; keep its bytes.
            out += converted ? *converted : std::string(bytes.substr(runStart, end - runStart));
        }
    };
    while (at < bytes.size()) {
        std::size_t length = Gb18030UnitLength(bytes.substr(at));
        if (length == 0) length = 1;
        if (auto escaped = EscapedByte(bytes.substr(at, length))) {
            flush(at);
            out += static_cast<char>(*escaped);
            at += length;
            runStart = at;
        } else {
            at += length;
        }
    }
    flush(at);
    return out;
}

std::string TextToUtf8(const Text& text) {
    const std::string_view bytes = text.bytes();
    if (IsAscii(bytes)) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    // The native bytes of a name that was not UTF-8: its escaped bytes with
    // the ASCII among them, which may be GBK trail bytes.
    std::string foreign;
    std::size_t runStart = 0;
    std::size_t at = 0;
    const auto flushText = [&](std::size_t end) {
        AppendGb18030AsUtf8(out, bytes.substr(runStart, end - runStart));
    };
    while (at < bytes.size()) {
        std::size_t length = Gb18030UnitLength(bytes.substr(at));
        if (length == 0) length = 1;
        const auto unit = bytes.substr(at, length);
        if (auto escaped = EscapedByte(unit)) {
            flushText(at);
            foreign += static_cast<char>(*escaped);
            runStart = at + length;
        } else if (!foreign.empty() && length == 1 && static_cast<unsigned char>(unit[0]) < 0x80) {
            foreign += unit[0];
            runStart = at + length;
        } else if (!foreign.empty()) {
            AppendForeignName(out, foreign);
            foreign.clear();
        }
        at += length;
    }
    if (!foreign.empty()) AppendForeignName(out, foreign);
    flushText(at);
    return out;
}

}  // namespace quillmere
