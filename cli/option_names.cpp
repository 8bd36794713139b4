#include "cli/option_names.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace crv::cli {

namespace {

constexpr Sinonimo kComuni[] = {{"--root", "--radice"}, {"--help", "--aiuto"}};

std::vector<Sinonimi> withCommon(std::initializer_list<Sinonimi> gruppi)
{
    std::vector<Sinonimi> all{kSinonimiComuni};
    all.insert(all.end(), gruppi.begin(), gruppi.end());
    return all;
}

}  // namespace

const Sinonimi kSinonimiComuni{kComuni};

void nomiItaliani(Args& args, std::initializer_list<Sinonimi> gruppi)
{
    const std::vector<Sinonimi> all = withCommon(gruppi);
    const auto italianOf = [&all](std::string_view name) -> const char* {
        for (const Sinonimi group : all)
            for (const Sinonimo& s : group)
                if (name == s.inglese) return s.italiano;
        return nullptr;
    };
    for (std::string& a : args) {
        if (a == "--") return;  // what follows are names, not options
        const std::size_t end = std::min(a.find('='), a.size());
        if (const char* italiano = italianOf(std::string_view(a).substr(0, end)))
            a = italiano + a.substr(end);
    }
}

std::string aiutoSinonimi(std::initializer_list<Sinonimi> gruppi)
{
    std::string text;
    std::string line = "\nValgono ancora i nomi inglesi:";
    bool first = true;
    for (const Sinonimi group : withCommon(gruppi)) {
        for (const Sinonimo& s : group) {
            const std::string item = std::string(first ? " " : ", ") + s.inglese + " = " + s.italiano;
            first = false;
            if (line.size() + item.size() > 80) {
                text += line + (item.front() == ',' ? ",\n" : "\n");
                line = "  " + item.substr(item.front() == ',' ? 2 : 1);
            } else {
                line += item;
            }
        }
    }
    return text + line + "\n";
}

}  // namespace crv::cli
