// Serialiser: writes a document with its XML declaration in UTF-8, UTF-16 or
// ISO-8859-1 through a 4096-byte buffer, into memory or atomically into a
// file (temporary file beside the target, renamed over it when complete).
//
// The serialiser adds no line breaks or indentation: the layout of a written
// document is entirely in its node texts (see XmlFormat).
#include "xml/xml_internal.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

long long g_writeFailureAfter = -1;

// Size of the writes a save hands to the system.
constexpr std::size_t StagedWriteBytes = 1 << 16;

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
                char32_t cp = NextCode(p, end);
                const char* e = cp < 0x80 && special[cp] ? EscapeOf(static_cast<char16_t>(cp), mode) : nullptr;
                sink_.Put(b, e ? EncodeAscii(b, e) : EncodeCode(b, cp, reference));
                continue;
            }
            // Every piece written here fits: the loop stops while there is
            // room for one more.
            unsigned char* const begin = sink_.Free();
            unsigned char* out = begin;
            unsigned char* const stop = begin + sink_.Room() - kLongestPiece;
            switch (encoding_) {
            case XmlEncoding::Utf8:
                while (p < end && out <= stop) {
                    const char16_t c = *p;
                    if (c < 0x80 && !special[c]) {
                        *out++ = static_cast<unsigned char>(c);
                        ++p;
                    } else {
                        out = Piece(out, p, end, special, mode, reference);
                    }
                }
                break;
            case XmlEncoding::Utf16:
                while (p < end && out <= stop) {
                    const char16_t c = *p;
                    if ((c < 0x80 && !special[c]) || (c >= 0x80 && (c < 0xD800 || c > 0xDFFF))) {
                        out[0] = static_cast<unsigned char>(c & 0xFF);
                        out[1] = static_cast<unsigned char>(c >> 8);
                        out += 2;
                        ++p;
                    } else {
                        out = Piece(out, p, end, special, mode, reference);
                    }
                }
                break;
            default:
                while (p < end && out <= stop) {
                    const char16_t c = *p;
                    if ((c < 0x80 && !special[c]) || (c >= 0x80 && c <= 0xFF)) {
                        *out++ = static_cast<unsigned char>(c);
                        ++p;
                    } else {
                        out = Piece(out, p, end, special, mode, reference);
                    }
                }
                break;
            }
            sink_.Commit(static_cast<std::size_t>(out - begin));
        }
    }

private:
    // The code point at p (a surrogate pair taken together, a lone
    // surrogate as U+FFFD), and p moved past it.
    static char32_t NextCode(const char16_t*& p, const char16_t* end)
    {
        char32_t cp = *p++;
        if (cp >= 0xD800 && cp <= 0xDBFF && p < end && *p >= 0xDC00 && *p <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (*p - 0xDC00);
            ++p;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;  // a lone surrogate has no encoding
        }
        return cp;
    }

    // Writes the piece for the code point at p (its escape, or its
    // encoding) at out and returns the end of what was written.
    unsigned char* Piece(unsigned char* out, const char16_t*& p, const char16_t* end, const bool* special,
                         TextMode mode, bool reference) const
    {
        const char32_t cp = NextCode(p, end);
        if (cp < 0x80 && special[cp])
            return out + EncodeAscii(out, EscapeOf(static_cast<char16_t>(cp), mode));
        return out + EncodeCode(out, cp, reference);
    }

    void CommentText(std::u16string_view s)
    {
        bool lastDash = false;
        const char16_t* p = s.data();
        const char16_t* const end = p + s.size();
        unsigned char b[kLongestPiece];
        while (p < end) {
            const char32_t cp = NextCode(p, end);
            if (cp == u'-' && lastDash)
                sink_.Put(b, EncodeCode(b, u' ', false));
            lastDash = cp == u'-';
            sink_.Put(b, EncodeCode(b, cp, false));
        }
        if (lastDash)
            sink_.Put(b, EncodeCode(b, u' ', false));
    }

    // An escape or reference, written as one piece; returns its length.
    std::size_t EncodeAscii(unsigned char* out, const char* ascii) const
    {
        std::size_t n = 0;
        for (; *ascii; ++ascii) {
            out[n++] = static_cast<unsigned char>(*ascii);
            if (encoding_ == XmlEncoding::Utf16)
                out[n++] = 0;
        }
        return n;
    }

    // One code point; `reference` allows a character reference where the
    // encoding cannot hold the character. Returns the number of bytes.
    std::size_t EncodeCode(unsigned char* b, char32_t cp, bool reference) const
    {
        switch (encoding_) {
        case XmlEncoding::Utf16:
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
        case XmlEncoding::Utf8:
            if (cp < 0x80) {
                b[0] = static_cast<unsigned char>(cp);
                return 1;
            }
            if (cp < 0x800) {
                b[0] = static_cast<unsigned char>(0xC0 | (cp >> 6));
                b[1] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
                return 2;
            }
            if (cp < 0x10000) {
                b[0] = static_cast<unsigned char>(0xE0 | (cp >> 12));
                b[1] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
                b[2] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
                return 3;
            }
            b[0] = static_cast<unsigned char>(0xF0 | (cp >> 18));
            b[1] = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
            b[2] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
            b[3] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
            return 4;
        default:  // ISO-8859-1
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
    const XmlNode* next;  // next child to write
    std::uint32_t read;   // characters of the text written so far
    TextMode mode;
};

class TreeWriter {
public:
    explicit TreeWriter(Encoder& out) : out_(out) {}

    void Write(const XmlNode* root)
    {
        Open(root);
        while (!stack_.empty()) {
            OpenNode& top = stack_.back();
            std::u16string_view text = top.node->text.view();
            if (const XmlNode* child = top.next) {
                top.next = child->nextSibling;
                std::uint32_t left = static_cast<std::uint32_t>(text.size()) - top.read;
                std::uint32_t n = child->precedingTextLength < left ? child->precedingTextLength : left;
                if (n > 0) {
                    out_.Text(text.substr(top.read, n), top.mode);
                    top.read += n;
                }
                Open(child);  // may invalidate `top`
                continue;
            }
            if (top.read < text.size())
                out_.Text(text.substr(top.read), top.mode);
            if (top.node->kind == XmlKindElement) {
                out_.Ascii("</");
                out_.Text(top.node->name.view(), TextMode::Raw);
                out_.Ascii(">");
            }
            stack_.pop_back();
        }
    }

private:
    void Open(const XmlNode* node)
    {
        switch (node->kind) {
        case XmlKindRoot:
            stack_.push_back(OpenNode{node, node->firstChild, 0, TextMode::RootCharData});
            break;
        case XmlKindElement:
            out_.Ascii("<");
            out_.Text(node->name.view(), TextMode::Raw);
            for (std::int32_t i = 0; i < node->attributeCount; ++i) {
                out_.Ascii(" ");
                out_.Text(node->attributes[i].name.view(), TextMode::Raw);
                out_.Ascii("=\"");
                out_.Text(node->attributes[i].value.view(), TextMode::Attribute);
                out_.Ascii("\"");
            }
            if (!node->firstChild && node->text.n == 0) {
                out_.Ascii("/>");
            } else {
                out_.Ascii(">");
                stack_.push_back(OpenNode{node, node->firstChild, 0, TextMode::CharData});
            }
            break;
        case XmlKindComment:
            out_.Ascii("<!--");
            out_.Text(node->text.view(), TextMode::Comment);
            out_.Ascii("-->");
            break;
        case XmlKindCData:
            out_.Ascii("<![CDATA[");
            out_.Text(node->text.view(), TextMode::Raw);
            out_.Ascii("]]>");
            break;
        case XmlKindDtd:
            // Comments and instructions of the internal subset are children.
            stack_.push_back(OpenNode{node, node->firstChild, 0, TextMode::Raw});
            break;
        case XmlKindInstruction:
            out_.Ascii("<?");
            out_.Text(node->name.view(), TextMode::Raw);
            out_.Ascii(" ");
            out_.Text(node->text.view(), TextMode::Raw);
            out_.Ascii("?>");
            break;
        default:
            break;
        }
    }

    Encoder& out_;
    std::vector<OpenNode> stack_;
};

bool Serialize(XmlDocument* doc, unsigned saveFlags, ByteSink& sink)
{
    XmlEncoding encoding = XmlDocEncoding(doc);
    if (encoding != XmlEncoding::Utf16 && encoding != XmlEncoding::Utf8)
        encoding = XmlEncoding::Latin1;
    Encoder out(sink, encoding);
    out.ByteOrderMark((saveFlags & XmlSaveWithBom) != 0);
    if (!(saveFlags & XmlSaveNoDeclaration))
        WriteDeclaration(out, encoding, XmlDocStandalone(doc));
    if (const XmlNode* root = XmlDocRoot(doc))
        TreeWriter(out).Write(root);
    return sink.Flush();
}

// ---------------------------------------------------------------------------
// Files

// Writes all n bytes, honouring the failure seam; false on any error.
bool WriteAll(int fd, const unsigned char* data, std::size_t n, long long& written)
{
    std::size_t allowed = n;
    bool cut = false;
    if (g_writeFailureAfter >= 0) {
        long long room = g_writeFailureAfter - written;
        if (room < 0)
            room = 0;
        if (static_cast<unsigned long long>(room) < n) {
            allowed = static_cast<std::size_t>(room);
            cut = true;
        }
    }
    std::size_t done = 0;
    while (done < allowed) {
        ssize_t r = ::write(fd, data + done, allowed - done);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        done += static_cast<std::size_t>(r);
        written += r;
    }
    return !cut;
}

std::string DirectoryOf(const std::string& path)
{
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

mode_t NewFileMode(const std::string& target)
{
    struct stat st;
    if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        return st.st_mode & 07777;
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

void SyncDirectory(const std::string& dir)
{
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

void XmlSetWriteFailureAfter(long long bytes)
{
    g_writeFailureAfter = bytes < 0 ? -1 : bytes;
}

std::string XmlPathToNative(const std::u16string& path)
{
    std::string out;
    out.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        char32_t cp = path[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < path.size() && path[i + 1] >= 0xDC00 && path[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (path[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
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
    return out;
}

std::string XmlSerializeToBytes(int document, unsigned saveFlags)
{
    XmlDocument* doc = XmlFindDocument(document);
    if (!doc)
        return {};
    std::string bytes;
    ByteSink sink([&bytes](const unsigned char* data, std::size_t n) {
        bytes.append(reinterpret_cast<const char*>(data), n);
        return true;
    });
    Serialize(doc, saveFlags, sink);
    return bytes;
}

int XmlSaveFileEx(int document, const std::u16string& path, unsigned saveFlags)
{
    if (path.empty())
        return 0;
    XmlDocument* doc = XmlFindDocument(document);
    if (!doc)
        return 0;
    std::string target = XmlPathToNative(path);
    if (target.find('\0') != std::string::npos || target.back() == '/')
        return 0;
    // A symbolic link stays: the file it points to is replaced.
    struct stat link;
    if (::lstat(target.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        if (char* real = ::realpath(target.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    }

    const std::string dir = DirectoryOf(target);
    std::string temp = (dir == "/" ? std::string() : dir) + "/.nw-save-XXXXXX";
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return 0;

    bool ok = ::fchmod(fd, NewFileMode(target)) == 0;
    if (ok) {
        // The 4096-byte pieces of the sink are gathered into larger writes:
        // far fewer system calls, the same bytes.
        long long written = 0;
        std::vector<unsigned char> staged;
        staged.reserve(StagedWriteBytes);
        ByteSink sink([fd, &written, &staged](const unsigned char* data, std::size_t n) {
            if (staged.size() + n > StagedWriteBytes) {
                if (!WriteAll(fd, staged.data(), staged.size(), written))
                    return false;
                staged.clear();
            }
            staged.insert(staged.end(), data, data + n);
            return true;
        });
        ok = Serialize(doc, saveFlags, sink) && WriteAll(fd, staged.data(), staged.size(), written);
    }
    if (ok)
        ok = ::fsync(fd) == 0;
    if (::close(fd) != 0)
        ok = false;
    if (ok)
        ok = ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return 0;
    }
    SyncDirectory(dir);
    return 1;
}

int XmlSaveFile(int document, const std::u16string& path)
{
    return XmlSaveFileEx(document, path, 0);
}
