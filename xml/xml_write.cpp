// Serialiser: writes a document with its XML declaration in UTF-8, UTF-16 or
// ISO-8859-1 through a 4096-byte buffer, into memory or atomically into a
// file (temporary file beside the target, renamed over it when complete).
//
// The serialiser adds no line breaks or indentation: the layout of a written
// document is entirely in its node texts (see XmlFormat).
#include "xml/xml_internal.h"

#include "base/atomic_file.h"
#include "base/path.h"
#include "base/text.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// Byte sink

class ByteSink {
public:
    static constexpr std::size_t kSize = 4096;
    using FlushFn = std::function<bool(const unsigned char*, std::size_t)>;

    explicit ByteSink(FlushFn flush) : flush_(std::move(flush)) {}

    // Stores n bytes (n <= kSize) as one piece: when they do not fit the
    // buffer is flushed first. After the first failure nothing is stored.
    void Put(const unsigned char* bytes, std::size_t n)
    {
        if (failed_)
            return;
        if (kSize - used_ < n && !Flush())
            return;
        std::memcpy(buffer_ + used_, bytes, n);
        used_ += n;
    }

    bool Flush()
    {
        if (failed_)
            return false;
        if (used_ > 0 && !flush_(buffer_, used_))
            failed_ = true;
        used_ = 0;
        return !failed_;
    }

    bool failed() const { return failed_; }

    // Direct access for the encoders: pieces that fit the free room may be
    // written at Free() and committed with Commit(), exactly as Put would
    // have stored them.
    std::size_t Room() const { return kSize - used_; }
    unsigned char* Free() { return buffer_ + used_; }
    void Commit(std::size_t n) { used_ += n; }

private:
    FlushFn flush_;
    unsigned char buffer_[kSize];
    std::size_t used_ = 0;
    bool failed_ = false;
};

// ---------------------------------------------------------------------------
// Encoders

// How a piece of text is written.
enum class TextMode {
    Raw,           // unescaped (comments handled apart, CDATA, DTD, instructions)
    Comment,       // unescaped; "--" and a final "-" are split by a blank
    CharData,      // element content: < > & escaped, references allowed
    RootCharData,  // prolog and epilog: < > & escaped, no references allowed
    Attribute,     // attribute value
};

// The escape of an ASCII character in a mode, or nullptr.
const char* EscapeOf(char16_t c, TextMode mode)
{
    const bool attribute = mode == TextMode::Attribute;
    if (mode != TextMode::CharData && mode != TextMode::RootCharData && !attribute)
        return nullptr;
    switch (c) {
    case u'<': return "&lt;";
    case u'>': return "&gt;";
    case u'&': return "&amp;";
    case u'\'': return attribute ? "&apos;" : nullptr;
    case u'"': return attribute ? "&quot;" : nullptr;
    case u'\n': return attribute ? "&#10;" : nullptr;
    case u'\r': return attribute ? "&#13;" : nullptr;
    case u'\t': return attribute ? "&#9;" : nullptr;
    default: return nullptr;
    }
}

// Per mode and ASCII unit: does the unit need an escape? Units that do not
// are copied as they are on the fast path.
struct EscapeTable {
    bool special[5][128];
    constexpr EscapeTable() : special{}
    {
        const TextMode modes[5] = {TextMode::Raw, TextMode::Comment, TextMode::CharData, TextMode::RootCharData,
                                   TextMode::Attribute};
        for (int m = 0; m < 5; ++m)
            for (int c = 0; c < 128; ++c) {
                const bool attribute = modes[m] == TextMode::Attribute;
                const bool data = modes[m] == TextMode::CharData || modes[m] == TextMode::RootCharData;
                special[m][c] = (data || attribute) && (c == '<' || c == '>' || c == '&' ||
                                                        (attribute && (c == '\'' || c == '"' || c == '\n' ||
                                                                       c == '\r' || c == '\t')));
            }
    }
};
constexpr EscapeTable kEscapes;

// Longest piece one code point or escape can become: "&#1114111;" in
// ISO-8859-1 is 10 bytes, "&apos;" in UTF-16 is 12.
constexpr std::size_t kLongestPiece = 24;
// Most bytes one UTF-16 unit of text can become, in any mode and encoding:
// "&apos;" in UTF-16 (a surrogate pair becomes at most 10 bytes for its two
// units).
constexpr std::size_t kUnitBytes = 12;
// Most bytes one ASCII markup character becomes (UTF-16).
constexpr std::size_t kMarkupBytes = 2;

// ASCII markup in encoding E at out; returns the end of what was written.
template <XmlEncoding E>
inline unsigned char* PutAscii(unsigned char* out, const char* s, std::size_t n)
{
    if constexpr (E == XmlEncoding::Utf16) {
        for (std::size_t i = 0; i < n; ++i) {
            out[2 * i] = static_cast<unsigned char>(s[i]);
            out[2 * i + 1] = 0;
        }
        return out + 2 * n;
    } else {
        std::memcpy(out, s, n);
        return out + n;
    }
}

// One code point in encoding E; `reference` allows a character reference
// where the encoding cannot hold the character. Returns the number of bytes.
template <XmlEncoding E>
std::size_t EncodeCodeIn(unsigned char* b, char32_t cp, bool reference)
{
    if constexpr (E == XmlEncoding::Utf16) {
        if (cp >= 0x10000) {
            char32_t v = cp - 0x10000;
            char16_t hi = static_cast<char16_t>(0xD800 + (v >> 10));
            char16_t lo = static_cast<char16_t>(0xDC00 + (v & 0x3FF));
            b[0] = static_cast<unsigned char>(hi & 0xFF);
            b[1] = static_cast<unsigned char>(hi >> 8);
            b[2] = static_cast<unsigned char>(lo & 0xFF);
            b[3] = static_cast<unsigned char>(lo >> 8);
            return 4;
        }
        b[0] = static_cast<unsigned char>(cp & 0xFF);
        b[1] = static_cast<unsigned char>(cp >> 8);
        return 2;
    } else if constexpr (E == XmlEncoding::Utf8) {
        return EncodeUtf8(cp, b);
    } else {  // ISO-8859-1
        if (cp <= 0xFF) {
            b[0] = static_cast<unsigned char>(cp);
            return 1;
        }
        if (reference) {
            // "&#" decimal ";"
            char digits[8];
            int k = 0;
            for (unsigned long v = cp; v > 0; v /= 10)
                digits[k++] = static_cast<char>('0' + v % 10);
            std::size_t n = 0;
            b[n++] = '&';
            b[n++] = '#';
            while (k > 0)
                b[n++] = static_cast<unsigned char>(digits[--k]);
            b[n++] = ';';
            return n;
        }
        b[0] = 0x20;
        return 1;
    }
}

// An escape or reference in encoding E, written as one piece; returns its
// length.
template <XmlEncoding E>
std::size_t EncodeAsciiIn(unsigned char* out, const char* ascii)
{
    std::size_t n = 0;
    for (; *ascii; ++ascii) {
        out[n++] = static_cast<unsigned char>(*ascii);
        if constexpr (E == XmlEncoding::Utf16)
            out[n++] = 0;
    }
    return n;
}

// True for a unit that encoding E writes as it is (its low byte, or both
// bytes in UTF-16) when no escape applies.
template <XmlEncoding E>
inline bool Plain(char16_t c, const bool* special)
{
    if (c < 0x80)
        return !special[c];
    if constexpr (E == XmlEncoding::Utf16)
        return c < 0xD800 || c > 0xDFFF;
    else if constexpr (E == XmlEncoding::Latin1)
        return c <= 0xFF;
    else
        return false;
}

// Writes the piece for code point cp (its escape, or its encoding) at out
// and returns the end of what was written.
template <XmlEncoding E>
unsigned char* PutPiece(unsigned char* out, char32_t cp, const bool* special, TextMode mode, bool reference)
{
    if (cp < 0x80 && special[cp])
        return out + EncodeAsciiIn<E>(out, EscapeOf(static_cast<char16_t>(cp), mode));
    return out + EncodeCodeIn<E>(out, cp, reference);
}

// The next unit at p written at out: as it is when plain, else its escape or
// encoding (which may take a surrogate pair along). Advances p and returns
// the end of what was written.
template <XmlEncoding E>
inline unsigned char* PutNext(unsigned char* out, const char16_t*& p, const char16_t* end, const bool* special,
                              TextMode mode, bool reference)
{
    const char16_t c = *p;
    if (!Plain<E>(c, special))
        return PutPiece<E>(out, NextCodePoint(p, end), special, mode, reference);
    if constexpr (E == XmlEncoding::Utf16) {
        out[0] = static_cast<unsigned char>(c & 0xFF);
        out[1] = static_cast<unsigned char>(c >> 8);
        out += 2;
    } else {
        *out++ = static_cast<unsigned char>(c);
    }
    ++p;
    return out;
}

// Four units at once, as the lanes of a 64-bit word in memory order.
// Whether none of them is 0x80 or above, or equal to c.
constexpr std::uint64_t kLaneOnes = 0x0001000100010001ull;
constexpr std::uint64_t kLaneHighs = 0x8000800080008000ull;
// Bits of each lane that make a unit 0x80 or above.
constexpr std::uint64_t kLaneNonAscii = 0xFF80FF80FF80FF80ull;
// The first and third lanes: after w | w >> 8 each holds the low bytes of
// two units.
constexpr std::uint64_t kLaneLowBytes = 0x0000FFFF0000FFFFull;
inline bool AllAscii(std::uint64_t w) { return (w & kLaneNonAscii) == 0; }
inline std::uint64_t LaneEquals(std::uint64_t w, char16_t c)
{
    const std::uint64_t x = w ^ (kLaneOnes * c);
    return (x - kLaneOnes) & ~x & kLaneHighs;
}

// True when the four ASCII units of w are written as they are in mode M.
template <TextMode M>
inline bool PlainFour(std::uint64_t w)
{
    if constexpr (M == TextMode::Raw)
        return true;
    else if constexpr (M == TextMode::CharData || M == TextMode::RootCharData)
        return !(LaneEquals(w, u'<') | LaneEquals(w, u'>') | LaneEquals(w, u'&'));
    else
        return !(LaneEquals(w, u'<') | LaneEquals(w, u'>') | LaneEquals(w, u'&') | LaneEquals(w, u'\'') |
                 LaneEquals(w, u'"') | LaneEquals(w, u'\n') | LaneEquals(w, u'\r') | LaneEquals(w, u'\t'));
}

// Four plain ASCII units (the lanes of w) in encoding E at out.
template <XmlEncoding E>
inline void PutFour(unsigned char* out, std::uint64_t w)
{
    if constexpr (E == XmlEncoding::Utf16) {
        std::memcpy(out, &w, 8);
    } else {
        const std::uint64_t x = (w | (w >> 8)) & kLaneLowBytes;
        const auto four = static_cast<std::uint32_t>(x | (x >> 16));
        std::memcpy(out, &four, 4);
    }
}

// Text in mode M (not Comment), in encoding E, at out, which has room for
// kUnitBytes per unit. Plain ASCII goes four units at a time.
template <XmlEncoding E, TextMode M>
unsigned char* PutText(unsigned char* out, const char16_t* p, const char16_t* const end)
{
    constexpr bool reference = M == TextMode::CharData || M == TextMode::Attribute;
    constexpr std::size_t width = E == XmlEncoding::Utf16 ? 2 : 1;
    const bool* special = kEscapes.special[static_cast<int>(M)];
    if constexpr (std::endian::native == std::endian::little) {
        // A text that starts plain: while it stays so, every unit's bytes
        // sit at a fixed place, so the last four units may be taken
        // together with some already written (which are written again the
        // same) instead of one by one.
        const auto len = static_cast<std::size_t>(end - p);
        if (len >= 4) {
            std::size_t i = 0;
            for (;;) {
                const std::size_t at = i + 4 <= len ? i : len - 4;
                std::uint64_t w;
                std::memcpy(&w, p + at, 8);
                if (!AllAscii(w) || !PlainFour<M>(w))
                    break;
                PutFour<E>(out + at * width, w);
                i = at + 4;
                if (i == len)
                    return out + len * width;
            }
            p += i;
            out += i * width;
        }
    }
    while (p < end) {
        if constexpr (std::endian::native == std::endian::little) {
            if (end - p >= 4) {
                std::uint64_t w;
                std::memcpy(&w, p, 8);
                if (AllAscii(w) && PlainFour<M>(w)) {
                    PutFour<E>(out, w);
                    out += 4 * width;
                    p += 4;
                    continue;
                }
            }
        }
        out = PutNext<E>(out, p, end, special, M, reference);
    }
    return out;
}

template <XmlEncoding E>
unsigned char* PutTextIn(unsigned char* out, std::u16string_view s, TextMode mode)
{
    const char16_t* p = s.data();
    const char16_t* end = p + s.size();
    switch (mode) {
    case TextMode::CharData: return PutText<E, TextMode::CharData>(out, p, end);
    case TextMode::RootCharData: return PutText<E, TextMode::RootCharData>(out, p, end);
    case TextMode::Attribute: return PutText<E, TextMode::Attribute>(out, p, end);
    default: return PutText<E, TextMode::Raw>(out, p, end);
    }
}

class Encoder {
public:
    Encoder(ByteSink& sink, XmlEncoding encoding) : sink_(sink), encoding_(encoding) {}

    void ByteOrderMark(bool utf8Bom)
    {
        if (encoding_ == XmlEncoding::Utf16) {
            static const unsigned char bom[] = {0xFF, 0xFE};
            sink_.Put(bom, 2);
        } else if (encoding_ == XmlEncoding::Utf8 && utf8Bom) {
            static const unsigned char bom[] = {0xEF, 0xBB, 0xBF};
            sink_.Put(bom, 3);
        }
    }

    // Room for `bytes` bytes at the buffer's free end, flushing what the
    // buffer holds when they do not fit behind it; nullptr when that is
    // impossible (more than a buffer, or a failed sink). Whatever is
    // written there goes in with Commit.
    unsigned char* Reserve(std::size_t bytes)
    {
        if (sink_.failed() || bytes > ByteSink::kSize)
            return nullptr;
        if (sink_.Room() < bytes && !sink_.Flush())
            return nullptr;
        return sink_.Free();
    }
    void Commit(unsigned char* begin, unsigned char* end) { sink_.Commit(static_cast<std::size_t>(end - begin)); }

    // ASCII markup written as is in the document's encoding; every
    // character is a piece of its own.
    void Ascii(std::string_view s)
    {
        const std::size_t width = encoding_ == XmlEncoding::Utf16 ? 2 : 1;
        if (!sink_.failed() && sink_.Room() >= s.size() * width) {
            unsigned char* out = sink_.Free();
            if (width == 1) {
                std::memcpy(out, s.data(), s.size());
            } else {
                for (std::size_t i = 0; i < s.size(); ++i) {
                    out[2 * i] = static_cast<unsigned char>(s[i]);
                    out[2 * i + 1] = 0;
                }
            }
            sink_.Commit(s.size() * width);
            return;
        }
        for (char c : s) {
            unsigned char b[kLongestPiece];
            sink_.Put(b, EncodeCode(b, static_cast<unsigned char>(c), false));
        }
    }

    void Text(std::u16string_view s, TextMode mode)
    {
        if (mode == TextMode::Comment) {
            CommentText(s);
            return;
        }
        if (s.empty())
            return;
        // Short texts go in whole: their longest form fits the buffer.
        if (s.size() <= ByteSink::kSize / kUnitBytes) {
            if (unsigned char* begin = Reserve(s.size() * kUnitBytes)) {
                unsigned char* out;
                switch (encoding_) {
                case XmlEncoding::Utf8: out = PutTextIn<XmlEncoding::Utf8>(begin, s, mode); break;
                case XmlEncoding::Utf16: out = PutTextIn<XmlEncoding::Utf16>(begin, s, mode); break;
                default: out = PutTextIn<XmlEncoding::Latin1>(begin, s, mode); break;
                }
                Commit(begin, out);
            }
            return;
        }
        switch (encoding_) {
        case XmlEncoding::Utf8: LongText<XmlEncoding::Utf8>(s, mode); break;
        case XmlEncoding::Utf16: LongText<XmlEncoding::Utf16>(s, mode); break;
        default: LongText<XmlEncoding::Latin1>(s, mode); break;
        }
    }

private:
    // A text of any length, in pieces that each fit the buffer.
    template <XmlEncoding E>
    void LongText(std::u16string_view s, TextMode mode)
    {
        const bool reference = mode == TextMode::CharData || mode == TextMode::Attribute;
        const bool* special = kEscapes.special[static_cast<int>(mode)];
        const char16_t* p = s.data();
        const char16_t* const end = p + s.size();
        while (p < end) {
            if (sink_.failed())
                return;
            if (sink_.Room() < 2 * kLongestPiece) {
                // Near the end of the buffer: one piece at a time, flushing
                // the buffer when the piece does not fit.
                unsigned char b[kLongestPiece];
                const char32_t cp = NextCodePoint(p, end);
                sink_.Put(b, static_cast<std::size_t>(PutPiece<E>(b, cp, special, mode, reference) - b));
                continue;
            }
            // Every piece written here fits: the loop stops while there is
            // room for one more.
            unsigned char* const begin = sink_.Free();
            unsigned char* out = begin;
            unsigned char* const stop = begin + sink_.Room() - kLongestPiece;
            while (p < end && out <= stop)
                out = PutNext<E>(out, p, end, special, mode, reference);
            sink_.Commit(static_cast<std::size_t>(out - begin));
        }
    }

    void CommentText(std::u16string_view s)
    {
        bool lastDash = false;
        const char16_t* p = s.data();
        const char16_t* const end = p + s.size();
        unsigned char b[kLongestPiece];
        while (p < end) {
            const char32_t cp = NextCodePoint(p, end);
            if (cp == u'-' && lastDash)
                sink_.Put(b, EncodeCode(b, u' ', false));
            lastDash = cp == u'-';
            sink_.Put(b, EncodeCode(b, cp, false));
        }
        if (lastDash)
            sink_.Put(b, EncodeCode(b, u' ', false));
    }

    std::size_t EncodeCode(unsigned char* b, char32_t cp, bool reference) const
    {
        switch (encoding_) {
        case XmlEncoding::Utf16: return EncodeCodeIn<XmlEncoding::Utf16>(b, cp, reference);
        case XmlEncoding::Utf8: return EncodeCodeIn<XmlEncoding::Utf8>(b, cp, reference);
        default: return EncodeCodeIn<XmlEncoding::Latin1>(b, cp, reference);
        }
    }

    ByteSink& sink_;
    XmlEncoding encoding_;
};

// ---------------------------------------------------------------------------
// Tree

void WriteDeclaration(Encoder& out, XmlEncoding encoding, int standalone)
{
    switch (encoding) {
    case XmlEncoding::Utf16: out.Ascii("<?xml version=\"1.0\" encoding=\"UTF-16\""); break;
    case XmlEncoding::Utf8: out.Ascii("<?xml version=\"1.0\" encoding=\"UTF-8\""); break;
    default: out.Ascii("<?xml version=\"1.0\" encoding=\"ISO-8859-1\""); break;
    }
    if (standalone == 0)
        out.Ascii(" standalone=\"no\"");
    else if (standalone == 1)
        out.Ascii(" standalone=\"yes\"");
    out.Ascii("?>");
}

// A node whose text is written interleaved with its children.
struct OpenNode {
    const XmlNode* node;
    const XmlNode* next;    // next child to write
    std::u16string_view text;
    // The children's lengths in that text, in order; nullptr: their own.
    const std::pair<XmlNode*, std::uint32_t>* lengths;
    // When set, written before every child, and the text after the last.
    std::u16string_view gap;
    std::uint32_t child;    // number of the next child
    std::uint32_t read;     // characters of the text written so far
    std::int64_t depth;
    TextMode mode;
    bool laidOut;           // the children are laid out anew
};

template <XmlEncoding E>
class TreeWriter {
public:
    // With a layout, every node is written as the layout lays it out.
    TreeWriter(Encoder& out, XmlReformatLayout* layout) : out_(out), layout_(layout) {}

    // False when memory for the layout ran out.
    bool Write(const XmlNode* root)
    {
        if (!Open(root, 0, layout_ != nullptr))
            return false;
        while (!stack_.empty()) {
            OpenNode& top = stack_.back();
            if (const XmlNode* child = top.next) {
                top.next = child->nextSibling;
                if (!top.gap.empty()) {
                    out_.Text(top.gap, top.mode);
                    if (!Open(child, top.depth + 1, top.laidOut))  // may invalidate `top`
                        return false;
                    continue;
                }
                const std::uint32_t length = top.lengths ? top.lengths[top.child].second : child->precedingTextLength;
                ++top.child;
                std::uint32_t left = static_cast<std::uint32_t>(top.text.size()) - top.read;
                std::uint32_t n = length < left ? length : left;
                if (n > 0) {
                    out_.Text(top.text.substr(top.read, n), top.mode);
                    top.read += n;
                }
                if (!Open(child, top.depth + 1, top.laidOut))  // may invalidate `top`
                    return false;
                continue;
            }
            if (top.read < top.text.size())
                out_.Text(top.text.substr(top.read), top.mode);
            if (top.node->kind == XmlKindElement)
                EndTag(top.node);
            stack_.pop_back();
        }
        return true;
    }

private:
    bool Open(const XmlNode* node, std::int64_t depth, bool layOut)
    {
        XmlLaidOutNode laid{node->text.view(), nullptr, false};
        if (layOut && !layout_->Lay(node, depth, laid))
            return false;
        const auto push = [&](TextMode mode) {
            stack_.push_back(OpenNode{node, node->firstChild, laid.text, laid.lengths, laid.gap, 0, 0, depth, mode,
                                      layOut && laid.descend});
        };
        switch (node->kind) {
        case XmlKindRoot:
            push(TextMode::RootCharData);
            break;
        case XmlKindElement: {
            const bool empty = !node->firstChild && laid.text.empty();
            if (!StartTag(node, empty)) {
                out_.Ascii("<");
                out_.Text(node->name.view(), TextMode::Raw);
                for (std::int32_t i = 0; i < node->attributeCount; ++i) {
                    out_.Ascii(" ");
                    out_.Text(node->attributes[i].name.view(), TextMode::Raw);
                    out_.Ascii("=\"");
                    out_.Text(node->attributes[i].value.view(), TextMode::Attribute);
                    out_.Ascii("\"");
                }
                out_.Ascii(empty ? "/>" : ">");
            }
            if (!empty)
                push(TextMode::CharData);
            break;
        }
        case XmlKindComment:
            out_.Ascii("<!--");
            out_.Text(laid.text, TextMode::Comment);
            out_.Ascii("-->");
            break;
        case XmlKindCData:
            out_.Ascii("<![CDATA[");
            out_.Text(laid.text, TextMode::Raw);
            out_.Ascii("]]>");
            break;
        case XmlKindDtd:
            // Comments and instructions of the internal subset are children.
            push(TextMode::Raw);
            break;
        case XmlKindInstruction:
            out_.Ascii("<?");
            out_.Text(node->name.view(), TextMode::Raw);
            out_.Ascii(" ");
            out_.Text(laid.text, TextMode::Raw);
            out_.Ascii("?>");
            break;
        default:
            break;
        }
        return true;
    }

    // The start tag of an element written in one go when its longest form
    // fits the buffer; false (nothing written) otherwise.
    bool StartTag(const XmlNode* node, bool empty)
    {
        constexpr std::size_t limit = ByteSink::kSize;
        std::size_t bytes = (3 + 4 * static_cast<std::size_t>(node->attributeCount)) * kMarkupBytes;
        if (bytes > limit)
            return false;
        bytes += node->name.n * kUnitBytes;
        for (std::int32_t i = 0; i < node->attributeCount && bytes <= limit; ++i)
            bytes += (std::size_t{node->attributes[i].name.n} + node->attributes[i].value.n) * kUnitBytes;
        unsigned char* const begin = bytes <= limit ? out_.Reserve(bytes) : nullptr;
        if (!begin)
            return false;
        unsigned char* out = PutAscii<E>(begin, "<", 1);
        out = PutText<E, TextMode::Raw>(out, node->name.p, node->name.p + node->name.n);
        for (std::int32_t i = 0; i < node->attributeCount; ++i) {
            const XmlAttr& a = node->attributes[i];
            out = PutAscii<E>(out, " ", 1);
            out = PutText<E, TextMode::Raw>(out, a.name.p, a.name.p + a.name.n);
            out = PutAscii<E>(out, "=\"", 2);
            out = PutText<E, TextMode::Attribute>(out, a.value.p, a.value.p + a.value.n);
            out = PutAscii<E>(out, "\"", 1);
        }
        out = empty ? PutAscii<E>(out, "/>", 2) : PutAscii<E>(out, ">", 1);
        out_.Commit(begin, out);
        return true;
    }

    void EndTag(const XmlNode* node)
    {
        const std::size_t bytes = 3 * kMarkupBytes + std::size_t{node->name.n} * kUnitBytes;
        unsigned char* const begin = bytes <= ByteSink::kSize ? out_.Reserve(bytes) : nullptr;
        if (!begin) {
            out_.Ascii("</");
            out_.Text(node->name.view(), TextMode::Raw);
            out_.Ascii(">");
            return;
        }
        unsigned char* out = PutAscii<E>(begin, "</", 2);
        out = PutText<E, TextMode::Raw>(out, node->name.p, node->name.p + node->name.n);
        out = PutAscii<E>(out, ">", 1);
        out_.Commit(begin, out);
    }

    Encoder& out_;
    XmlReformatLayout* layout_;
    XmlVector<OpenNode> stack_;
};

// False when the document lacks what memory could not hold, or when memory
// for the writing itself runs out.
bool Serialize(XmlDocument* doc, unsigned saveFlags, ByteSink& sink)
{
    if (doc->outOfMemory)
        return false;
    XmlEncoding encoding = XmlDocEncoding(doc);
    if (encoding != XmlEncoding::Utf16 && encoding != XmlEncoding::Utf8)
        encoding = XmlEncoding::Latin1;
    try {
        std::optional<XmlReformatLayout> layout;
        if (saveFlags & XmlSaveReformat) {
            const int step = static_cast<int>((saveFlags & XmlSaveStepMask) >> XmlSaveStepShift);
            // Texts not yet normalised are first formatted in place.
            if (XmlDocRoot(doc) && !XmlReformatLayout::Applies(doc) &&
                !XmlFormat(XmlDocumentNumber(doc), XmlFormatCollapseLineBreaks | XmlFormatCollapseBlanks))
                return false;
            layout.emplace(doc, step);
        }
        XmlReformatLayout* const laying = layout ? &*layout : nullptr;
        Encoder out(sink, encoding);
        out.ByteOrderMark((saveFlags & XmlSaveWithBom) != 0);
        if (!(saveFlags & XmlSaveNoDeclaration))
            WriteDeclaration(out, encoding, XmlDocStandalone(doc));
        if (const XmlNode* root = XmlDocRoot(doc)) {
            bool whole = true;
            switch (encoding) {
            case XmlEncoding::Utf8: whole = TreeWriter<XmlEncoding::Utf8>(out, laying).Write(root); break;
            case XmlEncoding::Utf16: whole = TreeWriter<XmlEncoding::Utf16>(out, laying).Write(root); break;
            default: whole = TreeWriter<XmlEncoding::Latin1>(out, laying).Write(root); break;
            }
            if (!whole)
                return false;
        }
        return sink.Flush();
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace

std::string XmlSerializeToBytes(int document, unsigned saveFlags)
{
    XmlDocument* doc = XmlFindDocument(document);
    if (!doc)
        return {};
    std::string bytes;
    ByteSink sink([&bytes](const unsigned char* data, std::size_t n) {
        // Growing the string counts as an allocation of the library.
        if (bytes.capacity() - bytes.size() < n && XmlAllocationRefused())
            return false;
        bytes.append(reinterpret_cast<const char*>(data), n);
        return true;
    });
    if (!Serialize(doc, saveFlags, sink))
        return {};
    return bytes;
}

int XmlWriteDocument(int document, unsigned saveFlags,
                     const std::function<bool(const char* bytes, std::size_t size)>& write)
{
    XmlDocument* doc = XmlFindDocument(document);
    if (!doc || !write)
        return 0;
    ByteSink sink([&write](const unsigned char* data, std::size_t n) {
        return write(reinterpret_cast<const char*>(data), n);
    });
    return Serialize(doc, saveFlags, sink) ? 1 : 0;
}

int XmlSaveFileEx(int document, const std::u16string& path, unsigned saveFlags, std::u16string* reason)
{
    const auto fail = [reason](std::u16string why) {
        if (reason)
            *reason = std::move(why);
        return 0;
    };
    if (path.empty())
        return fail(FileWriteReason(EINVAL));
    XmlDocument* doc = XmlFindDocument(document);
    if (!doc)
        return fail(FileWriteReason(EBADF));  // the general "Schreibfehler"
    AtomicFile file;
    if (!file.Open(NativePath(path)))
        return fail(file.Reason());
    ByteSink sink([&file](const unsigned char* data, std::size_t n) { return file.Write(data, n); });
    if (!Serialize(doc, saveFlags, sink))
        return fail(file.Reason().empty() ? FileWriteReason(ENOMEM) : file.Reason());
    if (!file.Commit((saveFlags & XmlSaveHandedToDisk) ? Durability::Handed : Durability::OnDisk))
        return fail(file.Reason());
    return 1;
}

int XmlSaveFile(int document, const std::u16string& path)
{
    return XmlSaveFileEx(document, path, 0);
}
