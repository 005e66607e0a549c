#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

enum class FindKinds { All, Files, Folders, OneMediumOnly }; // the last: files that no other medium holds

// What Find looks for. Texts and pattern as the user typed them (UTF-8);
// Find folds their case.
struct CFindQuery {
    std::vector<std::string> m_arrTexts; // every one must occur in the name
    std::string m_strGlob;               // when not empty: matched against the whole name instead
    FindKinds m_kinds = FindKinds::All;
    std::string m_strMediumPrefix;       // keeps hits whose tag starts with it
    bool m_bCopies = false;              // gives each hit its copy count (CFindHit::m_nCopies)
};

// One hit, its texts as the report holds them (bytes; m_bWindows1252 says
// the report line is Windows-1252 rather than UTF-8).
struct CFindHit {
    std::string m_strMedium;
    std::string m_strFolder;
    bool m_bFolderWindows1252 = false;
    std::string m_strName;
    bool m_bFolder = false;
    std::uint64_t m_nSize = 0;
    std::string m_strDate;
    std::string m_strTime;
    std::string m_strReport; // absolute path of the report
    std::uint64_t m_nLine = 0;
    bool m_bWindows1252 = false;
    std::uint32_t m_nCopies = 0; // the media that hold the file (see CCopyIndex), when asked; 0 for a folder
};

// Takes hits one at a time, in order; the hit lives until it returns.
using FindHitSink = std::function<void(const CFindHit&)>;

struct CFindResult {
    std::vector<CFindHit> m_arrHits; // the first hits in order, at most the limit asked for
    std::uint64_t m_nTotal = 0;      // every hit
    std::size_t m_nReports = 0;      // reports searched
    bool m_bCancelled = false;       // m_nTotal is then incomplete
    bool m_bFailed = false;          // the catalogue could not be read: see LastError()
};
