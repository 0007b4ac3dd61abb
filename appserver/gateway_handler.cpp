#include "appserver/gateway_handler.h"

#include "appserver/capped_input_stream.h"
#include "appserver/dos_listing.h"
#include "appserver/gateway_download.h"
#include "appserver/gateway_error.h"
#include "appserver/gateway_upload.h"
#include "appserver/request_gate.h"
#include "appserver/system_error_text.h"

#include <Poco/Net/HTMLForm.h>
#include <Poco/Net/HTTPBasicCredentials.h>
#include <Poco/Net/HTTPServerRequest.h>
#include <Poco/Net/HTTPServerResponse.h>
#include <Poco/NullStream.h>
#include <Poco/StreamCopier.h>
#include <Poco/URI.h>

#include <cerrno>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace AppServer {
namespace {

using Query = std::map<std::string, std::string>;

// Percent-decoding only: a '+' in a name stays a '+'.
Query parseQuery(const std::string& raw)
{
    Query query;
    std::size_t start = 0;
    while (start < raw.size()) {
        const std::size_t amp = std::min(raw.find('&', start), raw.size());
        const std::string pair = raw.substr(start, amp - start);
        start = amp + 1;
        const std::size_t eq = pair.find('=');
        std::string key, value;
        Poco::URI::decode(pair.substr(0, eq), key);
        if (eq != std::string::npos)
            Poco::URI::decode(pair.substr(eq + 1), value);
        query.emplace(key, value);
    }
    return query;
}

const std::string& required(const Query& query, const std::string& key)
{
    const auto it = query.find(key);
    if (it == query.end())
        throw GatewayError(400, "Parâmetro ausente: " + key);
    return it->second;
}

std::string optional(const Query& query, const std::string& key)
{
    const auto it = query.find(key);
    return it == query.end() ? std::string("/") : it->second;
}

// Bodies of the requests other than an upload carry nothing the gateway uses.
constexpr std::uint64_t smallBodyLimit = 64 * 1024;
const std::string plainText = "text/plain; charset=utf-8";

void sendText(Poco::Net::HTTPServerResponse& response, int status, const std::string& text,
    const std::string& contentType = plainText)
{
    response.setStatusAndReason(static_cast<Poco::Net::HTTPResponse::HTTPStatus>(status));
    response.setContentType(contentType);
    response.setContentLength(static_cast<std::streamsize>(text.size()));
    response.send() << text;
}

void authorise(const Poco::Net::HTTPServerRequest& request, const GatewayConfig& config)
{
    if (!request.hasCredentials())
        throw GatewayError(401, "Autenticação necessária");
    std::string scheme, info;
    request.getCredentials(scheme, info);
    if (Poco::icompare(scheme, "Basic") != 0)
        throw GatewayError(401, "Autenticação necessária");
    const Poco::Net::HTTPBasicCredentials credentials(info);
    if (credentials.getUsername() != config.login || credentials.getPassword() != config.password)
        throw GatewayError(401, "Usuário ou senha inválidos");
}

struct Stat {
    bool exists = false;
    bool directory = false;
    bool symlink = false;
};

Stat lstatOf(const std::string& path)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return {};
    return {true, S_ISDIR(info.st_mode), S_ISLNK(info.st_mode)};
}

void cwd(const Query& query, const StorePaths& paths, Poco::Net::HTTPServerResponse& response)
{
    const std::string target = StorePaths::join(optional(query, "dir"), required(query, "to"));
    paths.directory(target);
    sendText(response, 200, target);
}

void list(const Query& query, const StorePaths& paths, Poco::Net::HTTPServerResponse& response)
{
    const std::string real = paths.directory(optional(query, "dir"));
    sendText(response, 200, dosListing(real, paths), "text/plain; charset=windows-1252");
}

void download(const Query& query, const StorePaths& paths, const Poco::Net::HTTPServerRequest& request,
              Poco::Net::HTTPServerResponse& response)
{
    const std::string& name = required(query, "name");
    StorePaths::checkName(name);
    const std::string real = paths.existing(paths.directory(optional(query, "dir")) + "/" + name);
    struct stat info {};
    if (::stat(real.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        throw GatewayError(404, "Não é um arquivo: " + name);
    sendStoreFile(real, request, response);
}

// bodyRead is set once the whole body is in, so that a later refusal can keep the connection.
void upload(const Query& query, const StorePaths& paths, std::uint64_t uploadLimit, Poco::Net::HTTPServerRequest& request,
    Poco::Net::HTTPServerResponse& response, bool& bodyRead)
{
    const std::string& name = required(query, "name");
    StorePaths::checkName(name);
    const std::string realDir = paths.directory(optional(query, "dir"));
    const Stat target = lstatOf(realDir + "/" + name);
    if (target.directory)
        throw GatewayError(409, "Já existe um diretório com esse nome: " + name);

    GatewayUpload part(realDir, name);
    CappedInputStream body(request.stream(), uploadLimit);
    try {
        Poco::Net::HTMLForm form(request, body, part);
        // What follows the closing boundary is read too, so that the count is whole.
        Poco::NullOutputStream rest;
        Poco::StreamCopier::copyStream64(body, rest);
    } catch (const GatewayError&) {
        throw;
    } catch (const std::exception&) {
        // A body cut inside the multipart framing, or a client gone (reset, time-out): the part,
        // if begun, is dropped below with `part`; the older copy of the file stays.
        if (body.overflowed())
            throw GatewayError(413, "Arquivo maior que o limite de " + std::to_string(uploadLimit) + " bytes");
        throw GatewayError(400, "Envio incompleto: a transmissão do arquivo foi interrompida");
    }
    if (body.overflowed())
        throw GatewayError(413, "Arquivo maior que o limite de " + std::to_string(uploadLimit) + " bytes");
    // A request cut short ends the part without its closing boundary: refuse it rather than keep
    // a truncated file.
    if (request.hasContentLength() && body.count() != static_cast<std::uint64_t>(request.getContentLength64()))
        throw GatewayError(400, "Envio incompleto: a transmissão do arquivo foi interrompida");
    if (!part.received())
        throw GatewayError(400, "Falta a parte 'file' do formulário");
    bodyRead = true;
    part.commit();
    sendText(response, 201, "Arquivo gravado: " + name);
}

void remove(const Query& query, const StorePaths& paths, Poco::Net::HTTPServerResponse& response)
{
    const std::string& name = required(query, "name");
    const std::string& kind = required(query, "kind");
    StorePaths::checkName(name);
    if (kind != "file" && kind != "dir")
        throw GatewayError(400, "kind deve ser file ou dir");
    // The entry itself is removed, never what a symlink points to, so only its directory is resolved.
    const std::string path = paths.directory(optional(query, "dir")) + "/" + name;
    const Stat entry = lstatOf(path);
    if (!entry.exists)
        throw GatewayError(404, "Não encontrado: " + name);
    if (kind == "file") {
        if (entry.directory)
            throw GatewayError(409, "É um diretório: " + name);
        if (::unlink(path.c_str()) != 0)
            throw GatewayError(500, "Não foi possível excluir " + name + ": " + systemErrorText(errno));
    } else {
        if (!entry.directory)
            throw GatewayError(409, "Não é um diretório: " + name);
        if (::rmdir(path.c_str()) != 0) {
            if (errno == ENOTEMPTY || errno == EEXIST)
                throw GatewayError(409, "Diretório não vazio: " + name);
            throw GatewayError(500, "Não foi possível excluir " + name + ": " + systemErrorText(errno));
        }
    }
    sendText(response, 200, "Excluído: " + name);
}

void makeDirectory(const Query& query, const StorePaths& paths, Poco::Net::HTTPServerResponse& response)
{
    const std::string& name = required(query, "name");
    StorePaths::checkName(name);
    const std::string path = paths.directory(optional(query, "dir")) + "/" + name;
    if (lstatOf(path).exists)
        throw GatewayError(409, "Já existe: " + name);
    if (::mkdir(path.c_str(), 0755) != 0)
        throw GatewayError(errno == EEXIST ? 409 : 500, "Não foi possível criar " + name + ": " + systemErrorText(errno));
    sendText(response, 201, "Diretório criado: " + name);
}

void refuse(Poco::Net::HTTPServerRequest& request, Poco::Net::HTTPServerResponse& response, int status,
    const std::string& text, bool bodyLeft)
{
    if (response.sent())
        return; // a download broken off midway: the connection ends with it
    if (status == 401)
        response.set("WWW-Authenticate", "Basic realm=\"vop-gateway\"");
    try {
        sendReply(request, response, status, plainText, text, bodyLeft);
    } catch (const std::exception&) {
        // The client is gone; there is nobody to tell.
    }
}

} // namespace

void GatewayHandler::handleRequest(Poco::Net::HTTPServerRequest& request, Poco::Net::HTTPServerResponse& response)
{
    // Nothing of the body is read before the method, the credentials and the announced length pass.
    bool bodyRead = judgeBody(request, smallBodyLimit) == BodyVerdict::none;
    try {
        if (!knownMethod(request)) {
            response.set("Allow", "GET, POST");
            throw GatewayError(405, "Método não permitido: " + request.getMethod());
        }
        authorise(request, config_);
        const Poco::URI uri(request.getURI());
        std::vector<std::string> segments;
        uri.getPathSegments(segments);
        const std::string endpoint = segments.empty() ? std::string() : segments.back();
        const bool get = request.getMethod() == Poco::Net::HTTPRequest::HTTP_GET;
        const bool post = !get;
        const bool isUpload = post && endpoint == "file";
        const std::uint64_t limit = isUpload ? config_.uploadLimit : smallBodyLimit;
        const BodyVerdict verdict = judgeBody(request, limit);
        if (verdict != BodyVerdict::none && verdict != BodyVerdict::fits)
            throw GatewayError(verdictStatus(verdict), verdictText(verdict, limit));
        if (!isUpload && !bodyRead) {
            // A small body nobody uses is read and dropped, so that the connection stays usable.
            std::string ignored;
            if (!readCapped(request.stream(), smallBodyLimit, ignored))
                throw GatewayError(413, verdictText(BodyVerdict::tooLarge, smallBodyLimit));
            bodyRead = true;
        }
        const Query query = parseQuery(uri.getRawQuery());

        if (get && endpoint == "cwd")
            cwd(query, paths_, response);
        else if (get && endpoint == "list")
            list(query, paths_, response);
        else if (get && endpoint == "file")
            download(query, paths_, request, response);
        else if (isUpload)
            upload(query, paths_, config_.uploadLimit, request, response, bodyRead);
        else if (post && endpoint == "delete")
            remove(query, paths_, response);
        else if (post && endpoint == "mkdir")
            makeDirectory(query, paths_, response);
        else
            throw GatewayError(404, "Operação desconhecida: " + request.getMethod() + " " + uri.getPath());
    } catch (const GatewayError& e) {
        refuse(request, response, e.status, e.what(), !bodyRead);
    } catch (const std::exception& e) {
        const auto* poco = dynamic_cast<const Poco::Exception*>(&e);
        std::cerr << "vop-appserver: " << request.getMethod() << " " << request.getURI() << ": "
                  << (poco ? poco->displayText() : e.what()) << std::endl;
        refuse(request, response, 500, "Erro interno do gateway", !bodyRead);
    }
}

Poco::Net::HTTPRequestHandler* GatewayHandlerFactory::createRequestHandler(const Poco::Net::HTTPServerRequest&)
{
    // HTTPServer takes ownership of the handler and deletes it after the request.
    return std::make_unique<GatewayHandler>(config_, paths_).release();
}

} // namespace AppServer
