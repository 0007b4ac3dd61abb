#include "platform/ftp/ftp_command.h"

#include "platform/ftp/ftp_errors.h"
#include "platform/common/text_codec.h"

#include <cctype>
#include <stdexcept>

namespace Platform::FtpCommand {

namespace {

// The name as a message can show it: control characters become '?'.
std::string printableName(const std::string& text)
{
    std::string out = text;
    for (auto& c : out)
        if (static_cast<unsigned char>(c) < 32)
            c = '?';
    return out;
}

} // namespace

std::string encode(const std::string& verb, const std::string& argument, bool secret)
{
    const std::string shown = secret ? std::string("(oculto)") : "\"" + printableName(argument) + "\"";
    if (argument.find_first_of("\r\n") != std::string::npos)
        throw FtpError("O argumento " + shown + " do comando " + verb
                       + " contém quebra de linha e não foi enviado ao servidor FTP.");
    // A NUL ends the command early on many servers: the server would act on another name.
    if (argument.find('\0') != std::string::npos)
        throw FtpError("O argumento " + shown + " do comando " + verb
                       + " contém um caractere nulo e não foi enviado ao servidor FTP.");
    std::string wire;
    try {
        wire = utf8ToCp1252(argument);
    } catch (const std::invalid_argument& e) {
        if (secret)
            throw FtpError("O comando " + verb
                           + " contém um caractere fora da página de código 1252 e não foi enviado.");
        throw FtpError("Não é possível enviar " + shown + " ao servidor FTP: " + e.what() + ".");
    }
    std::string line = verb;
    if (!argument.empty()) {
        line += ' ';
        for (char c : wire) {
            line += c;
            if (static_cast<unsigned char>(c) == 0xFF)
                line += c;
        }
    }
    line += "\r\n";
    return line;
}

std::string quotedPath(const std::string& replyText)
{
    auto open = replyText.find('"');
    if (open == std::string::npos)
        return {};
    std::string path;
    for (auto i = open + 1; i < replyText.size(); ++i) {
        if (replyText[i] == '"') {
            if (i + 1 < replyText.size() && replyText[i + 1] == '"') {
                path += '"';
                ++i;
                continue;
            }
            return path;
        }
        path += replyText[i];
    }
    return {};
}

std::optional<int> epsvPort(const std::string& replyText)
{
    auto open = replyText.find('(');
    auto close = replyText.find(')', open == std::string::npos ? 0 : open);
    if (open == std::string::npos || close == std::string::npos || close - open < 6)
        return std::nullopt;
    std::string inside = replyText.substr(open + 1, close - open - 1);
    char delim = inside[0];
    if (inside.size() < 5 || inside[1] != delim || inside[2] != delim || inside.back() != delim)
        return std::nullopt;
    std::string digits = inside.substr(3, inside.size() - 4);
    if (digits.empty() || digits.size() > 5)
        return std::nullopt;
    int port = 0;
    for (char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        port = port * 10 + (c - '0');
    }
    if (port <= 0 || port > 65535)
        return std::nullopt;
    return port;
}

std::optional<int> pasvPort(const std::string& replyText)
{
    // The numbers may or may not be parenthesised: take the first run of six comma-separated ones.
    for (std::size_t start = 0; start < replyText.size(); ++start) {
        if (!std::isdigit(static_cast<unsigned char>(replyText[start])))
            continue;
        int values[6];
        int count = 0;
        std::size_t i = start;
        while (count < 6 && i < replyText.size() && std::isdigit(static_cast<unsigned char>(replyText[i]))) {
            int v = 0;
            int len = 0;
            while (i < replyText.size() && std::isdigit(static_cast<unsigned char>(replyText[i])) && len < 4) {
                v = v * 10 + (replyText[i] - '0');
                ++i;
                ++len;
            }
            if (v > 255)
                break;
            values[count++] = v;
            if (count < 6) {
                if (i >= replyText.size() || replyText[i] != ',')
                    break;
                ++i;
            }
        }
        if (count == 6) {
            int port = values[4] * 256 + values[5];
            if (port > 0)
                return port;
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::string eprtArgument(const std::string& ip, bool ipv6, int port)
{
    return std::string(ipv6 ? "|2|" : "|1|") + ip + "|" + std::to_string(port) + "|";
}

std::string portArgument(const std::string& ipv4, int port)
{
    std::string out;
    for (char c : ipv4)
        out += (c == '.') ? ',' : c;
    return out + "," + std::to_string(port / 256) + "," + std::to_string(port % 256);
}

std::string hideSecret(std::string text, const std::string& secret)
{
    if (secret.empty())
        return text;
    // A password of six characters or more is unambiguous: every occurrence goes, even one run into
    // other text. A shorter one ("p", "12") only as a whole word, so that it does not mangle the
    // words and numbers of a message that merely contain it.
    std::size_t characters = 0;
    for (char c : secret)
        characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    const bool anywhere = characters >= 6;
    auto isWordChar = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || (c & 0x80) != 0; };
    for (auto pos = text.find(secret); pos != std::string::npos;) {
        const auto end = pos + secret.size();
        const bool whole = (pos == 0 || !isWordChar(text[pos - 1])) && (end >= text.size() || !isWordChar(text[end]));
        if (anywhere || whole) {
            text.replace(pos, secret.size(), "******");
            pos = text.find(secret, pos + 6);
        } else {
            pos = text.find(secret, pos + 1);
        }
    }
    return text;
}

std::optional<std::int64_t> sizeValue(const std::string& replyText)
{
    auto space = replyText.find(' ');
    if (space == std::string::npos)
        return std::nullopt;
    std::size_t i = space + 1;
    while (i < replyText.size() && replyText[i] == ' ')
        ++i;
    std::int64_t value = 0;
    std::size_t digits = 0;
    for (; i < replyText.size() && std::isdigit(static_cast<unsigned char>(replyText[i])); ++i, ++digits) {
        if (value > (INT64_MAX - 9) / 10)
            return std::nullopt;
        value = value * 10 + (replyText[i] - '0');
    }
    if (digits == 0)
        return std::nullopt;
    return value;
}

} // namespace Platform::FtpCommand
