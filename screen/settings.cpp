// Fetching the screen's connection settings from the application server.
#include "screen/ctrl_arq_xml_nfe.h"

#include "screen/screen_globals.h"
#include "screen/browse/remote_browser.h"

#include "mrv/consiste.h"
#include "mrv/net_connection.h"
#include "mrv/quelbar.h"
#include "mrv/showavi.h"

#include <Poco/Dynamic/Var.h>

#include <stdexcept>

namespace Cli_Vop31600 {
namespace {

std::unique_ptr<Mrv::TNetConnection> temporaryLink(const std::string& serverName, Platform::WaitHook waiting)
{
    auto link = std::make_unique<Mrv::TNetConnection>();
    link->OnWaiting = std::move(waiting);
    link->ServerName = serverName;
    link->Host = Quelbar::WebURL();
    link->Port = Quelbar::WebPort();
    link->SetConnected(true);
    return link;
}

bool isTextReply(const Poco::Dynamic::Var& reply) { return reply.isString(); }

// An element of an array reply as text: a missing or null element is a conversion failure.
std::string elementText(const Poco::Dynamic::Var& reply, std::size_t index)
{
    if (!reply.isArray() || index >= reply.size())
        throw std::runtime_error("Resposta do servidor incompleta: elemento " + std::to_string(index) + " ausente.");
    const Poco::Dynamic::Var element = reply[index];
    if (element.isEmpty())
        throw std::runtime_error("Resposta do servidor inválida: elemento " + std::to_string(index) + " nulo.");
    return element.convert<std::string>();
}

// A column of the parameter row; one the server left out fails as a value that cannot be read.
Platform::TField& column(Platform::TClientDataSet& table, const char* name)
{
    if (Platform::TField* field = table.FindField(name))
        return *field;
    throw std::runtime_error(std::string("Coluna ") + name + " ausente nos parâmetros HTTP.");
}

// A failure reply: a status other than "S" and a message after it.
bool isFailureReply(const Poco::Dynamic::Var& reply)
{
    return reply.isArray() && reply.size() >= 2 && !reply[0].isEmpty() && reply[0].convert<std::string>() != "S";
}

std::string columnText(Platform::TClientDataSet& table, const char* name)
{
    Platform::TField& field = column(table, name);
    if (field.IsNull())
        throw std::runtime_error(std::string("Valor nulo na coluna ") + name + " não pode ser convertido.");
    return field.AsString();
}

std::int32_t columnInteger(Platform::TClientDataSet& table, const char* name)
{
    Platform::TField& field = column(table, name);
    if (field.IsNull())
        throw std::runtime_error(std::string("Valor nulo na coluna ") + name + " não pode ser convertido.");
    if (field.DataType() == Platform::FieldType::String) {
        const std::string text = field.AsString();
        std::size_t used = 0;
        long value = 0;
        try {
            value = std::stol(text, &used);
        } catch (const std::exception&) {
            used = 0;
        }
        if (used == 0 || used != text.size())
            throw std::runtime_error("'" + text + "' não é um valor inteiro válido.");
        return static_cast<std::int32_t>(value);
    }
    return field.AsInteger();
}

void loadDataPacket(Platform::TClientDataSet& table, const Mrv::DataPacket& packet)
{
    for (const auto& field : packet.fields) {
        Platform::FieldType type = Platform::FieldType::String;
        if (field.type == "integer")
            type = Platform::FieldType::Integer;
        else if (field.type == "float")
            type = Platform::FieldType::Float;
        else if (field.type == "boolean")
            type = Platform::FieldType::Boolean;
        table.AddField(field.name, type, type == Platform::FieldType::String ? 255 : 0);
    }
    table.CreateDataSet();
    for (const auto& row : packet.rows) {
        table.Append();
        for (std::size_t i = 0; i < row.size() && i < packet.fields.size(); ++i) {
            const Poco::Dynamic::Var& value = row[i];
            Platform::TField& field = table.FieldByName(packet.fields[i].name);
            if (value.isEmpty())
                field.Clear();
            else if (field.DataType() == Platform::FieldType::Integer)
                field.SetAsInteger(value.convert<std::int32_t>());
            else if (field.DataType() == Platform::FieldType::Float)
                field.SetAsFloat(value.convert<double>());
            else if (field.DataType() == Platform::FieldType::Boolean)
                field.SetAsBoolean(value.convert<bool>());
            else
                field.SetAsString(value.convert<std::string>());
        }
        table.Post();
    }
    table.First();
}

// The temporary parameter datasets of earlier screens; the module global names the latest.
std::unique_ptr<Platform::TClientDataSet>& ownedHttpTable()
{
    static std::unique_ptr<Platform::TClientDataSet> table;
    return table;
}

} // namespace

void TfrmCtrlArqXMLNFe::DadosFTP()
{
    Showavi::ActiveShowAvi(frmCtrlArqXMLNFe, 6);
    std::unique_ptr<Mrv::TNetConnection> linkA;
    std::unique_ptr<Mrv::TNetConnection> linkB;
    auto disconnectLinks = [&] {
        if (linkA)
            linkA->SetConnected(false);
        if (linkB)
            linkB->SetConnected(false);
    };
    try {
        linkA = temporaryLink("Bib.rdmDBGeral", clientWait.hook());
        ownedHttpTable() = std::make_unique<Platform::TClientDataSet>();
        cdsHttp = ownedHttpTable().get();
        loadDataPacket(*cdsHttp, Consiste::CheckResultServ(linkA->AppServer("GetHttp"), true, 0));

        linkB = temporaryLink("Bib.rdmLocalCache", clientWait.hook());
        const Poco::Dynamic::Var cache = linkB->AppServer("GetTableData", {""});
        stConnectStr = cache.isEmpty() ? std::string() : cache.convert<std::string>();

        const Poco::Dynamic::Var reply = netCtrlArqXMLNFe->AppServer("GetDadosFTP");
        if (reply.isArray()) {
            // A failure reply shorter than five elements fails here, on its missing element, before
            // the mode is decided; it fails with its own message, which the user would not see else.
            if (reply.size() < 5 && isFailureReply(reply)) {
                Showavi::DeactiveShowAvi();
                Consiste::MensErro(elementText(reply, 1), true);
            }
            SOrganizacao = elementText(reply, 4);
            const std::string root = "/";
            const std::string organisationHome = "/XMLFTP/Organização " + SOrganizacao;
            SDirHome = Consiste::iif(SOrganizacao == "0", root, organisationHome);
        }

        boHttp = false;
        if (!cdsHttp->IsEmpty() && !column(*cdsHttp, "IDUTPARAMHTTPGER").IsNull()
            && column(*cdsHttp, "IDUTPARAMHTTPGER").AsString() == "S") {
            SHttpHosAddr = columnText(*cdsHttp, "HTTPHOSADDR");
            SHttpPort = columnText(*cdsHttp, "HTTPPORT");
            InIdUtHttpProxy = columnInteger(*cdsHttp, "IDUTHTTPPROXY");
            SHttpProxyHost = columnText(*cdsHttp, "HTTPPROXYHOST");
            SHttpProxyPort = columnText(*cdsHttp, "HTTPPROXYPORT");
            SHttpProxyUserId = columnText(*cdsHttp, "HTTPPROXYUSERID");
            InHttpHttps = columnInteger(*cdsHttp, "HTTPHTTPS");
            boHttp = true;
            Showavi::DeactiveShowAvi();
        }

        if (!boHttp) {
            Showavi::DeactiveShowAvi();
            if (isTextReply(reply)) {
                Consiste::MensErro(reply.convert<std::string>(), true);
            } else {
                const std::string status = elementText(reply, 0);
                if (status != "S")
                    Consiste::MensErro(elementText(reply, 1), true);
                SFtpHosAddr = elementText(reply, 1);
                SFtpUserId = elementText(reply, 2);
                SFtpPassword = elementText(reply, 3);
            }
        }
    } catch (...) {
        browser_ = screenBrowser(*IdFTP, *IdHTTP, {SFtpHosAddr, SFtpUserId, SFtpPassword});
        try {
            disconnectLinks();
        } catch (...) {
        }
        Showavi::DeactiveShowAvi();
        throw;
    }
    browser_ = screenBrowser(*IdFTP, *IdHTTP, {SFtpHosAddr, SFtpUserId, SFtpPassword});
    disconnectLinks();
}

} // namespace Cli_Vop31600
