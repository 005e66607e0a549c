#pragma once

#include <string>
#include <string_view>

namespace JsonText {

// Appends bytes as a JSON string: as UTF-8, decoded from Windows-1252 when
// cp1252 is set or the bytes are not valid UTF-8; quotes, backslashes and
// control characters escaped.
void AppendString(std::string& out, std::string_view bytes, bool cp1252);

} // namespace JsonText
