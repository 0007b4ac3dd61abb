#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Building FTP command lines and reading the arguments of a few replies.
namespace Platform::FtpCommand {

// The wire bytes of "verb argument": CP1252, 0xFF doubled (Telnet), CRLF appended.
// Throws FtpError before anything is sent when the argument holds CR or LF or a character
// that CP1252 lacks. With secret set the message never quotes the argument.
std::string encode(const std::string& verb, const std::string& argument, bool secret = false);

// The path of a 257 reply text ("257 \"/a \"\"b\"\"\" is current"): quotes undoubled; empty
// when the text holds no quoted path.
std::string quotedPath(const std::string& replyText);

// Port of a 229 reply "(|||port|)".
std::optional<int> epsvPort(const std::string& replyText);
// Port of a 227 reply "(h1,h2,h3,h4,p1,p2)"; the address is ignored: the data connection goes
// to the control connection's peer.
std::optional<int> pasvPort(const std::string& replyText);

std::string eprtArgument(const std::string& ipv4OrIpv6, bool ipv6, int port);
std::string portArgument(const std::string& ipv4, int port);

// Masks the password in a message that quotes the server: any occurrence of one of six characters
// or more, a shorter one only as a whole word.
std::string hideSecret(std::string text, const std::string& secret);

// "123 text" -> 123 when the text parses as a non-negative decimal, else nullopt.
std::optional<std::int64_t> sizeValue(const std::string& replyText);

} // namespace Platform::FtpCommand
