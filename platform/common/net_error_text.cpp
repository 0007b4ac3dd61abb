#include "platform/common/net_error_text.h"

#include <Poco/Exception.h>
#include <Poco/Net/NetException.h>
#include <Poco/Net/SSLException.h>

#include <cerrno>

namespace Platform {

std::string describeNetworkError(const Poco::Exception& error)
{
    // Most specific first: several of these derive from one another.
    if (dynamic_cast<const Poco::TimeoutException*>(&error))
        return "tempo esgotado";
    if (dynamic_cast<const Poco::Net::ConnectionRefusedException*>(&error))
        return "conexão recusada";
    if (dynamic_cast<const Poco::Net::ConnectionResetException*>(&error)
        || dynamic_cast<const Poco::Net::ConnectionAbortedException*>(&error))
        return "a conexão foi encerrada pelo servidor";
    if (dynamic_cast<const Poco::Net::NoMessageException*>(&error))
        return "o servidor encerrou a conexão sem responder";
    if (dynamic_cast<const Poco::Net::MessageException*>(&error))
        return "resposta HTTP inválida";
    if (dynamic_cast<const Poco::Net::HostNotFoundException*>(&error)
        || dynamic_cast<const Poco::Net::NoAddressFoundException*>(&error)
        || dynamic_cast<const Poco::Net::DNSException*>(&error))
        return "servidor não encontrado";
    if (dynamic_cast<const Poco::Net::InvalidCertificateException*>(&error)
        || dynamic_cast<const Poco::Net::CertificateValidationException*>(&error))
        return "o certificado do servidor não é confiável";
    if (dynamic_cast<const Poco::Net::SSLException*>(&error))
        return "falha na conexão segura (TLS)";
    if (dynamic_cast<const Poco::Net::NetException*>(&error) || dynamic_cast<const Poco::IOException*>(&error))
        return "erro de comunicação na rede";
    return "erro de comunicação";
}

std::string describeSystemError(int code)
{
    switch (code) {
    case EACCES:
    case EPERM: return "permissão negada";
    case ENOENT: return "arquivo ou pasta inexistente";
    case ENOSPC: return "sem espaço em disco";
    case EDQUOT: return "cota de disco excedida";
    case EROFS: return "o sistema de arquivos é somente leitura";
    case EEXIST: return "o arquivo já existe";
    case EISDIR: return "é uma pasta";
    case ENOTDIR: return "parte do caminho não é uma pasta";
    case ENAMETOOLONG: return "nome longo demais";
    case EMFILE:
    case ENFILE: return "arquivos abertos demais";
    case EIO: return "erro de entrada e saída no disco";
    case EFBIG: return "arquivo grande demais";
    case ECONNREFUSED: return "conexão recusada";
    case ECONNRESET:
    case ECONNABORTED:
    case EPIPE: return "a conexão foi encerrada pelo servidor";
    case ETIMEDOUT: return "tempo esgotado";
    case ENETUNREACH:
    case EHOSTUNREACH: return "servidor inalcançável";
    case EADDRINUSE: return "endereço em uso";
    default: return "erro do sistema " + std::to_string(code);
    }
}

std::string shownValue(const std::string& value) { return value.empty() ? "(vazio)" : value; }

} // namespace Platform
