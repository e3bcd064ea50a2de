#pragma once
// The records behind the XML library's handles. Only the library's own .cpp
// files include this.
#include "xml/xml.h"

#include <expat.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>

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
        std::free(s.p);
    s = XmlStr{};
}

// Replaces s by a heap copy of v (an empty, present string when v is empty).
// Returns false when memory runs out; s is then absent.
inline bool XmlStrSetHeap(XmlStr& s, std::u16string_view v)
{
    XmlStrRelease(s);
    auto* p = static_cast<char16_t*>(std::malloc((v.size() + 1) * sizeof(char16_t)));
    if (!p)
        return false;
    if (!v.empty())
        std::memcpy(p, v.data(), v.size() * sizeof(char16_t));
    p[v.size()] = 0;
    s.p = p;
    s.n = static_cast<std::uint32_t>(v.size());
    s.heap = true;
    return true;
}

struct XmlAttr {
    XmlStr name;
    XmlStr value;
};

struct XmlNode {
    XmlNode* parent = nullptr;
    XmlNode* firstChild = nullptr;
    XmlNode* previousSibling = nullptr;
    XmlNode* nextSibling = nullptr;
    XmlStr name;
    XmlStr text;
    XmlAttr* attributes = nullptr;
    bool attributesOnHeap = false;
    int document = 0;                    // identity of the owning document
    std::uint32_t precedingTextLength = 0;
    std::int16_t kind = XmlKindRoot;
    // Counters are 32-bit so that elements with more than 32767 attributes
    // keep every one of them.
    std::int32_t attributeIterator = -1;
    std::int32_t idAttributeIndex = -1;
    std::int32_t attributeCount = 0;
    std::int32_t spareAttributeSlots = 0;
};

// Looks a document up by number; nullptr when the number is not in use.
XmlDocument* XmlFindDocument(int document);
// Fields of a document needed by the formatter and the serialiser.
XmlNode* XmlDocRoot(XmlDocument* doc);
XmlEncoding XmlDocEncoding(const XmlDocument* doc);
int XmlDocStandalone(const XmlDocument* doc);
XmlLineEnd XmlDocLineEnd(const XmlDocument* doc);
void XmlDocSetLineEnd(XmlDocument* doc, XmlLineEnd lineEnd);
