#include "platform/http/http_client_impl.h"

#include "platform/common/net_error_text.h"

#include <Poco/Net/HTTPBasicCredentials.h>
#include <Poco/NullStream.h>
#include <Poco/Random.h>
#include <Poco/StreamCopier.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

// The upload: a file as the one part of a multipart/form-data POST, sent in blocks with the work
// events.
namespace Platform {
namespace {

std::string boundary()
{
    Poco::Random random;
    random.seed();
    std::ostringstream text;
    text << "----VopFormBoundary" << std::hex << random.next() << random.next();
    return text.str();
}

// The file name as a quoted-string value: quotes escaped, line breaks dropped.
std::string quotedFileName(const std::string& path)
{
    std::string quoted;
    for (char c : std::filesystem::path(path).filename().string()) {
        if (c == '\r' || c == '\n')
            continue;
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted;
}

} // namespace

using HttpDetail::blockSize;

void TIdHTTP::PostFile(const std::string& url, const std::string& fieldName, const std::string& localPath)
{
    Request running(*this);
    std::ifstream file(localPath, std::ios::binary);
    std::error_code sizeError;
    const auto size = static_cast<std::int64_t>(std::filesystem::file_size(localPath, sizeError));
    if (!file || sizeError)
        throw std::runtime_error("não foi possível abrir o arquivo " + shownValue(localPath));
    const std::string mark = boundary();
    const std::string head = "--" + mark + "\r\nContent-Disposition: form-data; name=\"" + fieldName + "\"; filename=\"" +
        quotedFileName(localPath) + "\"\r\nContent-Type: application/octet-stream\r\n\r\n";
    const std::string tail = "\r\n--" + mark + "--\r\n";

    std::string target;
    auto& http = session(url, target);
    Poco::Net::HTTPRequest request(Poco::Net::HTTPRequest::HTTP_POST, target, Poco::Net::HTTPMessage::HTTP_1_1);
    request.set("Accept", Accept);
    request.set("User-Agent", UserAgent);
    request.setContentType("multipart/form-data; boundary=" + mark);
    request.setContentLength64(static_cast<Poco::UInt64>(head.size() + tail.size()) + static_cast<Poco::UInt64>(size));
    if (!Username.empty())
        Poco::Net::HTTPBasicCredentials(Username, Password).authenticate(request);

    Poco::Net::HTTPResponse response;
    bool sentWhole = false;
    try {
        {
            if (OnWorkBegin)
                OnWorkBegin(TWorkMode::wmWrite, size);
            HttpDetail::WorkScope scope{OnWorkEnd, TWorkMode::wmWrite};
            std::ostream& out = http.sendRequest(request);
            out << head;
            std::vector<char> block(blockSize);
            std::int64_t sent = 0;
            while (sent < size) {
                file.read(block.data(), static_cast<std::streamsize>(std::min<std::int64_t>(blockSize, size - sent)));
                const auto got = file.gcount();
                if (got <= 0)
                    throw std::runtime_error("não foi possível ler o arquivo " + localPath);
                out.write(block.data(), got);
                if (!out)
                    break;
                sent += got;
                if (OnWork)
                    OnWork(TWorkMode::wmWrite, sent);
                if (breaker_.Fired())
                    throw HttpCancelled(false);
            }
            if (out) {
                out << tail;
                out.flush();
            }
            if (!out) {
                if (breaker_.Fired())
                    throw HttpCancelled(false);
                throw std::runtime_error("a conexão com o servidor HTTP " + HttpDetail::serverOf(url) + " foi perdida durante o envio");
            }
            sentWhole = true;
        }
        std::istream& body = http.receiveResponse(response);
        HttpDetail::throwForStatus(response, body);
        Poco::NullOutputStream sink;
        Poco::StreamCopier::copyStream(body, sink);
    } catch (const HttpError&) {
        throw;
    } catch (const Poco::Exception& e) {
        fail(url, e, sentWhole);
    } catch (...) {
        // The request body was left incomplete: the connection cannot carry another request.
        dropSession();
        throw;
    }
}

} // namespace Platform
