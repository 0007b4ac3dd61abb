#include "host/http_settings.h"

#include "mrv/data_packet.h"
#include "mrv/dbgeral.h"
#include "mrv/net_connection.h"
#include "mrv/quelbar.h"

#include <Poco/Exception.h>

#include <ostream>
#include <stdexcept>

namespace Host {

namespace {

// The column's value in the first row; empty (Null) when the table lacks the column.
Poco::Dynamic::Var firstRowValue(const Mrv::DataPacket& packet, const std::string& field)
{
    for (std::size_t column = 0; column < packet.fields.size(); ++column)
        if (packet.fields[column].name == field && column < packet.rows.front().size())
            return packet.rows.front()[column];
    return {};
}

std::string text(const Poco::Dynamic::Var& value) { return value.isEmpty() ? std::string() : value.convert<std::string>(); }

void warn(std::ostream& warnings, const std::string& reason)
{
    warnings << "vop-host: warning: the HTTP settings could not be read from the application server at "
             << Quelbar::WebURL() << ":" << Quelbar::WebPort() << " (" << reason << "); HTTP mode stays off"
             << std::endl;
}

} // namespace

void loadHostHttpSettings(std::ostream& warnings)
{
    try {
        Mrv::TNetConnection link;
        link.ServerName = "Bib.rdmDBGeral";
        link.Host = Quelbar::WebURL();
        link.Port = Quelbar::WebPort();
        link.ThrowException = true;
        link.SetConnected(true);
        const Mrv::DataPacket packet = Mrv::dataPacketFromReply(link.AppServer("GetHttp"));
        link.SetConnected(false);
        if (packet.rows.empty())
            return;
        const bool http = text(firstRowValue(packet, "IDUTPARAMHTTPGER")) == "S";
        const std::string port = text(firstRowValue(packet, "HTTPPORT"));
        const Poco::Dynamic::Var https = firstRowValue(packet, "HTTPHTTPS");
        const std::int32_t httpsValue = https.isEmpty() ? 0 : https.convert<std::int32_t>();
        // Assigned together, so a bad value leaves all three at their defaults.
        Dbgeral::boHttp = http;
        Dbgeral::SHttpPort = port;
        Dbgeral::InHttpHttps = httpsValue;
    } catch (const Poco::Exception& e) {
        warn(warnings, e.displayText());
    } catch (const std::exception& e) {
        warn(warnings, e.what());
    }
}

} // namespace Host
