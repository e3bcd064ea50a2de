#include "bench_support.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace nwbench {

static std::size_t StatusField(const char* key)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(in, line)) {
        if (line.compare(0, prefix.size(), prefix) == 0) {
            std::istringstream fields(line.substr(prefix.size()));
            std::size_t kib = 0;
            fields >> kib;
            return kib * 1024;
        }
    }
    return 0;
}

std::size_t PeakRss() { return StatusField("VmHWM"); }
std::size_t CurrentRss() { return StatusField("VmRSS"); }

bool ResetPeakRss()
{
    std::FILE* f = std::fopen("/proc/self/clear_refs", "w");
    if (!f)
        return false;
    bool ok = std::fputs("5", f) >= 0;
    return (std::fclose(f) == 0) && ok;
}

std::string GeneratePhonebook(int contacts, unsigned seed)
{
    static const char* const first[] = {"Jürgen", "Anna", "Björn", "Käthe", "Özlem", "Paul", "Grete", "Süleyman"};
    static const char* const last[] = {"Müller", "Schäfer", "Weiß", "Groß", "Meier &amp; Söhne", "Krüger", "Böhm", "Fuß"};
    unsigned state = seed ? seed : 1;
    auto next = [&state]() {
        state = state * 1103515245u + 12345u;
        return (state >> 16) & 0x7FFF;
    };
    std::string out;
    out.reserve(static_cast<std::size_t>(contacts) * 420 + 200);
    out += "<?xml version=\"1.0\" encoding=\"utf-8\"?><phonebooks><phonebook owner=\"1\" name=\"Telefonbuch\">";
    for (int i = 0; i < contacts; ++i) {
        int numbers = 1 + static_cast<int>(next() % 3);  // 1..3 numbers: 10..12 elements
        out += "<contact><category>0</category><person><realName>";
        out += first[next() % 8];
        out += ' ';
        out += last[next() % 8];
        out += "</realName></person><telephony nid=\"";
        out += std::to_string(numbers);
        out += "\">";
        for (int k = 0; k < numbers; ++k) {
            out += "<number type=\"";
            out += (k == 0 ? "home" : k == 1 ? "mobile" : "work");
            out += "\" prio=\"";
            out += (k == 0 ? "1" : "0");
            out += "\" id=\"";
            out += std::to_string(k);
            out += "\">0";
            out += std::to_string(30 + next() % 900);
            out += std::to_string(1000000 + next() * 7 % 8999999);
            out += "</number>";
        }
        out += "</telephony><services/><features doorphone=\"0\"/><mod_time>1700000000</mod_time><uniqueid>";
        out += std::to_string(i + 1);
        out += "</uniqueid></contact>";
    }
    out += "</phonebook></phonebooks>";
    return out;
}

bool WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace nwbench
