#include "platform/common/text_codec.h"

#include <Poco/TextConverter.h>
#include <Poco/UTF8Encoding.h>
#include <Poco/Windows1252Encoding.h>

#include <algorithm>
#include <stdexcept>

namespace Platform {

std::string utf8ToCp1252(const std::string& utf8)
{
    Poco::UTF8Encoding from;
    Poco::Windows1252Encoding to;
    std::string out;
    out.reserve(utf8.size());
    std::string::size_type i = 0;
    while (i < utf8.size()) {
        const auto* p = reinterpret_cast<const unsigned char*>(utf8.data() + i);
        int len = from.sequenceLength(p, static_cast<int>(utf8.size() - i));
        if (len <= 0 || i + static_cast<std::string::size_type>(len) > utf8.size())
            throw std::invalid_argument("texto com UTF-8 inválido");
        int cp = from.queryConvert(p, len);
        unsigned char byte[4];
        if (cp < 0 || to.convert(cp, byte, sizeof byte) != 1)
            throw std::invalid_argument("o caractere \"" + utf8.substr(i, static_cast<std::size_t>(len))
                                        + "\" não pode ser enviado (fora da página de código 1252)");
        out.push_back(static_cast<char>(byte[0]));
        i += static_cast<std::string::size_type>(len);
    }
    return out;
}

std::string cp1252ToUtf8(const std::string& cp1252)
{
    // Listing lines are mostly ASCII, which both encodings spell alike.
    if (std::all_of(cp1252.begin(), cp1252.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return cp1252;
    Poco::Windows1252Encoding from;
    Poco::UTF8Encoding to;
    Poco::TextConverter converter(from, to, 0xFFFD);
    std::string out;
    converter.convert(cp1252, out);
    return out;
}

} // namespace Platform
