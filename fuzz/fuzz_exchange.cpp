// libFuzzer target for reading and writing vCard and CSV: arbitrary bytes
// read as a vCard or a CSV file into a book, the book written out in the
// same format, read and written again.
//
// Input: bit 0 of the first byte picks the format (0 vCard, 1 CSV); the rest
// is the file, so any vCard or CSV file is a seed behind one byte.
//
// Checked:
// - what the writer makes reads back whole: recognized (unless it is a
//   vCard file of no card), every contact read, nothing skipped;
// - the second writing reads back into a book that writes the same bytes
//   again (the first reading may take texts the formats cannot hold as they
//   are, such as a lone carriage return in vCard or " ::: " in a CSV value;
//   from then on nothing changes);
// - the report's counts agree with the contacts made.
#include "contacts/exchange.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz_exchange: %s\n", what);
        std::abort();
    }
}

std::string Written(ExchangeFormat format, const RecordList& records)
{
    return ExportContacts(format, ContactNodes(records));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const ExchangeFormat format = data[0] & 1 ? ExchangeFormat::Csv : ExchangeFormat::VCard;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    const ImportedBook first = ImportContacts(format, bytes, u"Fuzz", u" (1)");
    Check(ContactNodes(first.records).size() == first.report.read, "contacts made differ from the count read");
    if (!first.report.recognized) {
        Check(first.report.read == 0, "contacts read from a file not recognized");
        return 0;
    }
    const ImportedBook second = ImportContacts(format, Written(format, first.records), u"Fuzz", u" (1)");
    // A vCard file of no card is empty and no vCard file.
    Check(second.report.recognized || (format == ExchangeFormat::VCard && first.report.read == 0),
          "written file not recognized");
    Check(second.report.read == first.report.read, "written file reads back another count");
    Check(second.report.skipped.empty() && second.report.unknownColumns.empty(), "written file has faults");
    const std::string again = Written(format, second.records);
    const ImportedBook third = ImportContacts(format, again, u"Fuzz", u" (1)");
    Check(Written(format, third.records) == again, "writing is no fixed point");
    return 0;
}
