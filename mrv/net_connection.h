#pragma once

#include "mrv/mrv_export.h"

#include "platform/common/wait_hook.h"

#include <Poco/Dynamic/Var.h>

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Poco::Net {
class HTTPClientSession;
}
namespace Platform {
class ConnectionBreaker;
}

namespace Mrv {

// Link to one server object of the application server (HTTP/1.1 + JSON, keep-alive).
// Connecting asks GET /servers/<ServerName>; AppServer() calls a method late-bound and returns its
// variant result (see variantFromJson in mrv/data_packet.h for the mapping).
class MRV_API TNetConnection : public QObject {
    Q_OBJECT
public:
    explicit TNetConnection(QObject* owner = nullptr);
    ~TNetConnection() override;

    std::string ServerName;
    std::string Host;
    int Port = 0;
    bool ThrowException = true;
    std::chrono::milliseconds ConnectTimeout{15000};
    std::chrono::milliseconds ReplyTimeout{60000};
    std::function<void(TNetConnection&)> OnBeforeConnect; // runs before every connect
    // When set, every request runs on a helper thread while the calling thread serves this hook every
    // kWaitSlice until the reply is in; when it throws, the connection is shut down and the hook's
    // exception leaves the call (SetConnected and AppServer alike).
    Platform::WaitHook OnWaiting;

    bool Connected() const { return connected_; }
    // true: OnBeforeConnect, then the connect request. On failure it throws std::runtime_error when
    // ThrowException is set; otherwise the link stays disconnected and LastError() tells why.
    // false: drops the link.
    void SetConnected(bool value);
    const std::string& LastError() const { return lastError_; }

    // POST /servers/<ServerName>/<method> {"args":[...]}. Throws std::runtime_error with the
    // server's message on an error status, and with the connect error when not connected.
    Poco::Dynamic::Var AppServer(const std::string& method, const std::vector<std::string>& args = {});

private:
    struct Reply {
        int status = 0;
        std::string body;
    };
    Reply exchange(const std::string& verb, const std::string& path, const std::string& body);
    Reply send(const std::string& verb, const std::string& path, const std::string& body);
    std::string where() const;

    std::unique_ptr<Platform::ConnectionBreaker> breaker_;
    std::unique_ptr<Poco::Net::HTTPClientSession> session_;
    bool connected_ = false;
    std::string lastError_;
};

} // namespace Mrv
