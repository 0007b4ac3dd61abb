#include "platform/common/net_error_text.h"

#include <Poco/Exception.h>
#include <Poco/Net/NetException.h>
#include <Poco/Net/SSLException.h>

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

std::string shownValue(const std::string& value) { return value.empty() ? "(vazio)" : value; }

} // namespace Platform
