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

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr char16_t kCr = u'\r';
constexpr char16_t kLf = u'\n';

// Flag groups. The line-break styles; the flags the normalisation pass
// carries out; those that remove characters outright; and those that
// apply to the verbatim contents of CDATA sections and instructions.
constexpr unsigned kLineStyleFlags = XmlFormatCrLf | XmlFormatLf | XmlFormatCr;
constexpr unsigned kNormalisingFlags = XmlFormatLf | XmlFormatCr | XmlFormatCutLineBreaks |
                                       XmlFormatCollapseLineBreaks | XmlFormatCutBlanks | XmlFormatCollapseBlanks;
constexpr unsigned kCuttingFlags = XmlFormatCutLineBreaks | XmlFormatCutBlanks;
constexpr unsigned kVerbatimFlags = kLineStyleFlags | XmlFormatReformat;

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

// Hands a node's text to copy(end) in segments: up to each child's place in
// turn, then up to its end; each child's segment is noted with the length
// written for it. read is how far copy has got.
template <class Out, class Copy>
void CopySegments(XmlNode* node, const std::uint32_t& read, Out& out, Copy& copy)
{
    for (XmlNode* child = node->firstChild; child; child = child->nextSibling) {
        const std::uint32_t end = SegmentEnd(node, read, child->precedingTextLength);
        const std::uint64_t start = out.n;
        copy(end);
        out.SetLength(child, start);
    }
    copy(node->text.n);
}

// Room for a text of n units (and its terminator, already set) in the
// document's arena, or on the heap when the arena has none; absent when
// memory runs out.
XmlStr NewText(XmlDocument* doc, std::size_t n)
{
    const std::size_t bytes = (n + 1) * sizeof(char16_t);
    XmlStr text;
    text.p = static_cast<char16_t*>(XmlArenaAllocate(doc, bytes, alignof(char16_t)));
    if (!text.p) {
        text.p = static_cast<char16_t*>(XmlMalloc(bytes));
        if (!text.p)
            return text;
        text.heap = true;
        doc->heapStrings = true;
    }
    text.p[n] = 0;
    text.n = static_cast<std::uint32_t>(n);
    return text;
}

// Makes s[0, n) the node's text. A text is owned by its node alone, so a
// result that fits the old text's room is written over it (not at all when
// it is the same); a longer one takes fresh room in the document's arena,
// or on the heap when the arena has none. False when memory runs out; the
// node then keeps its old text.
bool InstallText(XmlDocument* doc, XmlNode* node, const char16_t* s, std::size_t n)
{
    XmlStr& text = node->text;
    if (text.p && n <= text.n) {
        if (n != text.n || (n > 0 && std::memcmp(text.p, s, n * sizeof(char16_t)) != 0)) {
            if (n > 0)
                std::memcpy(text.p, s, n * sizeof(char16_t));
            text.p[n] = 0;
            text.n = static_cast<std::uint32_t>(n);
        }
        return true;
    }
    XmlStr fresh = NewText(doc, n);
    if (!fresh.p)
        return false;
    if (n > 0)
        std::memcpy(fresh.p, s, n * sizeof(char16_t));
    XmlStrRelease(text);
    text = fresh;
    return true;
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

// Output of a text builder. Usually it writes straight into a scratch
// buffer that grows as needed and serves every node of a pass. A text that
// would pass `budget` units is first counted (no buffer, n and peak only),
// so that an oversized result is refused without being built. Builders may
// take back what they just wrote, so a buffer is sized by the furthest
// point reached. The children's new preceding-text lengths are kept aside
// and set only when the new text is installed. A count that passes what one
// text can hold is marked too long instead of growing further.
struct TextOut {
    static constexpr std::uint64_t kMaxUnits = std::numeric_limits<std::uint32_t>::max() - 1;
    // Units a text may reach before it is counted first.
    static constexpr std::uint64_t kBudget = std::uint64_t{1} << 22;

    char16_t* p = nullptr;
    std::uint64_t n = 0;
    std::uint64_t cap = 0;   // room of p
    std::uint64_t peak = 0;  // furthest n while counting
    std::uint64_t budget = kBudget;
    bool counting = false;
    bool tooLong = false;
    bool noMemory = false;
    bool overBudget = false;
    XmlVector<std::pair<XmlNode*, std::uint32_t>> lengths;

    TextOut() = default;
    TextOut(const TextOut&) = delete;
    TextOut& operator=(const TextOut&) = delete;
    ~TextOut() { XmlFree(p); }

    // Starts a text: written, or counted when `count` is true.
    void Reset(bool count, std::uint64_t limit)
    {
        n = 0;
        peak = 0;
        counting = count;
        budget = limit;
        tooLong = false;
        noMemory = false;
        overBudget = false;
        lengths.clear();
    }
    bool failed() const { return tooLong || noMemory || overBudget; }
    std::uint64_t room() const { return counting ? 0 : cap - n; }

    // True when k more units may be written at p + n; false when they are
    // only counted (n moves on) or cannot be had.
    bool Room(std::uint64_t k) { return k <= room() || Grow(k); }
    bool Grow(std::uint64_t k)
    {
        if (failed())
            return false;
        if (k > kMaxUnits || n + k > kMaxUnits) {
            tooLong = true;
            return false;
        }
        if (counting) {
            n += k;
            if (n > peak)
                peak = n;
            return false;
        }
        std::uint64_t want = n + k;
        if (want > budget) {
            overBudget = true;
            return false;
        }
        std::uint64_t grown = cap < 256 ? 256 : cap * 2;
        if (grown < want)
            grown = want;
        if (grown > budget)
            grown = budget;
        auto* q = static_cast<char16_t*>(XmlRealloc(p, static_cast<std::size_t>(grown) * sizeof(char16_t)));
        if (!q) {
            noMemory = true;
            return false;
        }
        p = q;
        cap = grown;
        return true;
    }
    void Put(char16_t c)
    {
        if (Room(1))
            p[n++] = c;
    }
    void Put(const char16_t* s, std::size_t k)
    {
        if (k > 0 && Room(k)) {
            std::memcpy(p + n, s, k * sizeof(char16_t));
            n += k;
        }
    }
    void Put(std::u16string_view s) { Put(s.data(), s.size()); }
    void Blanks(std::int64_t count)
    {
        if (count <= 0 || !Room(static_cast<std::uint64_t>(count)))
            return;
        for (std::int64_t i = 0; i < count; ++i)
            p[n++] = u' ';
    }
    // Takes back the last k units written.
    void Unput(std::uint64_t k)
    {
        if (!failed())
            n -= k;
    }
    // The child's segment is what was written since `start`.
    void SetLength(XmlNode* child, std::uint64_t start)
    {
        if (!counting && !failed())
            lengths.emplace_back(child, static_cast<std::uint32_t>(n - start));
    }
};

// ---------------------------------------------------------------------------
// Normalisation

unsigned NodeFlags(const XmlNode* node, unsigned flags)
{
    if (node->kind == XmlKindCData || node->kind == XmlKindInstruction)
        return flags & kVerbatimFlags;
    if (node->kind == XmlKindDtd)
        return flags & ~kCuttingFlags;
    return flags;
}

class Normaliser {
public:
    explicit Normaliser(XmlNode* root) : root_(root) {}

    // False when memory for a deeper level ran out: the texts are then
    // normalised up to where the walk stopped and keep the rest as it was.
    bool Run(unsigned flags)
    {
        try {
            Walk(flags);
        } catch (const std::bad_alloc&) {
            KeepRest();
            return false;
        }
        return true;
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

    void Walk(unsigned flags)
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

    // Every open text keeps its characters from where its rewrite stopped,
    // so that it matches its children's lengths again.
    void KeepRest()
    {
        for (Frame& frame : stack_) {
            if (!frame.hasText)
                continue;
            XmlStr& text = frame.node->text;
            const std::uint32_t rest = text.n - frame.read;
            if (rest > 0)
                std::memmove(text.p + frame.write, text.p + frame.read, rest * sizeof(char16_t));
            text.n = frame.write + rest;
        }
        stack_.clear();
    }

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
        bool afterText = afterText_;
        bool afterBreak = afterBreak_;
        while (i < end) {
            char16_t c = p[i];
            if (IsBlank(c)) {
                ++i;
                if ((f & XmlFormatCutBlanks) || ((f & XmlFormatCollapseBlanks) && !afterText))
                    continue;
                p[w++] = c;
                afterText = false;
                afterBreak = false;
            } else if (IsBreak(c)) {
                std::uint32_t len = BreakLength(p, i, end);
                i += len;
                if ((f & XmlFormatCutLineBreaks) || ((f & XmlFormatCollapseLineBreaks) && afterBreak))
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
                afterBreak = true;
                afterText = false;
            } else {
                // The rest of a run of other characters stays as it is.
                do {
                    p[w++] = p[i++];
                } while (i < end && (p[i] > u' ' || (!IsBlank(p[i]) && !IsBreak(p[i]))));
                afterBreak = false;
                afterText = true;
            }
        }
        afterText_ = afterText;
        afterBreak_ = afterBreak;
        frame.read = end;
        frame.write = w;
    }

    XmlNode* root_;
    XmlVector<Frame> stack_;
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
    CopySegments(node, read, out, copy);
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

// What every rebuilding pass shares: the document and the scratch output.
// A pass ends early once memory has run out.
struct Rebuild {
    XmlDocument* doc;
    TextOut out;
    bool outOfMemory = false;
};

// Builds a text into `out`: tried within the usual budget first; a longer
// one is counted, then written into room for all of it. False when it would
// be too long or memory ran out (out.noMemory).
template <class Build>
bool BuildText(TextOut& out, Build build)
{
    try {
        out.Reset(false, TextOut::kBudget);
        build(out);
        if (out.overBudget) {
            out.Reset(true, TextOut::kMaxUnits);
            build(out);
            if (!out.failed()) {
                const std::uint64_t peak = out.peak;
                out.Reset(false, peak);
                build(out);
            }
        }
    } catch (const std::bad_alloc&) {
        out.noMemory = true;  // no room for the children's lengths
    }
    return !out.failed();
}

// Builds a node's text into the scratch output and installs it with the
// children's new lengths. Returns false when the text would be too long or
// memory ran out; the node and its children then keep what they had.
template <class Build>
bool RebuildText(Rebuild& rb, XmlNode* node, Build build)
{
    TextOut& out = rb.out;
    if (BuildText(out, build) && !InstallText(rb.doc, node, out.p, static_cast<std::size_t>(out.n)))
        out.noMemory = true;
    if (out.noMemory)
        rb.outOfMemory = true;
    if (out.failed())
        return false;
    for (const auto& [child, length] : out.lengths)
        child->precedingTextLength = length;
    return true;
}

bool ConvertToCrLf(Rebuild& rb, XmlNode* node)
{
    if (!HasText(node) || !NeedsCrLf(node))
        return true;
    return RebuildText(rb, node, [node](TextOut& out) { BuildCrLf(node, out); });
}

// The passes return false when memory ran out before they were done.
bool CrLfPass(XmlDocument* doc, XmlNode* root)
{
    Rebuild rb{doc, {}};
    std::int64_t depth = 0;
    for (XmlNode* node = root; node && !rb.outOfMemory; node = NextInWalk(node, root, true, depth))
        ConvertToCrLf(rb, node);
    return !rb.outOfMemory;
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
                // A run up to the next line break goes in one piece.
                std::uint32_t run = i + 1;
                while (run < end && !IsBreak(p[run]))
                    ++run;
                out_.Put(p + i, run - i);
                i = run;
                afterBreak = false;
            }
        }
        return afterBreak;
    }

    void SetLength(XmlNode* child, std::uint64_t start) { out_.SetLength(child, start); }

    XmlNode* node_;
    bool isRoot_;
    std::int64_t a_;
    const ReformatContext& ctx_;
    TextOut& out_;
};

// The reformatted text of a node without text but with children: before
// each child a line break and the indentation (at the Root an empty line as
// RootExtraBreak gives it), at the end a line break and the parent's
// indentation. Out takes Put(view), Blanks(count) and SetLength(child,
// start) as TextOut does.
template <class Out>
void BuildWithoutText(XmlNode* node, bool isRoot, std::int64_t a, const ReformatContext& ctx, Out& out)
{
    const XmlNode* previous = nullptr;
    for (XmlNode* child = node->firstChild; child; child = child->nextSibling) {
        const std::uint64_t start = out.n;
        if (isRoot && (!previous || child->kind == XmlKindElement || previous->kind == XmlKindElement))
            out.Put(ctx.nl);
        out.Put(ctx.nl);
        out.Blanks(a);
        out.SetLength(child, start);
        previous = child;
    }
    out.Put(ctx.nl);
    if (!isRoot)
        out.Blanks(a - ctx.step);
}

// Writes straight into room known to suffice, and sets the children's
// lengths at once.
struct FixedOut {
    char16_t* p;
    std::uint64_t n = 0;

    void Put(std::u16string_view s)
    {
        std::copy(s.begin(), s.end(), p + n);
        n += s.size();
    }
    void Blanks(std::int64_t count)
    {
        if (count > 0) {
            std::fill_n(p + n, count, u' ');
            n += static_cast<std::uint64_t>(count);
        }
    }
    void SetLength(XmlNode* child, std::uint64_t start)
    {
        child->precedingTextLength = static_cast<std::uint32_t>(n - start);
    }
};

// Length of BuildWithoutText's text; absent when it would pass what a text
// can hold.
std::optional<std::uint64_t> WithoutTextLength(const XmlNode* node, bool isRoot, std::int64_t a,
                                               const ReformatContext& ctx)
{
    const std::uint64_t nl = ctx.nl.size();
    const std::uint64_t indent = a > 0 ? static_cast<std::uint64_t>(a) : 0;
    const std::uint64_t closing = !isRoot && a - ctx.step > 0 ? static_cast<std::uint64_t>(a - ctx.step) : 0;
    if (indent > TextOut::kMaxUnits || closing > TextOut::kMaxUnits)
        return std::nullopt;
    std::uint64_t total = nl + closing;
    const XmlNode* previous = nullptr;
    for (const XmlNode* child = node->firstChild; child; child = child->nextSibling) {
        if (isRoot && (!previous || child->kind == XmlKindElement || previous->kind == XmlKindElement))
            total += nl;
        total += nl + indent;
        if (total > TextOut::kMaxUnits)
            return std::nullopt;
        previous = child;
    }
    return total;
}

// BuildWithoutText written straight into the node's new room. Its length is
// known beforehand, so a text too long is refused before anything changes.
bool ReformatWithoutText(Rebuild& rb, XmlNode* node, bool isRoot, std::int64_t a, const ReformatContext& ctx)
{
    const std::optional<std::uint64_t> total = WithoutTextLength(node, isRoot, a, ctx);
    if (!total)
        return false;
    XmlStr fresh = NewText(rb.doc, static_cast<std::size_t>(*total));
    if (!fresh.p) {
        rb.outOfMemory = true;
        return false;
    }
    FixedOut out{fresh.p};
    BuildWithoutText(node, isRoot, a, ctx, out);
    XmlStrRelease(node->text);
    node->text = fresh;
    return true;
}

// What a reformat does with a node.
enum class ReformatCase {
    Verbatim,     // CDATA and instructions: only line breaks converted, no children visited
    Unchanged,    // kept as it is
    WithoutText,  // BuildWithoutText
    WithText,     // ReformatBuilder::BuildWithText
};

ReformatCase CaseOf(const XmlNode* node)
{
    if (node->kind == XmlKindCData || node->kind == XmlKindInstruction)
        return ReformatCase::Verbatim;
    if (!HasText(node))
        return node->firstChild ? ReformatCase::WithoutText : ReformatCase::Unchanged;
    if ((node->kind == XmlKindElement || node->kind == XmlKindComment) && !node->firstChild && !HasBreak(node))
        return ReformatCase::Unchanged;
    return ReformatCase::WithText;
}

// Reformats one node; false when its children must not be visited.
bool ReformatNode(Rebuild& rb, XmlNode* node, bool isRoot, std::int64_t a, const ReformatContext& ctx,
                  unsigned flags)
{
    switch (CaseOf(node)) {
    case ReformatCase::Verbatim:
        if (flags & XmlFormatCrLf)
            ConvertToCrLf(rb, node);
        return false;
    case ReformatCase::Unchanged: return true;
    case ReformatCase::WithoutText: return ReformatWithoutText(rb, node, isRoot, a, ctx);
    case ReformatCase::WithText:
        return RebuildText(rb, node,
                           [&](TextOut& out) { ReformatBuilder(node, isRoot, a, ctx, out).BuildWithText(); });
    }
    return true;
}

// The line break a reformat puts in.
std::u16string_view LineBreakOf(XmlLineEnd style)
{
    return style == XmlLineEnd::Lf ? u"\n" : style == XmlLineEnd::Cr ? u"\r" : u"\r\n";
}

bool ReformatPass(XmlDocument* doc, XmlNode* root, XmlLineEnd style, int step, unsigned flags)
{
    Rebuild rb{doc, {}};
    ReformatContext ctx;
    ctx.nl = LineBreakOf(style);
    ctx.step = step;
    std::int64_t depth = 0;
    XmlNode* node = root;
    while (node && !rb.outOfMemory) {
        bool descend = ReformatNode(rb, node, node == root, depth * ctx.step, ctx, flags);
        node = NextInWalk(node, root, descend, depth);
    }
    return !rb.outOfMemory;
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
    CopySegments(node, read, out, copy);
    if (afterBreak) {
        out.Unput(level > 0 ? static_cast<std::uint64_t>(level) : 0);
        out.Blanks(level - step);
    }
}

bool ReindentPass(XmlDocument* doc, XmlNode* root, int step, unsigned flags)
{
    Rebuild rb{doc, {}};
    const bool toCrLf = (flags & XmlFormatCrLf) != 0;
    // levels[d] is the level handed to the children of the node at depth d.
    XmlVector<std::int64_t> levels;
    std::int64_t depth = 0;
    XmlNode* node = root;
    try {
        while (node && !rb.outOfMemory) {
            std::int64_t level = depth > 0 ? levels[static_cast<std::size_t>(depth - 1)] : 0;
            if (HasText(node) && HasBreak(node)) {
                level += step;
                RebuildText(rb, node, [&](TextOut& out) { BuildReindent(node, level, step, toCrLf, out); });
            }
            levels.resize(static_cast<std::size_t>(depth + 1));
            levels[static_cast<std::size_t>(depth)] = level;
            node = NextInWalk(node, root, true, depth);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return !rb.outOfMemory;
}

// Texts whose line breaks were cut and blanks collapsed have nothing left to
// cut or collapse: that normalisation is left out (a reformat after the
// load's pass, for one).
constexpr unsigned kSettling = XmlFormatCutLineBreaks | XmlFormatCollapseBlanks;
constexpr unsigned kNothingLeft = kSettling | XmlFormatCollapseLineBreaks;

bool NeedsNormalising(const XmlDocument* doc, unsigned flags)
{
    const unsigned asked = flags & kNormalisingFlags;
    return asked && !(doc->settled && !(asked & ~kNothingLeft));
}

// The line-break style a format with these flags leaves the document in.
XmlLineEnd LineEndFor(const XmlDocument* doc, unsigned flags)
{
    XmlLineEnd style;
    if (flags & XmlFormatCrLf)
        style = XmlLineEnd::CrLf;
    else if (flags & XmlFormatLf)
        style = XmlLineEnd::Lf;
    else if (flags & XmlFormatCr)
        style = XmlLineEnd::Cr;
    else
        style = XmlDocLineEnd(doc);
    return style == XmlLineEnd::Unknown ? XmlLineEnd::CrLf : style;
}

}  // namespace

// ---------------------------------------------------------------------------
// A reformat laid out node by node.

struct XmlReformatLayout::Texts {
    ReformatContext ctx;
    // Per depth: the text of the node laid out last, needed until its end
    // tag, by when no other node of its depth has been laid out; and the
    // pieces BuildWithoutText puts before each child and after the last
    // below the Root, made once.
    struct Depth {
        TextOut out;
        std::u16string gap;
        std::u16string closing;
        // Whether the document has nodes enough to make such a text too
        // long; only then are a node's children counted.
        bool mayBeTooLong = false;
    };
    XmlVector<std::unique_ptr<Depth>> byDepth;
    std::uint64_t nodes = 0;  // in the document

    Depth& At(std::int64_t depth)
    {
        while (byDepth.size() <= static_cast<std::size_t>(depth)) {
            auto made = std::make_unique<Depth>();
            const std::int64_t a = static_cast<std::int64_t>(byDepth.size()) * ctx.step;
            made->gap.assign(ctx.nl);
            made->gap.append(static_cast<std::size_t>(a > 0 ? a : 0), u' ');
            made->closing.assign(ctx.nl);
            made->closing.append(static_cast<std::size_t>(a - ctx.step > 0 ? a - ctx.step : 0), u' ');
            const std::uint64_t perChild = made->gap.size();
            const std::uint64_t fixed = made->closing.size();
            made->mayBeTooLong =
                perChild + fixed > TextOut::kMaxUnits || nodes > (TextOut::kMaxUnits - fixed) / perChild;
            byDepth.push_back(std::move(made));
        }
        return *byDepth[static_cast<std::size_t>(depth)];
    }
};

XmlReformatLayout::XmlReformatLayout(const XmlDocument* doc, int step) : texts_(std::make_unique<Texts>())
{
    texts_->ctx.nl = LineBreakOf(LineEndFor(doc, XmlFormatReformat));
    texts_->ctx.step = step;
    for (const XmlNodeBlock* b = doc->nodeBlocks; b; b = b->next)
        texts_->nodes += b->used;
}

XmlReformatLayout::~XmlReformatLayout() = default;

bool XmlReformatLayout::Applies(const XmlDocument* doc)
{
    return !NeedsNormalising(doc, XmlFormatReformat | XmlFormatCollapseLineBreaks | XmlFormatCollapseBlanks);
}

bool XmlReformatLayout::Lay(const XmlNode* constNode, std::int64_t depth, XmlLaidOutNode& laid)
{
    laid = {constNode->text.view(), nullptr, true};
    const ReformatCase what = CaseOf(constNode);
    if (what == ReformatCase::Verbatim) {
        laid.descend = false;
        return true;
    }
    if (what == ReformatCase::Unchanged)
        return true;
    // The builders note the children to give them their lengths; nothing
    // of the node is changed here.
    XmlNode* node = const_cast<XmlNode*>(constNode);
    const bool isRoot = depth == 0;
    const std::int64_t a = depth * texts_->ctx.step;
    const ReformatContext& ctx = texts_->ctx;
    Texts::Depth* at = nullptr;
    try {
        at = &texts_->At(depth);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (what == ReformatCase::WithoutText && !isRoot) {
        if (at->mayBeTooLong && !WithoutTextLength(node, isRoot, a, ctx)) {
            laid.descend = false;  // too long a text: kept, with all below it
            return true;
        }
        laid.gap = at->gap;
        laid.text = at->closing;
        return true;
    }
    TextOut& out = at->out;
    const bool built = what == ReformatCase::WithoutText
                           ? BuildText(out, [&](TextOut& o) { BuildWithoutText(node, isRoot, a, ctx, o); })
                           : BuildText(out, [&](TextOut& o) { ReformatBuilder(node, isRoot, a, ctx, o).BuildWithText(); });
    if (!built) {
        // Too long a text stays as it is, and so does all below it.
        laid.descend = false;
        return !out.noMemory;
    }
    laid.text = std::u16string_view(out.p ? out.p : u"", static_cast<std::size_t>(out.n));
    laid.lengths = out.lengths.data();
    return true;
}

int XmlFormat(int document, unsigned flags, int step)
{
    XmlDocument* doc = XmlFindDocument(document);
    if (!doc)
        return 0;
    XmlNode* root = XmlDocRoot(doc);
    if (!root)
        return 0;

    if (flags & XmlFormatReformat)
        flags |= XmlFormatCollapseLineBreaks | XmlFormatCollapseBlanks;

    bool whole = true;
    if (NeedsNormalising(doc, flags)) {
        const unsigned asked = flags & kNormalisingFlags;
        whole = Normaliser(root).Run(flags);
        doc->settled = whole && (asked & kSettling) == kSettling;
    }

    const XmlLineEnd style = LineEndFor(doc, flags);
    XmlDocSetLineEnd(doc, style);

    // After a failed pass the tree stays as that pass left it. These passes
    // put line breaks and blanks into the texts.
    if (whole && (flags & XmlFormatReformat))
        whole = ReformatPass(doc, root, style, step, flags);
    else if (whole && (flags & XmlFormatReindent))
        whole = ReindentPass(doc, root, step, flags);
    else if (whole && (flags & XmlFormatCrLf))
        whole = CrLfPass(doc, root);
    if (flags & (XmlFormatReformat | XmlFormatReindent | XmlFormatCrLf))
        doc->settled = false;
    if (!whole)
        XmlDocOutOfMemory(doc);
    return doc->outOfMemory ? 0 : 1;
}
