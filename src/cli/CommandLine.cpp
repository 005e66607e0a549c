#include "CommandLine.h"

#include "ArchiveSettings.h"
#include "Utf8.h"

#include <array>
#include <charconv>
#include <climits>
#include <string_view>

namespace {

// Switches that set an option of the "Options" section.
struct OptionSwitch {
    std::string_view name;
    Option option;
    int value;
};
constexpr std::array<OptionSwitch, 14> kOptionSwitches = {{
    {"--archive", Option::ProcessType, kProcessArchive},
    {"--listing", Option::ProcessType, kProcessListing},
    {"--tabbed", Option::OutputFormat, 0},
    {"--padded", Option::OutputFormat, 1},
    {"--dirs-only", Option::DirectoryOnly, 1},
    {"--no-dirs-only", Option::DirectoryOnly, 0},
    {"--exclude-empty", Option::ExcludeEmptyFolders, 1},
    {"--keep-empty", Option::ExcludeEmptyFolders, 0},
    {"--exclude-hidden", Option::ExcludeHiddenSystemInfo, 1},
    {"--include-hidden", Option::ExcludeHiddenSystemInfo, 0},
    {"--no-subfolders", Option::ExcludeSubFolders, 1},
    {"--subfolders", Option::ExcludeSubFolders, 0},
    {"--grouping", Option::FormatFileSize, 1},
    {"--no-grouping", Option::FormatFileSize, 0},
}};

// Options that take a value.
constexpr std::array<std::string_view, 8> kValueOptions = {
    "--output", "--settings", "--media-type", "--media-number", "--archive-number", "--log", "--catalogue",
    "--manifest",
};

class CParse {
public:
    explicit CParse(const std::vector<std::string>& args) : m_args(args) {}

    CCommandLine Run() {
        bool help = false;
        bool version = false;
        bool optionsEnded = false;
        for (m_next = 0; m_next < m_args.size() && m_result.error.empty();) {
            const std::string& arg = m_args[m_next++];
            if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
                m_result.paths.push_back(arg);
            } else if (arg == "--") {
                optionsEnded = true;
            } else if (arg[1] == '-') {
                LongOption(arg, help, version);
            } else {
                ShortOptions(arg, help);
            }
        }
        if (!m_result.error.empty()) {
            m_result.action = CliAction::BadUsage;
        } else if (help) {
            m_result.action = CliAction::Help;
        } else if (version) {
            m_result.action = CliAction::Version;
        } else if (m_result.paths.empty()) {
            Error("no PATH given");
            m_result.action = CliAction::BadUsage;
        }
        return std::move(m_result);
    }

private:
    // The reason stays one printable line whatever the arguments quoted in it hold.
    void Error(const std::string& text) {
        if (m_result.error.empty()) {
            m_result.error = Utf8::Printable(text);
        }
    }

    // The value of an option: the text after "=", or the next argument.
    bool TakeValue(std::string_view name, const std::optional<std::string>& attached, std::string& value) {
        if (attached) {
            value = *attached;
        } else if (m_next < m_args.size()) {
            value = m_args[m_next++];
        } else {
            Error("option '" + std::string(name) + "' needs a value");
            return false;
        }
        if (value.empty()) {
            Error("option '" + std::string(name) + "' needs a value");
            return false;
        }
        return true;
    }

    void ValueOption(std::string_view name, const std::optional<std::string>& attached) {
        std::string value;
        if (!TakeValue(name, attached, value)) {
            return;
        }
        if (name == "--output" || name == "-o") {
            m_result.output = value == "-" ? std::nullopt : std::optional<std::string>(value);
        } else if (name == "--settings") {
            m_result.settings = value;
        } else if (name == "--log") {
            m_result.log = value;
        } else if (name == "--catalogue") {
            m_result.catalogue = value;
        } else if (name == "--manifest") {
            m_result.manifest = value;
        } else if (name == "--media-type") {
            const int index = CArchiveSettings::FindMediaType(value);
            if (index < 0) {
                Error("unknown media type '" + value + "' (CD, DAT, DLT, JAZ or ZIP)");
                return;
            }
            m_result.archive.mediaType = std::string(CArchiveSettings::kMediaTypes[static_cast<std::size_t>(index)]);
        } else {
            int number = 0;
            if (!CCommandLineParser::ParseWholeNumber(value, number)) {
                Error("option '" + std::string(name) + "' needs a whole number, not '" + value + "'");
                return;
            }
            (name == "--media-number" ? m_result.archive.mediaNumber : m_result.archive.archiveNumber) = number;
        }
    }

    void LongOption(const std::string& arg, bool& help, bool& version) {
        const auto equals = arg.find('=');
        const std::string_view name = std::string_view(arg).substr(0, equals);
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
            Error("option '" + std::string(name) + "' takes no value");
            return;
        }
        for (const OptionSwitch& option : kOptionSwitches) {
            if (name == option.name) {
                m_result.options.emplace_back(option.option, option.value);
                return;
            }
        }
        if (name == "--multiple-archives" || name == "--single-archive") {
            m_result.archive.multipleArchive = name == "--multiple-archives" ? 1 : 0;
        } else if (name == "--quiet") {
            m_result.quiet = true;
        } else if (name == "--no-catalogue") {
            m_result.noCatalogue = true;
        } else if (name == "--checksums" || name == "--no-checksums") {
            m_result.checksums = name == "--checksums";
        } else if (name == "--help") {
            help = true;
        } else if (name == "--version") {
            version = true;
        } else {
            Error("unknown option '" + std::string(name) + "'");
        }
    }

    // "-q", "-h", "-o FILE", "-oFILE" and clusters such as "-qo FILE".
    void ShortOptions(const std::string& arg, bool& help) {
        for (std::size_t i = 1; i < arg.size(); ++i) {
            switch (arg[i]) {
            case 'q':
                m_result.quiet = true;
                break;
            case 'h':
                help = true;
                break;
            case 'o':
                ValueOption("-o", i + 1 < arg.size() ? std::optional<std::string>(arg.substr(i + 1)) : std::nullopt);
                return;
            default:
                Error("unknown option '-" + std::string(1, arg[i]) + "'");
                return;
            }
        }
    }

    const std::vector<std::string>& m_args;
    std::size_t m_next = 0;
    CCommandLine m_result;
};

} // namespace

CCommandLine CCommandLineParser::Parse(const std::vector<std::string>& args) { return CParse(args).Run(); }

bool CCommandLineParser::ParseWholeNumber(const std::string& text, int& value) {
    // Digits only: no sign, no spaces.
    if (text.empty() || text.front() < '0' || text.front() > '9') {
        return false;
    }
    int number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size()) {
        return false;
    }
    value = number;
    return true;
}

const char* CCommandLineParser::Usage() {
    return "Usage: stowlist-cli [OPTION]... PATH...\n"
           "       stowlist-cli find [OPTION]... TEXT...\n"
           "       stowlist-cli catalogue [OPTION]... add|remove|refresh|list [PATH]...\n"
           "       stowlist-cli plan [OPTION]... PATH...\n"
           "       stowlist-cli verify [OPTION]... REPORT PATH...\n"
           "       stowlist-cli compare [OPTION]... OLD NEW\n"
           "Catalogue the PATHs as if they were dropped on the Stowlist window, in order,\n"
           "and write the report (CRLF line ends). A first PATH ending in \"/\" is a whole\n"
           "medium: every PATH is then listed by its contents only.\n"
           "Options not given take their values from the settings file.\n"
           "\n"
           "  -o, --output FILE        write the report to FILE (default: standard output)\n"
           "      --settings FILE      settings file (default: the desktop program's)\n"
           "      --archive | --listing            report type (default: stored ProcessType)\n"
           "      --tabbed | --padded              listing layout (OutputFormat)\n"
           "      --dirs-only | --no-dirs-only     (DirectoryOnly)\n"
           "      --exclude-empty | --keep-empty   (ExcludeEmptyFolders)\n"
           "      --exclude-hidden | --include-hidden   (ExcludeHiddenSystemInfo)\n"
           "      --no-subfolders | --subfolders   (ExcludeSubFolders)\n"
           "      --grouping | --no-grouping       thousands separators (FormatFileSize)\n"
           "      --media-type TYPE    CD, DAT, DLT, JAZ or ZIP (any case)\n"
           "      --media-number N     --archive-number N\n"
           "      --multiple-archives | --single-archive\n"
           "      --log FILE           write the archive log to FILE\n"
           "      --catalogue FILE     add the report to this catalogue (default:\n"
           "                           $XDG_DATA_HOME/stowlist/catalogue.sqlite)\n"
           "      --no-catalogue       do not add the report to the catalogue\n"
           "      --checksums | --no-checksums   write a sha256sum manifest of the files\n"
           "                           beside the report (default: [Catalogue] Checksums)\n"
           "      --manifest FILE      write the manifest to FILE (needed with --checksums\n"
           "                           when the report goes to standard output)\n"
           "  -q, --quiet              no progress on standard error\n"
           "  -h, --help               --version\n"
           "\n"
           "Exit status: 0 report written; 1 nothing to catalogue; 2 bad usage;\n"
           "3 a PATH that does not exist, or a report, log, manifest or settings file that\n"
           "cannot be written; 4 report written, checksums incomplete (files that could\n"
           "not be read are named on standard error and left out of the manifest).\n"
           "\n"
           "Commands (a folder of one of these names is given as ./find):\n"
           "  find        search the catalogue of reports (stowlist-cli find --help)\n"
           "  catalogue   add, remove, refresh and list its reports (stowlist-cli catalogue --help)\n"
           "  plan        split PATHs over media, with path lists and the report (stowlist-cli plan --help)\n"
           "  verify      check a medium against its report and manifest (stowlist-cli verify --help)\n"
           "  compare     what changed between two reports of one medium (stowlist-cli compare --help)\n";
}
