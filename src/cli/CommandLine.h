#pragma once

#include "AppSettings.h"
#include "OptionScanner.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

// Medium tags given on the command line; each replaces the stored value that
// the archive Settings dialog would have shown.
struct CArchiveOverrides {
    std::optional<std::string> mediaType; // one of the five, spelt as the dialog's list spells it
    std::optional<int> mediaNumber;
    std::optional<int> archiveNumber;
    std::optional<int> multipleArchive;
};

struct CCommandLine {
    CliAction action = CliAction::Run;
    std::string error; // BadUsage: what was wrong, as one line

    std::vector<std::string> paths;     // the dropped paths, in order, as given
    std::optional<std::string> output;  // none: standard output
    std::optional<std::string> settings;
    std::optional<std::string> log;
    std::optional<std::string> catalogue; // none: the default catalogue
    bool noCatalogue = false;             // the report is not added to the catalogue
    std::optional<bool> checksums;        // none: the stored [Catalogue] Checksums
    std::optional<std::string> manifest;  // none: beside the report
    std::vector<std::pair<Option, int>> options; // in the order given; a later one wins
    CArchiveOverrides archive;
    bool quiet = false;
};

// The command line of stowlist-cli: a pure function of the arguments, which
// never prints and never ends the process, whatever it is given.
class CCommandLineParser {
public:
    // `args` without the program name.
    static CCommandLine Parse(const std::vector<std::string>& args);

    // The report run's name, options and texts.
    static const CCommandSpec& Spec();

    // The --help text.
    static std::string Usage();

    // A whole decimal number from 0 to INT_MAX, digits only.
    static bool ParseWholeNumber(const std::string& text, int& value);
};
