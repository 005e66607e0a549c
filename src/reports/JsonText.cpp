#include "JsonText.h"

#include "Utf8.h"
#include "Windows1252.h"

#include <cstdio>

void JsonText::AppendString(std::string& out, std::string_view bytes, bool cp1252) {
    std::string utf8;
    Windows1252::AppendShown(utf8, bytes, cp1252 || !Windows1252::IsValidUtf8(bytes));
    out.push_back('"');
    for (std::size_t pos = 0; pos < utf8.size();) {
        char32_t c = 0;
        std::size_t length = 0;
        if (!Utf8::Decode(utf8, pos, c, length)) {
            out += "\xef\xbf\xbd";
            ++pos;
            continue;
        }
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else if (c < 0x20 || c == 0x7F) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(c));
            out += buffer;
        } else {
            out.append(utf8, pos, length);
        }
        pos += length;
    }
    out.push_back('"');
}
