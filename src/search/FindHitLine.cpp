#include "FindHitLine.h"

#include "Utf8.h"

std::string FindHitLine(const CFindHit& hit) {
    std::string line;
    AppendFindHitLine(line, hit);
    return line;
}

void AppendFindHitLine(std::string& line, const CFindHit& hit) {
    for (const std::string* field : {&hit.m_strMedium, &hit.m_strFolder, &hit.m_strName}) {
        Utf8::AppendPrintable(line, *field);
        line.push_back('\t');
    }
    if (!hit.m_bFolder) {
        line += std::to_string(hit.m_nSize);
    }
    line.push_back('\t');
    Utf8::AppendPrintable(line, hit.m_strDate);
    line.push_back('\t');
    Utf8::AppendPrintable(line, hit.m_strTime);
    line.push_back('\t');
    Utf8::AppendPrintable(line, hit.m_strReport);
    line.push_back(':');
    line += std::to_string(hit.m_nLine);
}
