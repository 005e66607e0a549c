// Arbitrary bytes as the settings file, then reads and writes: the writes
// must read back, keys they do not touch must keep their values, and the
// file on disk must hold exactly the changed document.
#include "IniDocument.h"
#include "SettingsStore.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <strings.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const std::vector<std::pair<std::string, std::string>> kKeys = {
    {"Options", "ExportData"},    {"Options", "ProcessType"},    {"Archive Options", "MediaType"},
    {"Archive Options", "MediaNumber"}, {"Export Dialogue", "DefaultDir"}, {"options", "EXPORTDATA"},
    {"A", "x"},                   {"a b", "k k"},
};

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

std::string TempFile() {
    static std::string path = [] {
        std::string pattern = "/tmp/stowlist-fuzz-XXXXXX";
        const int fd = mkstemp(pattern.data());
        close(fd);
        return pattern;
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::size_t keyIndex = data[0] % kKeys.size();
    const std::size_t split = 1 + data[1] % (size - 1);
    const std::string file(reinterpret_cast<const char*>(data) + 2, split > 2 ? split - 2 : 0);
    const std::string value(reinterpret_cast<const char*>(data) + split, size - split);

    CIniDocument document(file);
    std::vector<std::optional<std::string>> before;
    for (const auto& [section, key] : kKeys) {
        before.push_back(document.Find(section, key));
    }
    const auto& [section, key] = kKeys[keyIndex];
    CIniDocument changed = document;
    if (changed.Set(section, key, value)) {
        // What the value reads back as: blanks trimmed, one pair of quotes removed, cut at NUL.
        CIniDocument reread(changed.Text());
        Require(reread.Find(section, key).has_value(), "a written key reads back");
        for (std::size_t i = 0; i < kKeys.size(); ++i) {
            const bool sameKey = strcasecmp(kKeys[i].first.c_str(), section.c_str()) == 0 &&
                                 strcasecmp(kKeys[i].second.c_str(), key.c_str()) == 0;
            if (!sameKey) {
                Require(reread.Find(kKeys[i].first, kKeys[i].second) == before[i], "other keys keep their values");
            }
        }
        CIniDocument again(changed.Text());
        Require(again.Set(section, key, value) && again.Text() == changed.Text(), "writing twice changes nothing");
    }

    // The same through the file: a write either lands whole or leaves the file as it was.
    const std::string path = TempFile();
    if (FILE* out = std::fopen(path.c_str(), "wb")) {
        std::fwrite(file.data(), 1, file.size(), out);
        std::fclose(out);
    }
    CSettingsStore store(path);
    (void)store.GetInt(section, key, 1);
    (void)store.GetString(section, key, "CD");
    const bool written = store.WriteString(section, key, value);
    std::string onDisk;
    if (FILE* in = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
            onDisk.append(buffer, n);
        }
        std::fclose(in);
    }
    Require(onDisk == (written ? changed.Text() : file), "the file holds the old or the new document");
    return 0;
}
