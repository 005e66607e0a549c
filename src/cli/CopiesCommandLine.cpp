#include "CopiesCommandLine.h"

#include "StringTable.h"
#include "TextFormat.h"

#include <array>
#include <charconv>

namespace {

constexpr std::array<COptionSpec, 7> kOptions = {{
    {"--catalogue", 0, true, IDS_COPIES_HELP_CATALOGUE},
    {"--fewer-than", 0, true, IDS_COPIES_HELP_FEWER_THAN},
    {"--at-least", 0, true, IDS_COPIES_HELP_AT_LEAST},
    {"--medium", 0, true, IDS_COPIES_HELP_MEDIUM},
    {"--by", 0, true, IDS_COPIES_HELP_BY},
    {"--summary", 0, false, IDS_COPIES_HELP_SUMMARY},
    {"--json", 0, false, IDS_COPIES_HELP_JSON},
}};

std::string Take(CCopiesCommandLine& line, std::string_view name, const std::string& value) {
    if (name == "--catalogue") {
        line.catalogue = value;
    } else if (name == "--fewer-than" || name == "--at-least") {
        std::uint32_t count = 0;
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), count);
        if (error != std::errc() || end != value.data() + value.size() || count == 0) {
            return FormatString(IDS_COPIES_BAD_COUNT, {std::string(name), value});
        }
        std::optional<std::uint32_t>& mine = name == "--fewer-than" ? line.query.m_nFewerThan : line.query.m_nAtLeast;
        const std::optional<std::uint32_t>& other =
            name == "--fewer-than" ? line.query.m_nAtLeast : line.query.m_nFewerThan;
        if (other) {
            return LoadString(IDS_COPIES_BOTH_COUNTS);
        }
        mine = count;
    } else if (name == "--medium") {
        line.query.m_strMediumPrefix = value;
    } else if (name == "--by") {
        if (value != "name") {
            return FormatString(IDS_COPIES_BAD_BY, {value});
        }
        line.query.m_bByName = true;
    } else if (name == "--summary") {
        line.summary = true;
    } else if (name == "--json") {
        line.json = true;
    }
    return {};
}

} // namespace

const CCommandSpec& CCopiesCommandLineParser::Spec() {
    static const CCommandSpec spec{"stowlist-cli copies", IDS_COPIES_USAGE, IDS_COPIES_USAGE_TAIL, kOptions};
    return spec;
}

CCopiesCommandLine CCopiesCommandLineParser::Parse(const std::vector<std::string>& args) {
    CCopiesCommandLine line;
    CScan scan = COptionScanner::Scan(Spec(), args, [&](const COptionSpec& option, const std::string& value) {
        return Take(line, option.name, value);
    });
    line.action = scan.action;
    line.error = std::move(scan.error);
    line.query.m_arrTexts = std::move(scan.operands);
    return line;
}
