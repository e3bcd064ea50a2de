#pragma once
// Helpers shared by the formatter and serialiser tests.
#include "base/atomic_file.h"
#include "test_support.h"
#include "xml/xml.h"

#include <gtest/gtest.h>

#include <string>

namespace xmltest {

// Loads `bytes` as a file into document `number`; status must be 0.
inline void LoadBytes(int number, const std::string& bytes)
{
    nwtest::TempDir dir;
    auto file = dir / "in.xml";
    nwtest::WriteFileBytes(file, bytes);
    ASSERT_NE(XmlLoadFile(number, file.u16string()), nullptr) << bytes;
    ASSERT_EQ(XmlStatus(number), 0) << nwtest::U8(XmlErrorMessage(number)) << " in:\n" << bytes;
}

// The document as written, without declaration.
inline std::string Body(int number) { return XmlSerializeToBytes(number, XmlSaveNoDeclaration); }

// Child `index` (0-based) of `node`, counting every kind.
inline XmlNode* Child(XmlNode* node, int index)
{
    XmlNode* c = XmlFirstChild(node);
    while (c && index-- > 0)
        c = XmlNextSibling(c);
    return c;
}

// Little-endian UTF-16 bytes of an ASCII or UTF-16 literal.
inline std::string Utf16Le(const std::u16string& s)
{
    std::string out;
    for (char16_t c : s) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

// Frees the documents a test used.
class XmlDocTest : public ::testing::Test {
protected:
    void SetUp() override { XmlLibraryInit(); }
    void TearDown() override
    {
        SetFileWriteFault({});
        for (int i = 0; i < 4; ++i)
            XmlFreeDocument(i);
    }
};

}  // namespace xmltest
