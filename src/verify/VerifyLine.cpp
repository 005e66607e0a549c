#include "VerifyLine.h"

#include "JsonText.h"

#include <numeric>

std::uint64_t CVerifyCounts::Total() const {
    return std::accumulate(m_counts.begin(), m_counts.end(), std::uint64_t{0});
}

namespace {

constexpr std::array<std::string_view, kVerifyKindCount> kKindNames = {
    "ok", "changed", "missing", "new", "moved", "corrupt", "unreadable",
};

} // namespace

std::string_view VerifyText::KindName(VerifyKind kind) { return kKindNames[static_cast<std::size_t>(kind)]; }

std::string VerifyText::Line(const CVerifyLine& line) {
    std::string text(KindName(line.m_kind));
    text.push_back('\t');
    text += line.m_strPath;
    text.push_back('\t');
    text += line.m_strDetail;
    return text;
}

std::string VerifyText::JsonLine(const CVerifyLine& line) {
    std::string text = "{\"kind\":\"";
    text += KindName(line.m_kind);
    text += "\",\"path\":";
    JsonText::AppendString(text, line.m_strPath, false);
    text += ",\"detail\":";
    JsonText::AppendString(text, line.m_strDetail, false);
    text.push_back('}');
    return text;
}

std::string VerifyText::Summary(const CVerifyCounts& counts) {
    std::string text = "Checked " + std::to_string(counts.Total()) + " entries: ";
    for (std::size_t i = 0; i < kVerifyKindCount; ++i) {
        if (i > 0) {
            text += ", ";
        }
        text += std::to_string(counts.m_counts[i]);
        text.push_back(' ');
        text += kKindNames[i];
    }
    return text;
}

std::string VerifyText::JsonSummary(const CVerifyCounts& counts) {
    std::string text = "{\"summary\":{\"checked\":" + std::to_string(counts.Total());
    for (std::size_t i = 0; i < kVerifyKindCount; ++i) {
        text += ",\"";
        text += kKindNames[i];
        text += "\":" + std::to_string(counts.m_counts[i]);
    }
    text += "}}";
    return text;
}

namespace {

std::uint64_t Compared(const CVerifyCounts& counts) {
    return counts.Total() - counts[VerifyKind::New] - counts[VerifyKind::Unreadable];
}

} // namespace

std::string VerifyText::CompareSummary(const CVerifyCounts& counts) {
    std::string text = "Compared " + std::to_string(Compared(counts)) + " entries: ";
    for (std::size_t i = 0; i < kVerifyKindCount; ++i) {
        if (static_cast<VerifyKind>(i) == VerifyKind::Unreadable) {
            continue;
        }
        if (i > 0) {
            text += ", ";
        }
        text += std::to_string(counts.m_counts[i]);
        text.push_back(' ');
        text += kKindNames[i];
    }
    return text;
}

std::string VerifyText::JsonCompareSummary(const CVerifyCounts& counts) {
    std::string text = "{\"summary\":{\"compared\":" + std::to_string(Compared(counts));
    for (std::size_t i = 0; i < kVerifyKindCount; ++i) {
        if (static_cast<VerifyKind>(i) == VerifyKind::Unreadable) {
            continue;
        }
        text += ",\"";
        text += kKindNames[i];
        text += "\":" + std::to_string(counts.m_counts[i]);
    }
    text += "}}";
    return text;
}
