#pragma once
// XML documents in memory, built with Expat, addressed by document number.
//
// Every string the library takes or returns is UTF-16. Failures are results:
// 0 / nullptr for "no document", "no node" or "not written", an empty string
// for a missing name, text or value. Operations on a document number that is
// not in use do nothing.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

struct XmlNode;      // defined in xml_internal.h; callers only hold pointers
struct XmlDocument;  // idem

enum XmlNodeKind : std::int16_t {
    XmlKindRoot = 0,
    XmlKindElement = 1,
    XmlKindComment = 2,
    XmlKindCData = 3,
    XmlKindDtd = 4,
    XmlKindInstruction = 5,
};

enum class XmlEncoding : int { Utf8 = 1, Latin1 = 2, Utf16 = 3 };

enum class XmlLineEnd : int { Unknown = 0, CrLf = 1, Lf = 2, Cr = 3 };

// XmlFormat flags.
enum : unsigned {
    XmlFormatCrLf = 0x001,
    XmlFormatLf = 0x002,
    XmlFormatCr = 0x004,
    XmlFormatCutLineBreaks = 0x008,
    XmlFormatCollapseLineBreaks = 0x010,
    XmlFormatCutBlanks = 0x020,
    XmlFormatCollapseBlanks = 0x040,
    XmlFormatReformat = 0x080,
    XmlFormatReindent = 0x100,
};

// Save flags of XmlSaveFileEx.
enum : unsigned {
    XmlSaveWithBom = 0x1,
    XmlSaveNoDeclaration = 0x2,
    // The file takes the target's place without waiting for the disk
    // (Durability::Handed): for a copy that is made anew whenever it is
    // wanted.
    XmlSaveHandedToDisk = 0x4,
    // Written as XmlFormat(document, XmlFormatReformat, step) would lay it
    // out, the document itself left as it is, so that others may go on
    // reading it meanwhile (see XmlSaveReformatted).
    XmlSaveReformat = 0x8,
    XmlSaveStepShift = 4,
    XmlSaveStepMask = 0xF0,
};

// Save flags for a document written reformatted by step (0 to 15). Texts
// that have not been normalised since the tree last changed (as a load's
// XmlFormat with XmlFormatCutLineBreaks | XmlFormatCollapseBlanks does) are
// first normalised in place, as the reformat would.
constexpr unsigned XmlSaveReformatted(int step)
{
    return XmlSaveReformat | ((static_cast<unsigned>(step) << XmlSaveStepShift) & XmlSaveStepMask);
}

// Deepest element nesting a load accepts; deeper input ends the load like a
// parse error (XmlStatus non-zero, XmlErrorMessage says why).
constexpr int XmlMaxLoadDepth = 1000;
// Status reported when that limit is passed (above Expat's own codes).
constexpr int XmlStatusTooDeep = 1001;
// Status reported when the file delivers fewer bytes than its measured size.
constexpr int XmlStatusShortRead = 1002;

// Registry and documents ---------------------------------------------------
void XmlLibraryInit();
void XmlLibraryShutdown();

// Number -1 asks for a dynamic document: the library picks a free number
// (never a small one the program uses) and returns the document; read its
// number with XmlDocumentNumber.
XmlDocument* XmlCreateDocument(int document, XmlEncoding encoding);
XmlDocument* XmlLoadFile(int document, const std::u16string& path);
// Inner form: an explicit encoding, or std::nullopt for detection.
XmlDocument* XmlLoadFileAs(int document, const std::u16string& path, std::optional<XmlEncoding> encoding);
int XmlDocumentNumber(const XmlDocument* doc);
void XmlFreeDocument(int document);  // -1 frees every document

int XmlStatus(int document);
int XmlErrorLine(int document);
int XmlErrorColumn(int document);
std::u16string XmlErrorMessage(int document);

XmlNode* XmlRootNode(int document);
XmlNode* XmlMainNode(int document);
XmlEncoding XmlDocumentEncoding(int document);
XmlLineEnd XmlDocumentLineEnd(int document);
int XmlDocumentStandalone(int document);  // -1 none, 0 "no", 1 "yes"

// Reading ------------------------------------------------------------------
int XmlNodeKindOf(const XmlNode* node);  // -1 for no node
std::u16string XmlNodeName(const XmlNode* node);
std::u16string XmlNodeText(const XmlNode* node);
XmlNode* XmlFirstChild(const XmlNode* node);
XmlNode* XmlNextSibling(const XmlNode* node);
XmlNode* XmlParentNode(const XmlNode* node);
int XmlExamineAttributes(XmlNode* node);
int XmlNextAttribute(XmlNode* node);
std::u16string XmlAttributeName(const XmlNode* node);
std::u16string XmlAttributeValue(const XmlNode* node);
int XmlAttributeCount(const XmlNode* node);
int XmlIdAttributeIndex(const XmlNode* node);  // -1 when none
unsigned XmlPrecedingTextLength(const XmlNode* node);
bool XmlNodeHasText(const XmlNode* node);  // false when the text is absent
// The same strings without a copy: views into the document, valid until the
// document changes (building, formatting, freeing). Empty for no node, an
// absent string or an attribute index outside 0 .. XmlAttributeCount - 1.
std::u16string_view XmlNodeNameView(const XmlNode* node);
std::u16string_view XmlNodeTextView(const XmlNode* node);
std::u16string_view XmlAttributeNameView(const XmlNode* node, int index);
std::u16string_view XmlAttributeValueView(const XmlNode* node, int index);

// Building -----------------------------------------------------------------
XmlNode* XmlCreateElement(XmlNode* parent, std::u16string_view name);
void XmlSetAttribute(XmlNode* node, std::u16string_view name, std::u16string_view value);
// Room for count attributes on an element that has none yet, so that the
// ones set next take no more memory than they need; does nothing otherwise.
void XmlReserveAttributes(XmlNode* node, int count);
void XmlSetNodeText(XmlNode* node, std::u16string_view text);
// True when name, written as an element or attribute name, is read back by
// the parser as that name: an XML name of characters a document can hold.
// Names of ASCII characters are judged at once; others are put to Expat.
bool XmlIsName(std::u16string_view name);

// Formatting and saving ----------------------------------------------------
// Returns 1, or 0 for no document or when memory ran out while the document
// was built (XmlCreateElement, XmlSetAttribute, XmlSetNodeText) or
// formatted. Such a document keeps every node whole, but it is not what was
// asked for: it is never saved or serialised.
int XmlFormat(int document, unsigned flags, int step = 2);
// Writes atomically (base/atomic_file.h): a temporary file beside the target
// is renamed over it only when every byte is written. Returns 1 on success,
// 0 otherwise; on failure an existing target is left as it was.
int XmlSaveFile(int document, const std::u16string& path);
// On failure reason, when given, says why in the atomic writer's words
// ("Datenträger voll"; "Zu wenig Speicher" for a document that is not what
// was asked for).
int XmlSaveFileEx(int document, const std::u16string& path, unsigned saveFlags, std::u16string* reason = nullptr);
// The same bytes handed to write piece by piece, in order; write returns
// false to stop. Returns 1 when every piece was taken; 0 for no document,
// a document that is never written (see XmlFormat), or a refused piece.
int XmlWriteDocument(int document, unsigned saveFlags,
                     const std::function<bool(const char* bytes, std::size_t size)>& write);
// The bytes XmlSaveFileEx would write, for tests and in-memory use; empty
// when they cannot be made.
std::string XmlSerializeToBytes(int document, unsigned saveFlags);
