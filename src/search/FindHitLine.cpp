#include "FindHitLine.h"

#include "Utf8.h"

std::string FindHitLine(const CFindHit& hit) {
    std::string line;
    for (const std::string* field : {&hit.m_strMedium, &hit.m_strFolder, &hit.m_strName}) {
        Utf8::AppendPrintable(line, *field);
        line.push_back('\t');
    }
    line += hit.m_bFolder ? std::string() : std::to_string(hit.m_nSize);
    line.push_back('\t');
    Utf8::AppendPrintable(line, hit.m_strDate);
    line.push_back('\t');
    Utf8::AppendPrintable(line, hit.m_strTime);
    line.push_back('\t');
    Utf8::AppendPrintable(line, hit.m_strReport);
    line += ":" + std::to_string(hit.m_nLine);
    return line;
}
