// Loading a file into a document tree with Expat.
//
// Expat hands out UTF-8; every string is converted to UTF-16 once, when it
// is stored. Character data arrives in pieces and is gathered in one growing
// buffer that holds the texts of all open nodes back to back (a child's text
// always follows its parent's, so closing a node just cuts the buffer back).
// A finished text is copied into the document's arena. XmlIsName puts a
// name to the same parser.
#include "xml/xml_internal.h"

#include "base/path.h"
#include "base/text.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <memory>
#include <type_traits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t ChunkBytes = 16384;
// Attribute values up to this many bytes are shared like names.
constexpr std::size_t ShortValue = 8;

// Chunk size of the read loop; tests may lower it to feed the parser in
// tiny pieces.
std::size_t g_chunkBytes = ChunkBytes;
// Bytes after which reads deliver nothing (tests only); -1 = no limit.
long long g_readLimit = -1;

enum class LfMode { Keep, CrLf, Cr };

// Eight bytes at once: the top bit of each, the low bit of each, and a line
// feed in each.
constexpr std::uint64_t kByteHighBits = 0x8080808080808080ull;
constexpr std::uint64_t kByteLowBits = 0x0101010101010101ull;
constexpr std::uint64_t kByteLineFeeds = 0x0A0A0A0A0A0A0A0Aull;
// The bit that turns an ASCII capital into its small letter.
constexpr char kAsciiLowerCase = 0x20;

// ---------------------------------------------------------------------------
// UTF-8 to UTF-16.

// Converts Expat's (valid) UTF-8 into out, which has room for 2 * len units
// (LfMode::CrLf) or len units otherwise. Returns the number of units written.
template <LfMode Mode>
std::size_t ConvertUtf8(const char* src, std::size_t len, char16_t* out)
{
    const auto* s = reinterpret_cast<const unsigned char*>(src);
    const unsigned char* end = s + len;
    char16_t* o = out;
    while (s < end) {
        // Eight ASCII bytes (without a line feed, when those change) at once.
        if (end - s >= 8) {
            std::uint64_t w;
            std::memcpy(&w, s, 8);
            bool plain = (w & kByteHighBits) == 0;
            if (Mode != LfMode::Keep) {
                const std::uint64_t x = w ^ kByteLineFeeds;
                plain = plain && ((x - kByteLowBits) & ~x & kByteHighBits) == 0;
            }
            if (plain) {
                for (int k = 0; k < 8; ++k)
                    o[k] = s[k];
                o += 8;
                s += 8;
                continue;
            }
        }
        unsigned c = *s;
        if (c < 0x80) {
            ++s;
            if (Mode != LfMode::Keep && c == '\n') {
                *o++ = u'\r';
                if (Mode == LfMode::CrLf)
                    *o++ = u'\n';
                continue;
            }
            *o++ = static_cast<char16_t>(c);
            continue;
        }
        if (c < 0xE0) {
            if (end - s < 2)
                break;
            *o++ = static_cast<char16_t>(((c & 0x1F) << 6) | (s[1] & 0x3F));
            s += 2;
        } else if (c < 0xF0) {
            if (end - s < 3)
                break;
            *o++ = static_cast<char16_t>(((c & 0x0F) << 12) | ((s[1] & 0x3F) << 6) | (s[2] & 0x3F));
            s += 3;
        } else {
            if (end - s < 4)
                break;
            unsigned cp = ((c & 0x07) << 18) | ((s[1] & 0x3F) << 12) | ((s[2] & 0x3F) << 6) | (s[3] & 0x3F);
            cp -= 0x10000;
            *o++ = static_cast<char16_t>(0xD800 + (cp >> 10));
            *o++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
            s += 4;
        }
    }
    return static_cast<std::size_t>(o - out);
}

// ---------------------------------------------------------------------------
// Names: element, attribute and target names (and short attribute values)
// repeat throughout a file, so
// each distinct one is stored in the arena once and shared by every node
// that carries it. Arena strings are never released one by one, so sharing
// is safe.

class NameTable {
public:
    ~NameTable() { XmlFree(slots_); }

    // Returns the stored UTF-16 string for the NUL-terminated UTF-8 bytes,
    // storing it on first sight; absent when memory runs out. Strings longer
    // than `longest` bytes are stored every time, not shared.
    XmlStr Get(XmlDocument* doc, const char* name, std::size_t longest = SIZE_MAX)
    {
        // The first eight bytes are read while the length is found; names
        // are mostly that short.
        std::uint64_t first = 0;
        std::size_t len = 0;
        for (; len < 8; ++len) {
            const auto c = static_cast<unsigned char>(name[len]);
            if (!c)
                break;
            first |= std::uint64_t{c} << (8 * len);
        }
        if (len == 8) {
            while (len < 16 && name[len])
                ++len;
            if (len == 16)
                len += std::strlen(name + 16);
        }
        if (len > longest)
            return Store(doc, name, len);
        // Up to 16 bytes, the length and two words (the first eight bytes
        // and the last eight) tell a string apart; longer ones are compared
        // in full as well.
        std::uint64_t last = 0;
        if (len > 8)
            std::memcpy(&last, name + len - 8, 8);
        const std::uint32_t h = Hash(first, last, len);
        if (count_ * 2 >= capacity_ && !Grow())
            return Store(doc, name, len);
        const std::size_t mask = capacity_ - 1;
        for (std::size_t i = h & mask;; i = (i + 1) & mask) {
            Slot& slot = slots_[i];
            if (!slot.value.p) {
                XmlStr str = Store(doc, name, len);
                if (!str.p || count_ >= MaxNames)
                    return str;
                if (len > 16) {
                    auto* key = static_cast<char*>(XmlArenaAllocate(doc, len, 1));
                    if (!key)
                        return str;
                    std::memcpy(key, name, len);
                    slot.key = key;
                }
                slot.first = first;
                slot.last = last;
                slot.keyLength = static_cast<std::uint32_t>(len);
                slot.hash = h;
                slot.value = str;
                ++count_;
                return str;
            }
            if (slot.hash == h && slot.keyLength == len && slot.first == first && slot.last == last &&
                (len <= 16 || std::memcmp(slot.key, name, len) == 0))
                return slot.value;
        }
    }

    static XmlStr Store(XmlDocument* doc, const char* utf8, std::size_t len)
    {
        XmlStr str;
        auto* p = static_cast<char16_t*>(XmlArenaAllocate(doc, (len + 1) * sizeof(char16_t), alignof(char16_t)));
        if (!p)
            return str;
        std::size_t n = ConvertUtf8<LfMode::Keep>(utf8, len, p);
        p[n] = 0;
        str.p = p;
        str.n = static_cast<std::uint32_t>(n);
        str.heap = false;
        return str;
    }

private:
    static std::uint32_t Hash(std::uint64_t first, std::uint64_t last, std::size_t len)
    {
        std::uint64_t h = (first ^ (last * 0x9E3779B97F4A7C15ull) ^ len) * 0xFF51AFD7ED558CCDull;
        return static_cast<std::uint32_t>(h >> 32);
    }

    // A used slot has a value (stored strings are never absent).
    struct Slot {
        std::uint64_t first;
        std::uint64_t last;
        const char* key;  // the whole name, for names over 16 bytes
        std::uint32_t keyLength;
        std::uint32_t hash;
        XmlStr value;
    };
    static constexpr std::size_t MaxNames = 1 << 16;

    bool Grow()
    {
        std::size_t capacity = capacity_ ? capacity_ * 2 : 64;
        auto* slots = static_cast<Slot*>(XmlCalloc(capacity, sizeof(Slot)));
        if (!slots)
            return false;
        for (std::size_t i = 0; i < capacity_; ++i) {
            if (!slots_[i].value.p)
                continue;
            std::size_t j = slots_[i].hash & (capacity - 1);
            while (slots[j].value.p)
                j = (j + 1) & (capacity - 1);
            slots[j] = slots_[i];
        }
        XmlFree(slots_);
        slots_ = slots;
        capacity_ = capacity;
        return true;
    }

    Slot* slots_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t count_ = 0;
};

// ---------------------------------------------------------------------------

}  // namespace

// One open node of the load: its place in the text buffer, its last finished
// child and the characters appended since that child.
struct XmlOpenNode {
    XmlNode* node;
    XmlNode* lastChild;
    std::size_t textStart;
    std::uint32_t sinceChild;
};

struct XmlParseState {
    XmlDocument* doc = nullptr;
    XML_Parser parser = nullptr;
    // Open nodes, Root first. Elements are limited to XmlMaxLoadDepth; on
    // top of them one Comment, CData or Instruction node, and the DTD node
    // with a Comment or Instruction in it at the top level.
    static constexpr int MaxOpen = XmlMaxLoadDepth + 4;
    XmlOpenNode open[MaxOpen];
    int openCount = 0;
    int elementDepth = 0;
    // Texts of the open nodes, back to back.
    char16_t* buf = nullptr;
    std::size_t len = 0;
    std::size_t cap = 0;
    NameTable names;
    // The first failure of the load, and where the parser stood.
    bool stopped = false;
    int failStatus = 0;
    int failLine = 0;
    int failColumn = 0;
    const char* failMessage = nullptr;

    ~XmlParseState() { XmlFree(buf); }
    static void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept { return XmlMalloc(bytes); }
    static void operator delete(void* p) noexcept { XmlFree(p); }
    static void operator delete(void* p, const std::nothrow_t&) noexcept { XmlFree(p); }
};

namespace {

XmlParseState* State(void* userData) { return static_cast<XmlParseState*>(userData); }

// Ends the load with a failure: the first reason is kept, with the place
// the parser has reached, and a parse that is running stops. A null message
// stands for Expat's text for the status.
void Stop(XmlParseState* st, int status, const char* message)
{
    if (st->stopped)
        return;
    st->stopped = true;
    st->failStatus = status;
    st->failLine = static_cast<int>(XML_GetCurrentLineNumber(st->parser));
    st->failColumn = static_cast<int>(XML_GetCurrentColumnNumber(st->parser)) + 1;
    st->failMessage = message;
    XML_ParsingStatus parsing;
    XML_GetParsingStatus(st->parser, &parsing);
    if (parsing.parsing == XML_PARSING)
        XML_StopParser(st->parser, XML_FALSE);
}

// Memory ran out: whatever was being stored is not in the tree, so the
// load cannot go on as if it were.
void OutOfMemory(XmlParseState* st) { Stop(st, XML_ERROR_NO_MEMORY, nullptr); }

// Makes room for `units` more code units; false when memory runs out.
bool Reserve(XmlParseState* st, std::size_t units)
{
    if (st->len + units <= st->cap)
        return true;
    std::size_t cap = st->cap ? st->cap : 1024;
    while (cap < st->len + units)
        cap *= 2;
    auto* grown = static_cast<char16_t*>(XmlRealloc(st->buf, cap * sizeof(char16_t)));
    if (!grown)
        return false;
    st->buf = grown;
    st->cap = cap;
    return true;
}

void Count(XmlParseState* st, std::size_t units)
{
    std::uint32_t& since = st->open[st->openCount - 1].sinceChild;
    since = static_cast<std::uint32_t>(since + units);
}

// Appends UTF-8 character data to the current node's text, turning Expat's
// line feeds back into the file's line breaks.
void AppendCharacterData(XmlParseState* st, const char* s, std::size_t len)
{
    if (len == 0)
        return;
    XmlLineEnd lineEnd = st->doc->lineEnd;
    std::size_t room = lineEnd == XmlLineEnd::CrLf ? 2 * len : len;
    if (!Reserve(st, room)) {
        OutOfMemory(st);
        return;
    }
    char16_t* out = st->buf + st->len;
    std::size_t n;
    if (lineEnd == XmlLineEnd::CrLf)
        n = ConvertUtf8<LfMode::CrLf>(s, len, out);
    else if (lineEnd == XmlLineEnd::Cr)
        n = ConvertUtf8<LfMode::Cr>(s, len, out);
    else
        n = ConvertUtf8<LfMode::Keep>(s, len, out);
    st->len += n;
    Count(st, n);
}

void AppendRaw(XmlParseState* st, const char* s, std::size_t len)
{
    if (len == 0)
        return;
    if (!Reserve(st, len)) {
        OutOfMemory(st);
        return;
    }
    std::size_t n = ConvertUtf8<LfMode::Keep>(s, len, st->buf + st->len);
    st->len += n;
    Count(st, n);
}

void AppendAscii(XmlParseState* st, std::string_view s) { AppendRaw(st, s.data(), s.size()); }

// Opens a node of `kind` under the current node; nullptr (and the parse
// stopped) when it cannot be made.
XmlNode* OpenNode(XmlParseState* st, std::int16_t kind)
{
    if (st->openCount >= XmlParseState::MaxOpen) {
        Stop(st, XML_ERROR_NO_MEMORY, nullptr);
        return nullptr;
    }
    XmlNode* node = XmlTakeNode(st->doc);
    if (!node) {
        OutOfMemory(st);
        return nullptr;
    }
    XmlOpenNode& top = st->open[st->openCount - 1];
    node->kind = kind;
    node->document = st->doc->identity;
    node->parent = top.node;
    node->precedingTextLength = top.sinceChild;
    if (top.lastChild) {
        top.lastChild->nextSibling = node;
    } else {
        top.node->firstChild = node;
    }
    top.node->lastChild = node;
    top.sinceChild = 0;
    st->open[st->openCount++] = XmlOpenNode{node, nullptr, st->len, 0};
    return node;
}

// Closes the current node: its text moves from the buffer into the arena
// (a text that finds no room there fails the load).
void CloseNode(XmlParseState* st)
{
    if (st->openCount <= 0)
        return;
    XmlOpenNode& top = st->open[st->openCount - 1];
    XmlNode* node = top.node;
    std::size_t n = st->len - top.textStart;
    if (n > 0) {
        auto* p = static_cast<char16_t*>(XmlArenaAllocate(st->doc, (n + 1) * sizeof(char16_t), alignof(char16_t)));
        if (p) {
            std::memcpy(p, st->buf + top.textStart, n * sizeof(char16_t));
            p[n] = 0;
            node->text.p = p;
            node->text.n = static_cast<std::uint32_t>(n);
            node->text.heap = false;
        } else {
            OutOfMemory(st);
        }
    }
    st->len = top.textStart;
    --st->openCount;
    if (node->kind == XmlKindElement)
        --st->elementDepth;
    if (st->openCount > 0) {
        XmlOpenNode& parent = st->open[st->openCount - 1];
        parent.lastChild = node;
        parent.sinceChild = 0;
    }
}

std::int16_t CurrentKind(XmlParseState* st) { return st->open[st->openCount - 1].node->kind; }

bool EqualsIgnoringCase(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b) {
        char x = *a, y = *b;
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = static_cast<char>(y - 'a' + 'A');
        if (x != y)
            return false;
    }
    return *a == *b;
}

// ---------------------------------------------------------------------------
// Expat handlers.

void XMLCALL OnStartElement(void* userData, const XML_Char* name, const XML_Char** atts)
{
    XmlParseState* st = State(userData);
    if (st->stopped)
        return;
    if (st->elementDepth >= XmlMaxLoadDepth) {
        Stop(st, XmlStatusTooDeep, "nesting deeper than 1000 levels");
        return;
    }
    // Name and attributes are stored before the element joins the tree, so
    // that it never holds less than the file says.
    XmlDocument* doc = st->doc;
    const XmlStr stored = st->names.Get(doc, name);
    if (!stored.p) {
        OutOfMemory(st);
        return;
    }
    std::size_t count = 0;
    while (atts[2 * count])
        ++count;
    XmlAttr* attrs = nullptr;
    std::int32_t idIndex = -1;
    if (count > 0) {
        attrs = static_cast<XmlAttr*>(XmlArenaAllocate(doc, count * sizeof(XmlAttr)));
        if (!attrs) {
            OutOfMemory(st);
            return;
        }
        for (std::size_t i = 0; i < count; ++i) {
            const char* an = atts[2 * i];
            const char* av = atts[2 * i + 1];
            new (&attrs[i]) XmlAttr();
            attrs[i].name = st->names.Get(doc, an);
            // Short values ("1", "home") repeat like names do.
            attrs[i].value = st->names.Get(doc, av, ShortValue);
            if (!attrs[i].name.p || !attrs[i].value.p) {
                OutOfMemory(st);
                return;
            }
            if ((an[0] | kAsciiLowerCase) == 'i' && (an[1] | kAsciiLowerCase) == 'd' && an[2] == 0)
                idIndex = static_cast<std::int32_t>(i);
        }
    }
    XmlNode* node = OpenNode(st, XmlKindElement);
    if (!node)
        return;
    ++st->elementDepth;
    node->name = stored;
    node->idAttributeIndex = idIndex;
    if (attrs) {
        node->attributes = attrs;
        node->attributesOnHeap = false;
        node->attributeCount = static_cast<std::int32_t>(count);
    }
    if (!doc->mainNode)
        doc->mainNode = node;
}

void XMLCALL OnEndElement(void* userData, const XML_Char*)
{
    XmlParseState* st = State(userData);
    if (st->stopped)
        return;
    if (CurrentKind(st) == XmlKindElement)
        CloseNode(st);
}

void XMLCALL OnCharacterData(void* userData, const XML_Char* s, int len)
{
    XmlParseState* st = State(userData);
    if (st->stopped)
        return;
    AppendCharacterData(st, s, static_cast<std::size_t>(len));
}

void XMLCALL OnComment(void* userData, const XML_Char* data)
{
    XmlParseState* st = State(userData);
    if (st->stopped || !OpenNode(st, XmlKindComment))
        return;
    AppendCharacterData(st, data, std::strlen(data));
    CloseNode(st);
}

void XMLCALL OnInstruction(void* userData, const XML_Char* target, const XML_Char* data)
{
    XmlParseState* st = State(userData);
    if (st->stopped)
        return;
    const XmlStr stored = st->names.Get(st->doc, target);
    if (!stored.p) {
        OutOfMemory(st);
        return;
    }
    XmlNode* node = OpenNode(st, XmlKindInstruction);
    if (!node)
        return;
    node->name = stored;
    AppendCharacterData(st, data, std::strlen(data));
    CloseNode(st);
}

void XMLCALL OnStartCData(void* userData)
{
    XmlParseState* st = State(userData);
    if (!st->stopped)
        OpenNode(st, XmlKindCData);
}

void XMLCALL OnEndCData(void* userData)
{
    XmlParseState* st = State(userData);
    if (!st->stopped && CurrentKind(st) == XmlKindCData)
        CloseNode(st);
}

void AppendQuoted(XmlParseState* st, const char* id)
{
    const char* quote = std::strchr(id, '"') ? "'" : "\"";
    AppendAscii(st, " ");
    AppendAscii(st, quote);
    AppendRaw(st, id, std::strlen(id));
    AppendAscii(st, quote);
}

void XMLCALL OnStartDoctype(void* userData, const XML_Char* name, const XML_Char* sysid, const XML_Char* pubid,
                            int hasInternalSubset)
{
    XmlParseState* st = State(userData);
    if (st->stopped || !OpenNode(st, XmlKindDtd))
        return;
    AppendAscii(st, "<!DOCTYPE ");
    AppendRaw(st, name, std::strlen(name));
    if (sysid)
        AppendAscii(st, pubid ? " PUBLIC" : " SYSTEM");
    if (pubid)
        AppendQuoted(st, pubid);
    if (sysid)
        AppendQuoted(st, sysid);
    if (hasInternalSubset) {
        AppendAscii(st, " [");
    } else {
        AppendAscii(st, ">");
        CloseNode(st);
    }
}

void XMLCALL OnEndDoctype(void* userData)
{
    XmlParseState* st = State(userData);
    if (st->stopped || CurrentKind(st) != XmlKindDtd)
        return;
    AppendAscii(st, "]>");
    CloseNode(st);
}

void XMLCALL OnXmlDeclaration(void* userData, const XML_Char* version, const XML_Char* encoding, int standalone)
{
    XmlParseState* st = State(userData);
    if (st->stopped || !version)
        return;  // text declarations of external entities carry no version
    XmlDocument* doc = st->doc;
    if (encoding && !doc->encodingForced) {
        if (EqualsIgnoringCase(encoding, "US-ASCII") || EqualsIgnoringCase(encoding, "ISO-8859-1"))
            doc->encoding = XmlEncoding::Latin1;
        else if (EqualsIgnoringCase(encoding, "UTF-16"))
            doc->encoding = XmlEncoding::Utf16;
        else
            doc->encoding = XmlEncoding::Utf8;
    }
    doc->standalone = standalone < 0 ? -1 : (standalone ? 1 : 0);
}

// Whitespace outside the document element, markup declarations of the
// internal subset and anything else Expat reports nowhere else; kept as
// written.
void XMLCALL OnDefault(void* userData, const XML_Char* s, int len)
{
    XmlParseState* st = State(userData);
    if (!st->stopped)
        AppendRaw(st, s, static_cast<std::size_t>(len));
}

// ---------------------------------------------------------------------------
// Line ends.

// The first line break of a chunk decides the document's style. Chunks with
// more than four zero bytes are UTF-16 (little-endian, or big-endian after a
// FE FF byte-order mark). A break in the very first unit is skipped and the
// last unit does not start one, since its partner may be in the next chunk.
XmlLineEnd DetectLineEnd(const unsigned char* b, std::size_t n, bool bigEndian)
{
    // Count zero bytes up to five (memchr keeps the common, zero-free chunk
    // cheap).
    std::size_t zeros = 0;
    for (const unsigned char* p = b; zeros <= 4;) {
        p = static_cast<const unsigned char*>(std::memchr(p, 0, static_cast<std::size_t>(b + n - p)));
        if (!p)
            break;
        ++zeros;
        ++p;
    }
    if (zeros > 4) {
        std::size_t units = n / 2;
        auto unit = [&](std::size_t i) -> unsigned {
            return bigEndian ? (b[2 * i] << 8) | b[2 * i + 1] : b[2 * i] | (b[2 * i + 1] << 8);
        };
        std::size_t i = units > 0 && unit(0) == '\n' ? 1 : 0;
        for (; i + 1 < units; ++i) {
            unsigned u = unit(i);
            if (u == '\r')
                return unit(i + 1) == '\n' ? XmlLineEnd::CrLf : XmlLineEnd::Cr;
            if (u == '\n')
                return XmlLineEnd::Lf;
        }
        return XmlLineEnd::Unknown;
    }
    // Bytes: the first CR or LF from the second byte on, if it is not the
    // last byte.
    std::size_t from = n > 0 && b[0] == '\n' ? 1 : 0;
    if (n < from + 2)
        return XmlLineEnd::Unknown;
    std::size_t scan = n - 1 - from;  // the last byte starts no break
    const auto* lf = static_cast<const unsigned char*>(std::memchr(b + from, '\n', scan));
    const auto* cr = static_cast<const unsigned char*>(std::memchr(b + from, '\r', lf ? static_cast<std::size_t>(lf - (b + from)) : scan));
    if (cr)
        return cr[1] == '\n' ? XmlLineEnd::CrLf : XmlLineEnd::Cr;
    return lf ? XmlLineEnd::Lf : XmlLineEnd::Unknown;
}

// ---------------------------------------------------------------------------

// The file being loaded.
class File {
public:
    explicit File(const std::u16string& path) : fd_(Open(path)) {}
    ~File()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    // Size of a regular file; -1 for anything else, or a file not opened.
    long long Size() const
    {
        struct stat s {};
        if (fd_ < 0 || ::fstat(fd_, &s) != 0 || !S_ISREG(s.st_mode))
            return -1;
        return static_cast<long long>(s.st_size);
    }
    // Reads up to n bytes; fewer only at the end of the file or on an error.
    std::size_t Read(char* into, std::size_t n)
    {
        if (g_readLimit >= 0) {
            long long left = g_readLimit - read_;
            if (left <= 0)
                return 0;
            if (static_cast<long long>(n) > left)
                n = static_cast<std::size_t>(left);
        }
        std::size_t got = 0;
        while (got < n) {
            ssize_t r = ::read(fd_, into + got, n - got);
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0)
                break;
            got += static_cast<std::size_t>(r);
        }
        read_ += static_cast<long long>(got);
        return got;
    }

private:
    // -1 when the file cannot be opened, or its name not even converted.
    static int Open(const std::u16string& path)
    {
        try {
            // Never blocks: a named pipe opens at once and is then refused
            // as a file that is not regular.
            return ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        } catch (const std::bad_alloc&) {
            return -1;
        }
    }

    int fd_;
    long long read_ = 0;
};

struct ParserFree {
    void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};
using ParserHandle = std::unique_ptr<std::remove_pointer_t<XML_Parser>, ParserFree>;

// A parser for the given encoding, or one that detects it; its memory
// comes from the library's allocation functions.
ParserHandle NewParser(std::optional<XmlEncoding> encoding)
{
    const char* name = nullptr;
    if (encoding) {
        switch (*encoding) {
        case XmlEncoding::Latin1: name = "ISO-8859-1"; break;
        case XmlEncoding::Utf16: name = "UTF-16"; break;
        case XmlEncoding::Utf8: name = "UTF-8"; break;
        }
    }
    return ParserHandle(XML_ParserCreate_MM(name, &XmlExpatMemory, nullptr));
}

void InstallHandlers(XML_Parser parser)
{
    XML_SetElementHandler(parser, OnStartElement, OnEndElement);
    XML_SetCharacterDataHandler(parser, OnCharacterData);
    XML_SetCommentHandler(parser, OnComment);
    XML_SetProcessingInstructionHandler(parser, OnInstruction);
    XML_SetCdataSectionHandler(parser, OnStartCData, OnEndCData);
    XML_SetDoctypeDeclHandler(parser, OnStartDoctype, OnEndDoctype);
    XML_SetXmlDeclHandler(parser, OnXmlDeclaration);
    // Expanding: references to entities of the internal subset arrive as
    // their replacement text (Expat's amplification limits stay in force).
    XML_SetDefaultHandlerExpand(parser, OnDefault);
}

// Ties a fresh document, the parse state and the parser together for a
// file of `size` bytes.
void BeginLoad(XmlParseState& st, XmlDocument* doc, XML_Parser parser, bool encodingForced, std::size_t size)
{
    doc->encodingForced = encodingForced;
    doc->lineEnd = XmlLineEnd::Unknown;
    XmlArenaReserve(doc, size);
    st.doc = doc;
    st.parser = parser;
    st.open[0] = XmlOpenNode{doc->rootNode, nullptr, 0, 0};
    st.openCount = 1;
    InstallHandlers(parser);
    XML_SetUserData(parser, &st);
}

// Feeds the file's `total` bytes to the parser, chunk by chunk, until the
// end or the first failure. The first chunk that shows a line break
// decides the document's style.
void Feed(XmlParseState& st, File& file, unsigned long long total)
{
    XML_Parser parser = st.parser;
    XmlDocument* doc = st.doc;
    unsigned long long done = 0;
    bool bigEndian = false;
    while (done < total) {
        std::size_t want = static_cast<std::size_t>(std::min<unsigned long long>(g_chunkBytes, total - done));
        auto* buffer = static_cast<char*>(XML_GetBuffer(parser, static_cast<int>(want)));
        if (!buffer) {
            OutOfMemory(&st);
            return;
        }
        std::size_t got = file.Read(buffer, want);
        if (got == 0) {
            Stop(&st, XmlStatusShortRead, "file ended before its measured size was read");
            return;
        }
        const auto* bytes = reinterpret_cast<const unsigned char*>(buffer);
        if (done == 0 && got >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF)
            bigEndian = true;
        if (doc->lineEnd == XmlLineEnd::Unknown)
            doc->lineEnd = DetectLineEnd(bytes, got, bigEndian);
        done += got;
        bool last = done >= total;
        if (XML_ParseBuffer(parser, static_cast<int>(got), last ? XML_TRUE : XML_FALSE) != XML_STATUS_OK) {
            Stop(&st, XML_GetErrorCode(parser), nullptr);  // unless a handler stopped it first
            return;
        }
    }
}

// Whatever is still open keeps the text read so far; a failure becomes the
// document's status.
void FinishLoad(XmlParseState& st)
{
    while (st.openCount > 0)
        CloseNode(&st);
    if (!st.stopped)
        return;
    const char* message = st.failMessage;
    if (!message)
        message = XML_ErrorString(static_cast<XML_Error>(st.failStatus));
    XmlDocSetError(st.doc, st.failStatus, st.failLine, st.failColumn, message ? message : "");
}

}  // namespace

// Test seam: the size of the pieces the file is fed in (0 restores the
// normal size).
void XmlSetLoadChunkSize(std::size_t bytes) { g_chunkBytes = bytes ? bytes : ChunkBytes; }

void XmlSetLoadReadLimit(long long bytes) { g_readLimit = bytes < 0 ? -1 : bytes; }

XmlDocument* XmlLoadFileAs(int document, const std::u16string& path, std::optional<XmlEncoding> encoding)
{
    if (path.empty() || document < -1)
        return nullptr;
    File file(path);
    const long long size = file.Size();
    if (size <= 0)
        return nullptr;
    ParserHandle parser = NewParser(encoding);
    if (!parser)
        return nullptr;
    std::unique_ptr<XmlParseState> st(new (std::nothrow) XmlParseState());
    if (!st)
        return nullptr;
    XmlDocument* doc = XmlNewDocument(document, encoding.value_or(XmlEncoding::Utf8));
    if (!doc)
        return nullptr;
    BeginLoad(*st, doc, parser.get(), encoding.has_value(), static_cast<std::size_t>(size));
    Feed(*st, file, static_cast<unsigned long long>(size));
    FinishLoad(*st);
    return doc;
}

XmlDocument* XmlLoadFile(int document, const std::u16string& path)
{
    return XmlLoadFileAs(document, path, std::nullopt);
}

// Names -----------------------------------------------------------------------

namespace {

bool AsciiNameStart(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u':';
}

bool AsciiNameCharacter(char16_t c)
{
    return AsciiNameStart(c) || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.';
}

}  // namespace

bool XmlIsName(std::u16string_view name)
{
    if (name.empty())
        return false;
    bool ascii = true;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char16_t c = name[i];
        if (c >= 0x80)
            ascii = false;
        else if (i == 0 ? !AsciiNameStart(c) : !AsciiNameCharacter(c))
            return false;
    }
    if (ascii)
        return true;
    if (HoldsNonXmlCharacters(name))
        return false;
    // Only name characters among the ASCII ones: "<" name "/>" is
    // well-formed exactly when name is a name.
    try {
        const std::string element = "<" + Utf16ToUtf8(name) + "/>";
        if (element.size() > static_cast<std::size_t>(INT_MAX))
            return false;
        const ParserHandle parser = NewParser(XmlEncoding::Utf8);
        return parser && XML_Parse(parser.get(), element.data(), static_cast<int>(element.size()), 1) == XML_STATUS_OK;
    } catch (const std::bad_alloc&) {
        return false;
    }
}
