// Browsing, deleting and creating directories through the HTTP gateway, when the application server
// puts the screen in HTTP mode. Same state rules and messages as over FTP.
#include "screen/ctrl_arq_xml_nfe.h"

#include "package/module_globals.h"
#include "transfer/connection_string.h"

#include "mrv/consiste.h"
#include "mrv/prompts.h"
#include "platform/id_http.h"
#include "platform/text_codec.h"

#include <QLineEdit>

#include <sstream>

namespace Cli_Vop31600 {
namespace {

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string firstLine(const std::string& text)
{
    const auto end = text.find_first_of("\r\n");
    return end == std::string::npos ? text : text.substr(0, end);
}

} // namespace

std::string TfrmCtrlArqXMLNFe::gatewayUrl(const std::string& endpoint,
                                          const std::vector<std::pair<std::string, std::string>>& query) const
{
    const auto connection = Cli_Vop31601::parseGatewayConnection(stConnectStr);
    IdHTTP->Username = connection.Login;
    IdHTTP->Password = connection.Password;
    const std::string base = Cli_Vop31601::gatewayBaseUrl(connection.Address, SHttpPort, InHttpHttps);
    return Cli_Vop31601::gatewayRequestUrl(base, connection.Path, endpoint, query);
}

void TfrmCtrlArqXMLNFe::changeDirHttp(const std::string& path)
{
    try {
        const std::string from = httpCurrentDir_.empty() ? std::string("/") : httpCurrentDir_;
        const std::string current = firstLine(IdHTTP->Get(gatewayUrl("cwd", {{"dir", from}, {"to", path}})));
        httpCurrentDir_ = current;
        btnNivelAcima->setEnabled(boHabilitado && current != SDirHome);
        sbtConfirma->setEnabled(false);
        edtDiretorio->setText(QString::fromStdString(current));
        if (Consiste::EmptyString(current)) {
            Mrv::prompts().inform(windowTitle().toStdString(), "IdFTP.RetrieveCurrentDir");
            ControlaComponentes(false, true);
        }
        const std::string listing = IdHTTP->Get(gatewayUrl("list", {{"dir", current}}));
        CarregaGrid(splitLines(Platform::cp1252ToUtf8(listing)));
    } catch (const std::exception& error) {
        enterUnavailable(error);
    }
}

void TfrmCtrlArqXMLNFe::deleteThroughGateway(const std::string& name, bool isDirectory)
{
    IdHTTP->Post(gatewayUrl("delete", {{"dir", httpCurrentDir_}, {"name", name}, {"kind", isDirectory ? "dir" : "file"}}));
}

void TfrmCtrlArqXMLNFe::makeDirThroughGateway(const std::string& name)
{
    IdHTTP->Post(gatewayUrl("mkdir", {{"dir", httpCurrentDir_}, {"name", name}}));
}

} // namespace Cli_Vop31600
