#include "PlanCommandLine.h"

#include "ArchiveSettings.h"
#include "CommandLine.h"
#include "SizeText.h"
#include "StringTable.h"
#include "TextFormat.h"
#include "Utf8.h"

#include <array>
#include <string_view>

namespace {

struct PlanSwitch {
    std::string_view name;
    Option option;
    int value;
};
constexpr std::array<PlanSwitch, 6> kSwitches = {{
    {"--exclude-hidden", Option::ExcludeHiddenSystemInfo, 1},
    {"--include-hidden", Option::ExcludeHiddenSystemInfo, 0},
    {"--no-subfolders", Option::ExcludeSubFolders, 1},
    {"--subfolders", Option::ExcludeSubFolders, 0},
    {"--grouping", Option::FormatFileSize, 1},
    {"--no-grouping", Option::FormatFileSize, 0},
}};

constexpr std::array<std::string_view, 10> kValueOptions = {
    "--media-type", "--capacity", "--block-size", "--reserve",  "--media-number",
    "--path-lists", "--output",   "--log",        "--settings", "--catalogue",
};

class CPlanParse {
public:
    explicit CPlanParse(const std::vector<std::string>& args) : m_args(args) {}

    CPlanCommandLine Run() {
        bool optionsEnded = false;
        while (m_next < m_args.size() && m_result.error.empty()) {
            const std::string& arg = m_args[m_next++];
            if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
                m_result.paths.push_back(arg);
            } else if (arg == "--") {
                optionsEnded = true;
            } else if (arg[1] == '-') {
                LongOption(arg);
            } else {
                ShortOptions(arg);
            }
        }
        if (m_result.error.empty() && !m_result.help && m_result.paths.empty()) {
            Error(LoadString(IDS_PLAN_NO_PATH));
        }
        return std::move(m_result);
    }

private:
    void Error(const std::string& text) {
        if (m_result.error.empty()) {
            m_result.error = Utf8::Printable(text);
        }
    }

    void LongOption(const std::string& arg) {
        const auto equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        std::optional<std::string> attached;
        if (equals != std::string::npos) {
            attached = arg.substr(equals + 1);
        }
        for (const std::string_view option : kValueOptions) {
            if (name == option) {
                ValueOption(name, attached);
                return;
            }
        }
        if (attached) {
            Error(FormatString(IDS_PLAN_TAKES_NO_VALUE, {name}));
            return;
        }
        for (const PlanSwitch& option : kSwitches) {
            if (name == option.name) {
                m_result.options.emplace_back(option.option, option.value);
                return;
            }
        }
        if (name == "--multiple-archives" || name == "--single-archive") {
            m_result.multipleArchive = name == "--multiple-archives" ? 1 : 0;
        } else if (name == "--no-catalogue") {
            m_result.noCatalogue = true;
        } else if (name == "--json") {
            m_result.json = true;
        } else if (name == "--help") {
            m_result.help = true;
        } else {
            Error(FormatString(IDS_PLAN_UNKNOWN_OPTION, {name}));
        }
    }

    // "-h", "-o REPORT", "-oREPORT" and "-ho REPORT".
    void ShortOptions(const std::string& arg) {
        for (std::size_t i = 1; i < arg.size(); ++i) {
            if (arg[i] == 'h') {
                m_result.help = true;
            } else if (arg[i] == 'o') {
                ValueOption("-o", i + 1 < arg.size() ? std::optional<std::string>(arg.substr(i + 1)) : std::nullopt);
                return;
            } else {
                Error(FormatString(IDS_PLAN_UNKNOWN_OPTION, {"-" + std::string(1, arg[i])}));
                return;
            }
        }
    }

    bool Size(const std::string& name, const std::string& value, std::uint64_t& bytes) {
        ESizeError reason = ESizeError::kNone;
        if (!CSizeText::Parse(value, bytes, reason)) {
            Error(FormatString(IDS_PLAN_BAD_SIZE, {name, LoadString(IDS_SIZE_ERROR_FIRST + static_cast<int>(reason))}));
            return false;
        }
        return true;
    }

    void ValueOption(const std::string& name, const std::optional<std::string>& attached) {
        std::string value;
        if (attached) {
            value = *attached;
        } else if (m_next < m_args.size()) {
            value = m_args[m_next++];
        }
        if (value.empty()) {
            Error(FormatString(IDS_PLAN_NEEDS_VALUE, {name}));
            return;
        }
        std::uint64_t bytes = 0;
        if (name == "--media-type") {
            const int index = CArchiveSettings::FindMediaType(value);
            if (index < 0) {
                Error(FormatString(IDS_PLAN_BAD_MEDIA_TYPE, {value}));
                return;
            }
            m_result.mediaType = std::string(CArchiveSettings::kMediaTypes[static_cast<std::size_t>(index)]);
        } else if (name == "--capacity") {
            if (Size(name, value, bytes)) {
                m_result.capacity = bytes;
            }
        } else if (name == "--block-size") {
            if (Size(name, value, bytes)) {
                m_result.blockSize = bytes;
            }
        } else if (name == "--reserve") {
            if (Size(name, value, bytes)) {
                m_result.reserve = bytes;
            }
        } else if (name == "--media-number") {
            int number = 0;
            if (!CCommandLineParser::ParseWholeNumber(value, number)) {
                Error(FormatString(IDS_PLAN_BAD_NUMBER, {name, value}));
                return;
            }
            m_result.mediaNumber = number;
        } else if (name == "--path-lists") {
            m_result.pathLists = value;
        } else if (name == "--output" || name == "-o") {
            m_result.output = value;
        } else if (name == "--log") {
            m_result.log = value;
        } else if (name == "--settings") {
            m_result.settings = value;
        } else {
            m_result.catalogue = value;
        }
    }

    const std::vector<std::string>& m_args;
    std::size_t m_next = 0;
    CPlanCommandLine m_result;
};

} // namespace

CPlanCommandLine CPlanCommandLineParser::Parse(const std::vector<std::string>& args) {
    return CPlanParse(args).Run();
}
