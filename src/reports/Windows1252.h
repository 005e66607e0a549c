#pragma once

#include <string>
#include <string_view>

// Text of reports made on Windows: a line that is not valid UTF-8 is read
// as Windows-1252 for showing and searching; its bytes stay as they are.
namespace Windows1252 {

bool IsValidUtf8(std::string_view text);

// Appends the Windows-1252 text as UTF-8; the five unassigned bytes become U+FFFD.
void AppendUtf8(std::string& out, std::string_view text);

// Appends text as UTF-8: decoded from Windows-1252 when its line is
// (cp1252 true), unchanged otherwise.
void AppendShown(std::string& out, std::string_view text, bool cp1252);

} // namespace Windows1252
