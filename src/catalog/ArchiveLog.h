#pragma once

#include <string>

// The archive log of the last drop: one line per archived folder, lines
// joined by "\r\n" with none after the last.
class CArchiveLog {
public:
    void EmptyLog() { m_strLog.clear(); }
    bool IsLogEmpty() const { return m_strLog.empty(); }
    // Appends the text unchanged; the caller supplies any "\r\n" before it.
    void AppendLog(const std::string& text) { m_strLog += text; }
    const std::string& Text() const { return m_strLog; }

private:
    std::string m_strLog;
};
