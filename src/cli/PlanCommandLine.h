#pragma once

#include "OptionScanner.h"
#include "OptionsSnapshot.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// What `stowlist-cli plan` was asked to do. Absent values take the stored
// settings or the media type's defaults.
struct CPlanCommandLine {
    CliAction action = CliAction::Run;
    std::string error; // BadUsage: what was wrong, as one printable line

    std::vector<std::string> paths; // as given, in order
    std::optional<std::string> mediaType; // one of the five, spelt as the archive settings spell it
    std::optional<std::uint64_t> capacity;
    std::optional<std::uint64_t> blockSize;
    std::uint64_t reserve = 0;
    std::optional<int> mediaNumber;
    std::optional<int> multipleArchive;
    std::optional<std::string> pathLists; // a folder
    std::optional<std::string> output;    // the archive report of the plan
    std::optional<std::string> log;
    std::optional<std::string> settings;
    std::optional<std::string> catalogue;
    bool noCatalogue = false;
    bool json = false;
    std::vector<std::pair<Option, int>> options; // in the order given; a later one wins
};

// The arguments after "plan": a pure function of them, which never prints
// and never ends the process, whatever it is given.
class CPlanCommandLineParser {
public:
    static const CCommandSpec& Spec();
    static CPlanCommandLine Parse(const std::vector<std::string>& args);
};
