// Reading and building nodes.
#include "xml/xml_internal.h"

namespace {

std::u16string Copy(const XmlStr& s)
{
    return std::u16string(s.view());
}

bool EqualsIdIgnoringCase(std::u16string_view name)
{
    return name.size() == 2 && (name[0] == u'I' || name[0] == u'i') && (name[1] == u'D' || name[1] == u'd');
}

bool ValidAttributeIndex(const XmlNode* node)
{
    return node && node->attributes && node->attributeIterator >= 0 &&
           node->attributeIterator < node->attributeCount;
}

// Elements built by the program take their first attribute slots from the
// arena, as parsed ones do.
constexpr std::int32_t FirstAttributeSlots = 4;

// Makes room for one more attribute pair. Arrays in the arena move to the
// heap on their first growth.
bool GrowAttributes(XmlNode* node, XmlDocument* doc)
{
    if (node->spareAttributeSlots > 0)
        return true;
    std::int32_t count = node->attributeCount;
    if (count == 0 && !node->attributesOnHeap && doc) {
        if (auto* slots = static_cast<XmlAttr*>(XmlArenaAllocate(doc, FirstAttributeSlots * sizeof(XmlAttr)))) {
            node->attributes = slots;
            node->spareAttributeSlots = FirstAttributeSlots;
            return true;
        }
    }
    std::int32_t grow = count / 4 > 4 ? count / 4 : 4;
    std::size_t capacity = static_cast<std::size_t>(count) + static_cast<std::size_t>(grow);
    XmlAttr* grown;
    if (node->attributesOnHeap) {
        grown = static_cast<XmlAttr*>(XmlRealloc(node->attributes, capacity * sizeof(XmlAttr)));
        if (!grown)
            return false;
    } else {
        grown = static_cast<XmlAttr*>(XmlMalloc(capacity * sizeof(XmlAttr)));
        if (!grown)
            return false;
        if (doc)
            doc->heapStrings = true;
        if (count > 0)
            std::memcpy(static_cast<void*>(grown), node->attributes, static_cast<std::size_t>(count) * sizeof(XmlAttr));
    }
    node->attributes = grown;
    node->attributesOnHeap = true;
    node->spareAttributeSlots = grow;
    return true;
}

// Fills an absent slot with a copy of v in the document's arena (a heap
// copy when there is no arena room). Arena strings are never released one
// by one, so only slots that are filled once take them; a value that
// replaces another goes to the heap, where the next replacement frees it.
// False when memory runs out; the slot stays absent.
bool SetFresh(XmlStr& s, XmlDocument* doc, std::u16string_view v)
{
    if (doc) {
        const std::size_t bytes = (v.size() + 1) * sizeof(char16_t);
        if (auto* p = static_cast<char16_t*>(XmlArenaAllocate(doc, bytes, alignof(char16_t)))) {
            if (!v.empty())
                std::memcpy(p, v.data(), v.size() * sizeof(char16_t));
            p[v.size()] = 0;
            s.p = p;
            s.n = static_cast<std::uint32_t>(v.size());
            s.heap = false;
            return true;
        }
        doc->heapStrings = true;
    }
    return XmlStrSetHeap(s, v);
}

// Replaces a present string by a heap copy of v; false when memory runs
// out, and the string stays as it was.
bool SetAgain(XmlStr& s, XmlDocument* doc, std::u16string_view v)
{
    if (doc)
        doc->heapStrings = true;
    return XmlStrSetHeap(s, v);
}

}  // namespace

// ---------------------------------------------------------------------------
// Reading.

int XmlNodeKindOf(const XmlNode* node) { return node ? node->kind : -1; }

std::u16string XmlNodeName(const XmlNode* node) { return node ? Copy(node->name) : std::u16string(); }

std::u16string XmlNodeText(const XmlNode* node) { return node ? Copy(node->text) : std::u16string(); }

XmlNode* XmlFirstChild(const XmlNode* node) { return node ? node->firstChild : nullptr; }

XmlNode* XmlNextSibling(const XmlNode* node) { return node ? node->nextSibling : nullptr; }

XmlNode* XmlParentNode(const XmlNode* node) { return node ? node->parent : nullptr; }

int XmlExamineAttributes(XmlNode* node)
{
    if (!node)
        return 0;
    node->attributeIterator = -1;
    return node->kind == XmlKindElement ? 1 : 0;
}

int XmlNextAttribute(XmlNode* node)
{
    if (!node)
        return 0;
    if (node->attributeIterator < node->attributeCount)
        ++node->attributeIterator;
    return node->attributeIterator < node->attributeCount ? 1 : 0;
}

std::u16string XmlAttributeName(const XmlNode* node)
{
    return ValidAttributeIndex(node) ? Copy(node->attributes[node->attributeIterator].name) : std::u16string();
}

std::u16string XmlAttributeValue(const XmlNode* node)
{
    return ValidAttributeIndex(node) ? Copy(node->attributes[node->attributeIterator].value) : std::u16string();
}

int XmlAttributeCount(const XmlNode* node) { return node ? node->attributeCount : 0; }

int XmlIdAttributeIndex(const XmlNode* node) { return node ? node->idAttributeIndex : -1; }

unsigned XmlPrecedingTextLength(const XmlNode* node) { return node ? node->precedingTextLength : 0; }

bool XmlNodeHasText(const XmlNode* node) { return node && node->text.present(); }

std::u16string_view XmlNodeNameView(const XmlNode* node) { return node ? node->name.view() : std::u16string_view(); }

std::u16string_view XmlNodeTextView(const XmlNode* node) { return node ? node->text.view() : std::u16string_view(); }

std::u16string_view XmlAttributeNameView(const XmlNode* node, int index)
{
    return node && node->attributes && index >= 0 && index < node->attributeCount ? node->attributes[index].name.view()
                                                                                  : std::u16string_view();
}

std::u16string_view XmlAttributeValueView(const XmlNode* node, int index)
{
    return node && node->attributes && index >= 0 && index < node->attributeCount
               ? node->attributes[index].value.view()
               : std::u16string_view();
}

// ---------------------------------------------------------------------------
// Building.

XmlNode* XmlCreateElement(XmlNode* parent, std::u16string_view name)
{
    if (!parent)
        return nullptr;
    XmlDocument* doc = XmlFindDocument(parent->document);
    if (!doc)
        return nullptr;
    if (parent == doc->rootNode && doc->mainNode)
        return nullptr;  // one document element per document

    // The end of the child chain: cached, or walked to for a chain that was
    // linked some other way.
    XmlNode* last = parent->lastChild;
    if (!last && parent->firstChild) {
        last = parent->firstChild;
        while (last->nextSibling)
            last = last->nextSibling;
    }

    // The name is stored first: an element is linked into the tree only
    // when it is whole.
    XmlStr stored;
    if (!SetFresh(stored, doc, name)) {
        XmlDocOutOfMemory(doc);
        return nullptr;
    }
    XmlNode* node = XmlTakeNode(doc);
    if (!node) {
        XmlStrRelease(stored);
        XmlDocOutOfMemory(doc);
        return nullptr;
    }
    doc->settled = false;
    node->kind = XmlKindElement;
    node->name = stored;
    node->idAttributeIndex = -1;
    node->parent = parent;
    node->document = parent->document;
    if (last) {
        last->nextSibling = node;
    } else {
        parent->firstChild = node;
    }
    if (!doc->mainNode && parent == doc->rootNode)
        doc->mainNode = node;
    parent->lastChild = node;
    return node;
}

void XmlSetAttribute(XmlNode* node, std::u16string_view key, std::u16string_view value)
{
    if (!node || node->kind != XmlKindElement)
        return;
    XmlDocument* doc = XmlFindDocument(node->document);
    for (std::int32_t i = 0; i < node->attributeCount; ++i) {
        XmlAttr& a = node->attributes[i];
        if (a.name.view() == key) {
            if (!SetAgain(a.value, doc, value))
                XmlDocOutOfMemory(doc);
            return;
        }
    }
    // A new pair is added only when both of its strings are stored.
    XmlAttr a;
    if (!GrowAttributes(node, doc) || !SetFresh(a.name, doc, key) || !SetFresh(a.value, doc, value)) {
        XmlStrRelease(a.name);
        XmlDocOutOfMemory(doc);
        return;
    }
    node->attributes[node->attributeCount] = a;
    --node->spareAttributeSlots;
    if (EqualsIdIgnoringCase(key))
        node->idAttributeIndex = node->attributeCount;
    ++node->attributeCount;
}

void XmlReserveAttributes(XmlNode* node, int count)
{
    if (!node || node->kind != XmlKindElement || count <= 0 || node->attributes)
        return;
    XmlDocument* doc = XmlFindDocument(node->document);
    if (!doc)
        return;
    // Without room in the arena the attributes find theirs when they are set.
    if (auto* slots = static_cast<XmlAttr*>(XmlArenaAllocate(doc, static_cast<std::size_t>(count) * sizeof(XmlAttr)))) {
        node->attributes = slots;
        node->spareAttributeSlots = count;
    }
}

void XmlSetNodeText(XmlNode* node, std::u16string_view text)
{
    if (!node)
        return;
    XmlDocument* doc = XmlFindDocument(node->document);
    if (doc)
        doc->settled = false;
    if (!(node->text.present() ? SetAgain(node->text, doc, text) : SetFresh(node->text, doc, text)))
        XmlDocOutOfMemory(doc);
}
