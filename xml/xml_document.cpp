// Document registry, node pool and string arena.
#include "xml/xml_internal.h"

#include <vector>

namespace {

// Numbers handed out for dynamic documents start here, far above anything
// the program chooses itself; they index a table of their own.
constexpr int DynamicBase = 1 << 24;
// The registry table grows to this many slots beyond the highest number used.
constexpr int RegistrySlack = 8;

XmlVector<XmlDocument*> g_documents;  // indexed by document number
XmlVector<XmlDocument*> g_dynamic;    // indexed by number - DynamicBase

// Node pool: blocks of fixed-size records. Blocks of freed documents wait
// in a list of spare blocks for the next document.
constexpr std::uint32_t PoolBlockNodes = 4096;
static_assert(sizeof(XmlNodeBlock) % alignof(XmlNode) == 0, "node records follow the block header");
XmlNodeBlock* g_spareBlocks = nullptr;
std::size_t g_nodesInUse = 0;

XmlNodeBlock* NewNodeBlock()
{
    XmlNodeBlock* b = g_spareBlocks;
    if (b) {
        g_spareBlocks = b->next;
    } else {
        b = static_cast<XmlNodeBlock*>(XmlMalloc(sizeof(XmlNodeBlock) + PoolBlockNodes * sizeof(XmlNode)));
        if (!b)
            return nullptr;
        b->capacity = PoolBlockNodes;
    }
    b->next = nullptr;
    b->used = 0;
    return b;
}

// Arena blocks after the first.
constexpr std::size_t ArenaBlockBytes = 524288;
// Requests above this size get a block of their own.
constexpr std::size_t ArenaLargeRequest = 1024;

XmlArenaBlock* NewArenaBlock(std::size_t room)
{
    auto* b = static_cast<XmlArenaBlock*>(XmlMalloc(sizeof(XmlArenaBlock) + room));
    if (!b)
        return nullptr;
    b->next = nullptr;
    b->size = room;
    b->used = 0;
    return b;
}

char* BlockSpace(XmlArenaBlock* b) { return reinterpret_cast<char*>(b + 1); }

// Releases every string of a node that lives on the heap.
void ReleaseNodeStrings(XmlNode* n)
{
    XmlStrRelease(n->name);
    XmlStrRelease(n->text);
    if (n->attributes) {
        for (std::int32_t i = 0; i < n->attributeCount; ++i) {
            XmlStrRelease(n->attributes[i].name);
            XmlStrRelease(n->attributes[i].value);
        }
        if (n->attributesOnHeap)
            XmlFree(n->attributes);
    }
}

void DestroyDocument(XmlDocument* doc)
{
    // Every node of the document sits in its blocks: one pass over them
    // releases the heap strings, whatever the shape of the tree. A document
    // that never held one has nothing to release.
    for (XmlNodeBlock* b = doc->nodeBlocks; b;) {
        XmlNodeBlock* next = b->next;
        XmlNode* nodes = b->nodes();
        if (doc->heapStrings) {
            for (std::uint32_t i = 0; i < b->used; ++i)
                ReleaseNodeStrings(&nodes[i]);
        }
        g_nodesInUse -= b->used;
        b->next = g_spareBlocks;
        g_spareBlocks = b;
        b = next;
    }
    doc->nodeBlocks = nullptr;
    doc->rootNode = nullptr;
    doc->mainNode = nullptr;
    for (XmlArenaBlock* b = doc->arena; b;) {
        XmlArenaBlock* next = b->next;
        XmlFree(b);
        b = next;
    }
    doc->arena = nullptr;
    XmlStrRelease(doc->errorMessage);
    doc->inUse = 0;
    delete doc;
}

XmlDocument*& Slot(int document)
{
    static XmlDocument* none = nullptr;
    none = nullptr;
    if (document >= DynamicBase) {
        std::size_t i = static_cast<std::size_t>(document - DynamicBase);
        return i < g_dynamic.size() ? g_dynamic[i] : none;
    }
    if (document >= 0 && static_cast<std::size_t>(document) < g_documents.size())
        return g_documents[static_cast<std::size_t>(document)];
    return none;
}

}  // namespace

// ---------------------------------------------------------------------------
// Node pool.

XmlNode* XmlTakeNode(XmlDocument* doc)
{
    XmlNodeBlock* b = doc->nodeBlocks;
    if (!b || b->used == b->capacity) {
        b = NewNodeBlock();
        if (!b)
            return nullptr;
        b->next = doc->nodeBlocks;
        doc->nodeBlocks = b;
    }
    ++g_nodesInUse;
    return new (&b->nodes()[b->used++]) XmlNode();
}

std::size_t XmlNodesInUse() { return g_nodesInUse; }

// ---------------------------------------------------------------------------
// Arena.

void XmlArenaReserve(XmlDocument* doc, std::size_t bytes)
{
    if (bytes < 64)
        bytes = 64;
    XmlArenaBlock* b = NewArenaBlock(bytes);
    if (!b)
        return;
    b->next = doc->arena;
    doc->arena = b;
}

void* XmlArenaAllocate(XmlDocument* doc, std::size_t bytes, std::size_t align)
{
    // Ownership of a string is told by its slot's flag, not by its address,
    // so pieces need no more alignment than their contents.
    if (bytes > ArenaLargeRequest) {
        // A block of its own, kept behind the newest block so that the
        // newest block's remaining room stays in use.
        XmlArenaBlock* b = NewArenaBlock(bytes);
        if (!b)
            return nullptr;
        b->used = bytes;
        if (doc->arena) {
            b->next = doc->arena->next;
            doc->arena->next = b;
        } else {
            doc->arena = b;
        }
        return BlockSpace(b);
    }
    XmlArenaBlock* b = doc->arena;
    std::size_t at = b ? (b->used + align - 1) & ~(align - 1) : 0;
    if (!b || at + bytes > b->size) {
        b = NewArenaBlock(ArenaBlockBytes);
        if (!b)
            return nullptr;
        b->next = doc->arena;
        doc->arena = b;
        at = 0;
    }
    b->used = at + bytes;
    return BlockSpace(b) + at;
}

// ---------------------------------------------------------------------------
// Registry.

void XmlLibraryInit()
{
    try {
        if (g_documents.size() < RegistrySlack)
            g_documents.resize(RegistrySlack, nullptr);
    } catch (...) {
    }
}

void XmlLibraryShutdown()
{
    XmlFreeDocument(-1);
    g_documents.clear();
    g_documents.shrink_to_fit();
    g_dynamic.clear();
    g_dynamic.shrink_to_fit();
    while (XmlNodeBlock* b = g_spareBlocks) {
        g_spareBlocks = b->next;
        XmlFree(b);
    }
}

XmlDocument* XmlFindDocument(int document)
{
    XmlDocument* doc = Slot(document);
    return doc && doc->inUse ? doc : nullptr;
}

XmlDocument* XmlNewDocument(int document, XmlEncoding encoding)
{
    if (document < -1)
        return nullptr;
    int number = document;
    try {
        if (document == -1) {
            std::size_t i = 0;
            while (i < g_dynamic.size() && g_dynamic[i])
                ++i;
            if (i == g_dynamic.size())
                g_dynamic.push_back(nullptr);
            number = DynamicBase + static_cast<int>(i);
        } else if (document >= DynamicBase) {
            if (!XmlFindDocument(document))
                return nullptr;  // dynamic numbers are given out by the library only
        } else if (static_cast<std::size_t>(document) >= g_documents.size()) {
            g_documents.resize(static_cast<std::size_t>(document) + RegistrySlack, nullptr);
        }
    } catch (...) {
        return nullptr;
    }
    // The old document goes first, so that its blocks serve the new one.
    XmlFreeDocument(number);
    XmlDocument* doc = new (std::nothrow) XmlDocument();
    if (!doc)
        return nullptr;
    XmlNode* root = XmlTakeNode(doc);
    if (!root) {
        delete doc;
        return nullptr;
    }
    root->kind = XmlKindRoot;
    root->document = number;
    doc->inUse = 1;
    doc->rootNode = root;
    doc->encoding = encoding;
    doc->identity = number;
    Slot(number) = doc;
    return doc;
}

XmlDocument* XmlCreateDocument(int document, XmlEncoding encoding)
{
    return XmlNewDocument(document, encoding);
}

int XmlDocumentNumber(const XmlDocument* doc) { return doc ? doc->identity : -1; }

void XmlFreeDocument(int document)
{
    if (document == -1) {
        for (auto* table : {&g_documents, &g_dynamic}) {
            for (XmlDocument*& d : *table) {
                if (d) {
                    XmlDocument* doomed = d;
                    d = nullptr;
                    DestroyDocument(doomed);
                }
            }
        }
        return;
    }
    XmlDocument*& slot = Slot(document);
    if (!slot)
        return;
    XmlDocument* doomed = slot;
    slot = nullptr;
    DestroyDocument(doomed);
}

void XmlDocSetError(XmlDocument* doc, int status, int line, int column, std::string_view message)
{
    doc->status = status;
    doc->errorLine = line;
    doc->errorColumn = column;
    XmlStrRelease(doc->errorMessage);
    if (message.empty())
        return;
    // Messages are plain ASCII.
    auto* p = static_cast<char16_t*>(XmlMalloc((message.size() + 1) * sizeof(char16_t)));
    if (!p)
        return;  // the status alone tells what happened
    for (std::size_t i = 0; i < message.size(); ++i)
        p[i] = static_cast<unsigned char>(message[i]);
    p[message.size()] = 0;
    doc->errorMessage.p = p;
    doc->errorMessage.n = static_cast<std::uint32_t>(message.size());
    doc->errorMessage.heap = true;
}

// ---------------------------------------------------------------------------
// Document fields.

int XmlStatus(int document)
{
    XmlDocument* doc = XmlFindDocument(document);
    return doc ? doc->status : 0;
}

int XmlErrorLine(int document)
{
    XmlDocument* doc = XmlFindDocument(document);
    return doc ? doc->errorLine : 0;
}

int XmlErrorColumn(int document)
{
    XmlDocument* doc = XmlFindDocument(document);
    return doc ? doc->errorColumn : 0;
}

std::u16string XmlErrorMessage(int document)
{
    XmlDocument* doc = XmlFindDocument(document);
    return doc ? std::u16string(doc->errorMessage.view()) : std::u16string();
}

XmlNode* XmlRootNode(int document)
{
    XmlDocument* doc = XmlFindDocument(document);
    return doc ? doc->rootNode : nullptr;
}

XmlNode* XmlMainNode(int document)
{
    XmlDocument* doc = XmlFindDocument(document);
    return doc ? doc->mainNode : nullptr;
}

XmlEncoding XmlDocumentEncoding(int document)
{
    XmlDocument* doc = XmlFindDocument(document);
    return doc ? doc->encoding : XmlEncoding::Utf8;
}

XmlLineEnd XmlDocumentLineEnd(int document)
{
    XmlDocument* doc = XmlFindDocument(document);
    return doc ? doc->lineEnd : XmlLineEnd::Unknown;
}

int XmlDocumentStandalone(int document)
{
    XmlDocument* doc = XmlFindDocument(document);
    return doc ? doc->standalone : -1;
}

XmlNode* XmlDocRoot(XmlDocument* doc) { return doc ? doc->rootNode : nullptr; }
XmlEncoding XmlDocEncoding(const XmlDocument* doc) { return doc ? doc->encoding : XmlEncoding::Utf8; }
int XmlDocStandalone(const XmlDocument* doc) { return doc ? doc->standalone : -1; }
XmlLineEnd XmlDocLineEnd(const XmlDocument* doc) { return doc ? doc->lineEnd : XmlLineEnd::Unknown; }

void XmlDocSetLineEnd(XmlDocument* doc, XmlLineEnd lineEnd)
{
    if (doc)
        doc->lineEnd = lineEnd;
}
