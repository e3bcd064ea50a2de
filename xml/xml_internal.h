#pragma once
// The records behind the XML library's handles. Only the library's own .cpp
// files include this.
#include "xml/xml.h"

#include <expat.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

// ---------------------------------------------------------------------------
// Memory. Every allocation of the library, and of the Expat parsers it
// creates, goes through these functions, so that a test can refuse any one
// of them (see XmlSetAllocationFailureAt). Nothing is counted while the seam
// is off: the cost is one predictable branch per allocation.

extern bool g_xmlAllocationSeamOn;
// Counts one allocation; true for the one the seam refuses.
bool XmlCountAllocation();

// True when the allocation about to be made must fail.
inline bool XmlAllocationRefused()
{
    if (g_xmlAllocationSeamOn) [[unlikely]]
        return XmlCountAllocation();
    return false;
}

inline void* XmlMalloc(std::size_t bytes) { return XmlAllocationRefused() ? nullptr : std::malloc(bytes); }

inline void* XmlCalloc(std::size_t count, std::size_t size)
{
    return XmlAllocationRefused() ? nullptr : std::calloc(count, size);
}

// Like realloc: on failure p stays as it was.
inline void* XmlRealloc(void* p, std::size_t bytes) { return XmlAllocationRefused() ? nullptr : std::realloc(p, bytes); }

inline void XmlFree(void* p) { std::free(p); }

// The same functions for Expat (XML_ParserCreate_MM).
extern const XML_Memory_Handling_Suite XmlExpatMemory;

// Standard containers of the library allocate through XmlMalloc; a refused
// allocation throws std::bad_alloc, which the library catches before it
// returns (never inside an Expat handler, where no container grows).
template <class T>
struct XmlAllocator {
    using value_type = T;
    XmlAllocator() = default;
    template <class U>
    XmlAllocator(const XmlAllocator<U>&) noexcept
    {
    }
    T* allocate(std::size_t n)
    {
        if (n > SIZE_MAX / sizeof(T))
            throw std::bad_array_new_length();
        if (void* p = XmlMalloc(n * sizeof(T)))
            return static_cast<T*>(p);
        throw std::bad_alloc();
    }
    void deallocate(T* p, std::size_t) noexcept { XmlFree(p); }
    template <class U>
    bool operator==(const XmlAllocator<U>&) const noexcept
    {
        return true;
    }
};

template <class T>
using XmlVector = std::vector<T, XmlAllocator<T>>;

// Test seam: when n >= 0, the allocations from now on are counted from 0,
// and the one numbered n fails, with the run - 1 after it (run 1: exactly
// that one; LLONG_MAX: every later one). A number never reached counts
// without failing. -1 (the default) turns the seam off.
void XmlSetAllocationFailureAt(long long n, long long run = 1);
// Allocations counted since the seam was last set.
long long XmlAllocationsCounted();

// One string slot: absent (p == nullptr), or p[0..n) owned either by the
// document's arena (heap == false) or by the general heap (heap == true).
// Only heap strings are ever released.
struct XmlStr {
    char16_t* p = nullptr;
    std::uint32_t n = 0;
    bool heap = false;

    bool present() const { return p != nullptr; }
    std::u16string_view view() const { return p ? std::u16string_view(p, n) : std::u16string_view(); }
};

// Releases s if it lives on the heap and leaves it absent.
inline void XmlStrRelease(XmlStr& s)
{
    if (s.p && s.heap)
        XmlFree(s.p);
    s = XmlStr{};
}

// Replaces s by a heap copy of v (an empty, present string when v is empty).
// Returns false when memory runs out; s then keeps what it held.
inline bool XmlStrSetHeap(XmlStr& s, std::u16string_view v)
{
    auto* p = static_cast<char16_t*>(XmlMalloc((v.size() + 1) * sizeof(char16_t)));
    if (!p)
        return false;
    if (!v.empty())
        std::memcpy(p, v.data(), v.size() * sizeof(char16_t));
    p[v.size()] = 0;
    XmlStrRelease(s);
    s.p = p;
    s.n = static_cast<std::uint32_t>(v.size());
    s.heap = true;
    return true;
}

struct XmlAttr {
    XmlStr name;
    XmlStr value;
};

// A loaded phonebook has a million of these: no field that nothing reads
// (siblings are walked forwards only), the small ones together at the end.
struct XmlNode {
    XmlNode* parent = nullptr;
    XmlNode* firstChild = nullptr;
    XmlNode* nextSibling = nullptr;
    // End of the child chain, kept by everything that appends a child, so
    // that appending never walks the siblings.
    XmlNode* lastChild = nullptr;
    XmlStr name;
    XmlStr text;
    XmlAttr* attributes = nullptr;
    int document = 0;                    // identity of the owning document
    std::uint32_t precedingTextLength = 0;
    // Counters are 32-bit so that elements with more than 32767 attributes
    // keep every one of them.
    std::int32_t attributeIterator = -1;
    std::int32_t idAttributeIndex = -1;
    std::int32_t attributeCount = 0;
    std::int32_t spareAttributeSlots = 0;
    std::int16_t kind = XmlKindRoot;
    bool attributesOnHeap = false;
};
static_assert(sizeof(void*) != 8 || sizeof(XmlNode) == 104);

// Looks a document up by number; nullptr when the number is not in use.
XmlDocument* XmlFindDocument(int document);
// Fields of a document needed by the formatter and the serialiser.
XmlNode* XmlDocRoot(XmlDocument* doc);
XmlEncoding XmlDocEncoding(const XmlDocument* doc);
int XmlDocStandalone(const XmlDocument* doc);
XmlLineEnd XmlDocLineEnd(const XmlDocument* doc);
void XmlDocSetLineEnd(XmlDocument* doc, XmlLineEnd lineEnd);

// ---------------------------------------------------------------------------
// Documents.

// One block of a document's string arena: header, then `size` bytes of room.
struct XmlArenaBlock {
    XmlArenaBlock* next;
    std::size_t size;
    std::size_t used;
};

// One block of the node pool: header, then `capacity` node records. A
// document takes its nodes from its own blocks, in order; a freed
// document's blocks go back to the pool for the next one.
struct XmlNodeBlock {
    XmlNodeBlock* next;
    std::uint32_t used;
    std::uint32_t capacity;
    XmlNode* nodes() { return reinterpret_cast<XmlNode*>(this + 1); }
};

struct XmlDocument {
    int inUse = 0;
    XmlNode* rootNode = nullptr;
    XmlNode* mainNode = nullptr;
    XmlEncoding encoding = XmlEncoding::Utf8;
    int standalone = -1;  // -1 none, 0 "no", 1 "yes"
    XmlLineEnd lineEnd = XmlLineEnd::CrLf;
    int status = 0;
    int errorLine = 0;
    int errorColumn = 0;
    XmlStr errorMessage;                 // heap string or absent
    XmlArenaBlock* arena = nullptr;      // newest block first
    XmlNodeBlock* nodeBlocks = nullptr;  // newest block first
    int identity = 0;                    // document number, stored into every node
    bool encodingForced = false;
    // Set once any node of the document holds a heap string or a heap
    // attribute array; until then freeing the document need not visit its
    // nodes.
    bool heapStrings = false;
    // Set when memory ran out while the tree was built or formatted: every
    // node is whole, but the tree is not what was asked for, and it is
    // never written.
    bool outOfMemory = false;
    // Since the last change of the tree, every text has been through a
    // normalisation that cut its line breaks and collapsed its blanks (see
    // XmlFormat).
    bool settled = false;

    static void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept { return XmlMalloc(bytes); }
    static void operator delete(void* p) noexcept { XmlFree(p); }
    static void operator delete(void* p, const std::nothrow_t&) noexcept { XmlFree(p); }
};

// Marks a document whose tree could not be made as asked for lack of memory.
inline void XmlDocOutOfMemory(XmlDocument* doc)
{
    if (doc)
        doc->outOfMemory = true;
}

// ---------------------------------------------------------------------------
// A reformat laid out node by node, for a writer that lays the document out
// as it writes it (xml_format.cpp): the text and the children's lengths
// XmlFormat(document, XmlFormatReformat, step) would give each node, worked
// out when the writer reaches it, without changing the document. The
// layout depends on each node's own text and children alone, so nodes may
// be laid out in any order.

struct XmlLaidOutNode {
    std::u16string_view text;
    // The children's lengths, in order; nullptr: those they have.
    const std::pair<XmlNode*, std::uint32_t>* lengths = nullptr;
    // Whether the nodes below are laid out anew as well.
    bool descend = true;
    // When set, the text is this piece before every child, followed by
    // `text`.
    std::u16string_view gap = {};
};

class XmlReformatLayout {
public:
    XmlReformatLayout(const XmlDocument* doc, int step);
    ~XmlReformatLayout();
    XmlReformatLayout(const XmlReformatLayout&) = delete;
    XmlReformatLayout& operator=(const XmlReformatLayout&) = delete;

    // True when the reformat would change nothing but what Lay gives: the
    // texts have been normalised since the tree last changed.
    static bool Applies(const XmlDocument* doc);

    // Lays out `node`, at `depth` below the root (the root at 0). The text
    // stays valid until another node of that depth is laid out. False when
    // memory ran out.
    bool Lay(const XmlNode* node, std::int64_t depth, XmlLaidOutNode& laid);

private:
    struct Texts;
    std::unique_ptr<Texts> texts_;
};

// Registry helpers for the loader: makes a fresh document under a number
// (freeing what was there) or, for -1, under a new dynamic number.
XmlDocument* XmlNewDocument(int document, XmlEncoding encoding);

// Node pool: a zero-filled record for the document; nullptr when memory
// runs out. Records go back to the pool only with the whole document.
XmlNode* XmlTakeNode(XmlDocument* doc);

// Arena: `bytes` bytes aligned to `align` (a power of two up to the
// alignment of a pointer); nullptr when memory runs out. Arena memory is
// released only with the whole document.
void* XmlArenaAllocate(XmlDocument* doc, std::size_t bytes, std::size_t align = alignof(void*));
// Adds the first block, sized for a file of `bytes` bytes.
void XmlArenaReserve(XmlDocument* doc, std::size_t bytes);

// Sets the document's error fields (message copied to the heap).
void XmlDocSetError(XmlDocument* doc, int status, int line, int column, std::string_view message);

// Test seams of the loader and the node pool.
// Size of the pieces a load feeds to Expat (0 restores the usual 16384).
void XmlSetLoadChunkSize(std::size_t bytes);
// When n >= 0, reads of a load deliver nothing once n bytes of the file have
// been read, as if the file had shrunk after its size was taken; -1 turns it
// off.
void XmlSetLoadReadLimit(long long bytes);
// Nodes taken from the pool and not yet returned, over all documents.
std::size_t XmlNodesInUse();
