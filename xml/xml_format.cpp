// Whitespace formatting of a whole document: normalisation of blanks and line
// breaks, line-break style, and the reformat, reindent and CR LF passes.
//
// A node's text holds every piece of character data directly inside it; each
// child records in precedingTextLength how many of those characters lie
// between the previous sibling (or the start) and itself. Every pass below
// rewrites texts segment by segment and sets the children's new lengths.
//
// None of the walks recurses per nesting level: the normalisation keeps an
// explicit stack of open nodes, the other passes walk by parent links.
#include "xml/xml_internal.h"

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

namespace {

constexpr char16_t kCr = u'\r';
constexpr char16_t kLf = u'\n';

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }
bool IsBreak(char16_t c) { return c == kCr || c == kLf; }

// Length of the line break starting at p[i] (2 for a CR LF pair, else 1);
// `end` bounds the segment, so a pair never spans a child.
std::uint32_t BreakLength(const char16_t* p, std::uint32_t i, std::uint32_t end)
{
    return (p[i] == kCr && i + 1 < end && p[i + 1] == kLf) ? 2 : 1;
}

bool HasText(const XmlNode* node) { return node->text.p && node->text.n > 0; }

bool HasBreak(const XmlNode* node)
{
    for (std::uint32_t i = 0; i < node->text.n; ++i)
        if (IsBreak(node->text.p[i]))
            return true;
    return false;
}

// Characters of the text that a child's segment covers, from `read` on.
std::uint32_t SegmentEnd(const XmlNode* node, std::uint32_t read, std::uint32_t wanted)
{
    std::uint32_t left = node->text.n - read;
    return read + (wanted < left ? wanted : left);
}

// Installs a freshly built heap text of n units (buffer holds n + 1).
void ReplaceText(XmlNode* node, char16_t* buffer, std::size_t n)
{
    buffer[n] = 0;
    XmlStrRelease(node->text);
    node->text.p = buffer;
    node->text.n = static_cast<std::uint32_t>(n);
    node->text.heap = true;
}

char16_t* AllocateText(std::uint64_t units)
{
    if (units >= std::numeric_limits<std::uint32_t>::max())
        return nullptr;
    return static_cast<char16_t*>(std::malloc((static_cast<std::size_t>(units) + 1) * sizeof(char16_t)));
}

// Next node of a pre-order walk below `top`; children are skipped when
// `descend` is false. `depth` follows the walk (top has depth 0).
XmlNode* NextInWalk(XmlNode* node, XmlNode* top, bool descend, std::int64_t& depth)
{
    if (descend && node->firstChild) {
        ++depth;
        return node->firstChild;
    }
    while (node != top && !node->nextSibling) {
        node = node->parent;
        --depth;
    }
    if (node == top)
        return nullptr;
    return node->nextSibling;
}

// Output of a text builder: counts units first, then writes into a buffer of
// that size. Builders may take back what they just wrote, so the buffer is
// sized by the furthest point reached. A count that passes what one text can
// hold is marked too long instead of growing further.
struct TextOut {
    static constexpr std::uint64_t kMaxUnits = std::numeric_limits<std::uint32_t>::max() - 1;

    char16_t* p = nullptr;  // nullptr while counting
    std::uint64_t n = 0;
    std::uint64_t peak = 0;  // furthest n while counting
    bool tooLong = false;

    bool counting() const { return p == nullptr; }
    void Grow(std::uint64_t k)
    {
        if (k > kMaxUnits || n + k > kMaxUnits) {
            tooLong = true;
        } else {
            n += k;
            if (n > peak)
                peak = n;
        }
    }
    void Put(char16_t c)
    {
        if (p)
            p[n++] = c;
        else
            Grow(1);
    }
    void Put(std::u16string_view s)
    {
        for (char16_t c : s)
            Put(c);
    }
    void Blanks(std::int64_t count)
    {
        if (count <= 0)
            return;
        if (!p) {
            Grow(static_cast<std::uint64_t>(count));
            return;
        }
        for (std::int64_t i = 0; i < count; ++i)
            p[n++] = u' ';
    }
    // Takes back the last k units written.
    void Unput(std::uint64_t k)
    {
        if (!tooLong)
            n -= k;
    }
};

// ---------------------------------------------------------------------------
// Normalisation

unsigned NodeFlags(const XmlNode* node, unsigned flags)
{
    if (node->kind == XmlKindCData || node->kind == XmlKindInstruction)
        return flags & (XmlFormatCrLf | XmlFormatLf | XmlFormatCr | XmlFormatReformat);
    if (node->kind == XmlKindDtd)
        return flags & ~(XmlFormatCutLineBreaks | XmlFormatCutBlanks);
    return flags;
}

class Normaliser {
public:
    explicit Normaliser(XmlNode* root) : root_(root) {}

    void Run(unsigned flags)
    {
        Open(root_, flags);
        while (!stack_.empty()) {
            Frame& frame = stack_.back();
            if (XmlNode* child = frame.next) {
                frame.next = child->nextSibling;
                if (frame.hasText) {
                    std::uint32_t end = SegmentEnd(frame.node, frame.read, child->precedingTextLength);
                    std::uint32_t before = frame.write;
                    Rewrite(frame, end);
                    child->precedingTextLength = frame.write - before;
                } else {
                    child->precedingTextLength = 0;
                }
                unsigned childFlags = frame.flags;
                Open(child, childFlags);  // may invalidate `frame`
                continue;
            }
            if (frame.hasText) {
                Rewrite(frame, frame.node->text.n);
                frame.node->text.n = frame.write;
            }
            stack_.pop_back();
            if (!stack_.empty())
                afterText_ = true;  // a finished child counts as text
        }
    }

private:
    struct Frame {
        XmlNode* node;
        XmlNode* next;
        std::uint32_t read;
        std::uint32_t write;
        unsigned flags;
        bool hasText;
    };

    void Open(XmlNode* node, unsigned parentFlags)
    {
        unsigned flags = NodeFlags(node, parentFlags);
        bool hasText = HasText(node);
        if (hasText && node != root_) {
            afterText_ = true;
            afterBreak_ = false;
        }
        stack_.push_back(Frame{node, node->firstChild, 0, 0, flags, hasText});
    }

    // Rewrites the frame's text from `read` up to `end` in place; the result
    // is never longer than its source.
    void Rewrite(Frame& frame, std::uint32_t end)
    {
        char16_t* p = frame.node->text.p;
        const unsigned f = frame.flags;
        std::uint32_t i = frame.read;
        std::uint32_t w = frame.write;
        while (i < end) {
            char16_t c = p[i];
            if (IsBlank(c)) {
                ++i;
                if ((f & XmlFormatCutBlanks) || ((f & XmlFormatCollapseBlanks) && !afterText_))
                    continue;
                p[w++] = c;
                afterText_ = false;
                afterBreak_ = false;
            } else if (IsBreak(c)) {
                std::uint32_t len = BreakLength(p, i, end);
                i += len;
                if ((f & XmlFormatCutLineBreaks) || ((f & XmlFormatCollapseLineBreaks) && afterBreak_))
                    continue;
                if (f & XmlFormatLf) {
                    p[w++] = kLf;
                } else if (f & XmlFormatCr) {
                    p[w++] = kCr;
                } else {
                    p[w++] = c;
                    if (len == 2)
                        p[w++] = kLf;
                }
                afterBreak_ = true;
                afterText_ = false;
            } else {
                p[w++] = c;
                ++i;
                afterBreak_ = false;
                afterText_ = true;
            }
        }
        frame.read = end;
        frame.write = w;
    }

    XmlNode* root_;
    std::vector<Frame> stack_;
    bool afterBreak_ = false;
    bool afterText_ = false;
};

// ---------------------------------------------------------------------------
// CR LF conversion of one node's text: lone CR or LF becomes CR LF.

template <class Out>
void BuildCrLf(XmlNode* node, Out& out)
{
    const char16_t* p = node->text.p;
    std::uint32_t read = 0;
    auto copy = [&](std::uint32_t end) {
        while (read < end) {
            char16_t c = p[read];
            if (IsBreak(c)) {
                read += BreakLength(p, read, end);
                out.Put(kCr);
                out.Put(kLf);
            } else {
                out.Put(c);
                ++read;
            }
        }
    };
    for (XmlNode* child = node->firstChild; child; child = child->nextSibling) {
        std::uint32_t end = SegmentEnd(node, read, child->precedingTextLength);
        std::uint64_t start = out.n;
        copy(end);
        if (!out.counting())
            child->precedingTextLength = static_cast<std::uint32_t>(out.n - start);
    }
    copy(node->text.n);
}

bool NeedsCrLf(const XmlNode* node)
{
    const char16_t* p = node->text.p;
    for (std::uint32_t i = 0; i < node->text.n; ++i) {
        if (p[i] == kLf || (p[i] == kCr && (i + 1 >= node->text.n || p[i + 1] != kLf)))
            return true;
    }
    return false;
}

// Builds a node's text twice, counting then writing, and installs it.
// Returns false when memory ran out; the node then keeps its old text.
template <class Build>
bool RebuildText(XmlNode* node, Build build)
{
    TextOut count;
    build(count);
    if (count.tooLong)
        return false;
    char16_t* buffer = AllocateText(count.peak);
    if (!buffer)
        return false;
    TextOut out;
    out.p = buffer;
    build(out);
    ReplaceText(node, buffer, static_cast<std::size_t>(out.n));
    return true;
}

bool ConvertToCrLf(XmlNode* node)
{
    if (!HasText(node) || !NeedsCrLf(node))
        return true;
    return RebuildText(node, [node](TextOut& out) { BuildCrLf(node, out); });
}

void CrLfPass(XmlNode* root)
{
    std::int64_t depth = 0;
    for (XmlNode* node = root; node; node = NextInWalk(node, root, true, depth))
        ConvertToCrLf(node);
}

// ---------------------------------------------------------------------------
// Reformat: line breaks and indentation around all children rebuilt.

struct ReformatContext {
    std::u16string_view nl;
    std::int64_t step;
};

class ReformatBuilder {
public:
    ReformatBuilder(XmlNode* node, bool isRoot, std::int64_t a, const ReformatContext& ctx, TextOut& out)
        : node_(node), isRoot_(isRoot), a_(a), ctx_(ctx), out_(out)
    {
    }

    // Node without text, with children.
    void BuildWithoutText()
    {
        const XmlNode* previous = nullptr;
        for (XmlNode* child = node_->firstChild; child; child = child->nextSibling) {
            std::uint64_t start = out_.n;
            RootExtraBreak(child, previous);
            Break();
            SetLength(child, start);
            previous = child;
        }
        out_.Put(ctx_.nl);
        if (!isRoot_)
            out_.Blanks(a_ - ctx_.step);
    }

    // Node with text.
    void BuildWithText()
    {
        const char16_t* p = node_->text.p;
        const std::uint32_t n = node_->text.n;
        std::uint32_t read = 0;
        const XmlNode* previous = nullptr;
        bool endsAfterBreak = false;
        for (XmlNode* child = node_->firstChild; child; child = child->nextSibling) {
            std::uint32_t end = SegmentEnd(node_, read, child->precedingTextLength);
            std::uint64_t start = out_.n;
            std::uint32_t i = read;
            while (i < end && IsBlank(p[i]))
                ++i;
            if (i < end && !IsBreak(p[i]))
                Break();
            RootExtraBreak(child, previous);
            if (!CopyLines(p, i, end))
                Break();
            SetLength(child, start);
            read = end;
            previous = child;
        }
        if (node_->firstChild) {
            endsAfterBreak = CopyLines(p, read, n);
        } else {
            std::uint32_t i = 0;
            while (i < n && IsBlank(p[i]))
                ++i;
            bool leadingBreak = i < n && IsBreak(p[i]);
            if (!leadingBreak)
                Break();
            endsAfterBreak = CopyLines(p, i, n) || (!leadingBreak && i == n);
        }
        if (endsAfterBreak) {
            if (!isRoot_) {
                out_.Unput(Indent(a_));
                out_.Blanks(a_ - ctx_.step);
            }
        } else if (!isRoot_) {
            out_.Put(ctx_.nl);
            out_.Blanks(a_ - ctx_.step);
        }
    }

private:
    static std::uint64_t Indent(std::int64_t n) { return n > 0 ? static_cast<std::uint64_t>(n) : 0; }

    void Break()
    {
        out_.Put(ctx_.nl);
        out_.Blanks(a_);
    }

    // At the Root, a child that is the first, an Element, or follows an
    // Element gets an empty line in front.
    void RootExtraBreak(const XmlNode* child, const XmlNode* previous)
    {
        if (!isRoot_)
            return;
        if (!previous || child->kind == XmlKindElement || previous->kind == XmlKindElement)
            out_.Put(ctx_.nl);
    }

    // Copies p[i, end): each line break becomes NL and the indentation, and
    // the blanks and tabs after it are dropped. True when the copy ended
    // with such a replaced break.
    bool CopyLines(const char16_t* p, std::uint32_t i, std::uint32_t end)
    {
        bool afterBreak = false;
        while (i < end) {
            char16_t c = p[i];
            if (IsBreak(c)) {
                i += BreakLength(p, i, end);
                Break();
                afterBreak = true;
            } else if (afterBreak && IsBlank(c)) {
                ++i;
            } else {
                out_.Put(c);
                ++i;
                afterBreak = false;
            }
        }
        return afterBreak;
    }

    void SetLength(XmlNode* child, std::uint64_t start)
    {
        if (!out_.counting())
            child->precedingTextLength = static_cast<std::uint32_t>(out_.n - start);
    }

    XmlNode* node_;
    bool isRoot_;
    std::int64_t a_;
    const ReformatContext& ctx_;
    TextOut& out_;
};

// Reformats one node; false when its children must not be visited.
bool ReformatNode(XmlNode* node, bool isRoot, std::int64_t a, const ReformatContext& ctx, unsigned flags)
{
    if (node->kind == XmlKindCData || node->kind == XmlKindInstruction) {
        if (flags & XmlFormatCrLf)
            ConvertToCrLf(node);
        return false;
    }
    if (!HasText(node)) {
        if (!node->firstChild)
            return true;
        return RebuildText(node, [&](TextOut& out) { ReformatBuilder(node, isRoot, a, ctx, out).BuildWithoutText(); });
    }
    if ((node->kind == XmlKindElement || node->kind == XmlKindComment) && !node->firstChild && !HasBreak(node))
        return true;
    return RebuildText(node, [&](TextOut& out) { ReformatBuilder(node, isRoot, a, ctx, out).BuildWithText(); });
}

void ReformatPass(XmlNode* root, XmlLineEnd style, int step, unsigned flags)
{
    ReformatContext ctx;
    ctx.nl = style == XmlLineEnd::Lf ? u"\n" : style == XmlLineEnd::Cr ? u"\r" : u"\r\n";
    ctx.step = step;
    std::int64_t depth = 0;
    XmlNode* node = root;
    while (node) {
        bool descend = ReformatNode(node, node == root, depth * ctx.step, ctx, flags);
        node = NextInWalk(node, root, descend, depth);
    }
}

// ---------------------------------------------------------------------------
// Reindent: existing line breaks get indentation by nesting depth.

template <class Out>
void BuildReindent(XmlNode* node, std::int64_t level, std::int64_t step, bool toCrLf, Out& out)
{
    const char16_t* p = node->text.p;
    std::uint32_t read = 0;
    bool afterBreak = false;
    auto copy = [&](std::uint32_t end) {
        afterBreak = false;
        while (read < end) {
            char16_t c = p[read];
            if (IsBreak(c)) {
                std::uint32_t len = BreakLength(p, read, end);
                if (len == 2 || toCrLf) {
                    out.Put(kCr);
                    out.Put(kLf);
                } else {
                    out.Put(c);
                }
                read += len;
                out.Blanks(level);
                afterBreak = true;
            } else if (afterBreak && IsBlank(c)) {
                ++read;
            } else {
                out.Put(c);
                ++read;
                afterBreak = false;
            }
        }
    };
    for (XmlNode* child = node->firstChild; child; child = child->nextSibling) {
        std::uint32_t end = SegmentEnd(node, read, child->precedingTextLength);
        std::uint64_t start = out.n;
        copy(end);
        if (!out.counting())
            child->precedingTextLength = static_cast<std::uint32_t>(out.n - start);
    }
    copy(node->text.n);
    if (afterBreak) {
        out.Unput(level > 0 ? static_cast<std::uint64_t>(level) : 0);
        out.Blanks(level - step);
    }
}

void ReindentPass(XmlNode* root, int step, unsigned flags)
{
    const bool toCrLf = (flags & XmlFormatCrLf) != 0;
    // levels[d] is the level handed to the children of the node at depth d.
    std::vector<std::int64_t> levels;
    std::int64_t depth = 0;
    XmlNode* node = root;
    while (node) {
        std::int64_t level = depth > 0 ? levels[static_cast<std::size_t>(depth - 1)] : 0;
        if (HasText(node) && HasBreak(node)) {
            level += step;
            RebuildText(node, [&](TextOut& out) { BuildReindent(node, level, step, toCrLf, out); });
        }
        levels.resize(static_cast<std::size_t>(depth + 1));
        levels[static_cast<std::size_t>(depth)] = level;
        node = NextInWalk(node, root, true, depth);
    }
}

}  // namespace

void XmlFormat(int document, unsigned flags, int step)
{
    XmlDocument* doc = XmlFindDocument(document);
    if (!doc)
        return;
    XmlNode* root = XmlDocRoot(doc);
    if (!root)
        return;

    if (flags & XmlFormatReformat)
        flags |= XmlFormatCollapseLineBreaks | XmlFormatCollapseBlanks;

    if (flags & 0x07E)
        Normaliser(root).Run(flags);

    XmlLineEnd style;
    if (flags & XmlFormatCrLf)
        style = XmlLineEnd::CrLf;
    else if (flags & XmlFormatLf)
        style = XmlLineEnd::Lf;
    else if (flags & XmlFormatCr)
        style = XmlLineEnd::Cr;
    else
        style = XmlDocLineEnd(doc);
    if (style == XmlLineEnd::Unknown)
        style = XmlLineEnd::CrLf;
    XmlDocSetLineEnd(doc, style);

    if (flags & XmlFormatReformat)
        ReformatPass(root, style, step, flags);
    else if (flags & XmlFormatReindent)
        ReindentPass(root, step, flags);
    else if (flags & XmlFormatCrLf)
        CrLfPass(root);
}
