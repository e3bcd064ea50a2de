// The library's allocation functions: the seam that can refuse one of them,
// and the memory suite handed to Expat.
#include "xml/xml_internal.h"

bool g_xmlAllocationSeamOn = false;

namespace {

long long g_failAt = -1;  // number of the first allocation to refuse
long long g_run = 1;      // allocations refused from there on
long long g_counted = 0;  // allocations since the seam was set

void* ExpatMalloc(std::size_t bytes) { return XmlMalloc(bytes); }
void* ExpatRealloc(void* p, std::size_t bytes) { return XmlRealloc(p, bytes); }
void ExpatFree(void* p) { XmlFree(p); }

}  // namespace

const XML_Memory_Handling_Suite XmlExpatMemory = {ExpatMalloc, ExpatRealloc, ExpatFree};

bool XmlCountAllocation()
{
    const long long number = g_counted++;
    return number >= g_failAt && number - g_failAt < g_run;
}

void XmlSetAllocationFailureAt(long long n, long long run)
{
    g_failAt = n < 0 ? -1 : n;
    g_run = run;
    g_counted = 0;
    g_xmlAllocationSeamOn = n >= 0;
}

long long XmlAllocationsCounted() { return g_counted; }
