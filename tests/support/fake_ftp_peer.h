#pragma once

#include <Poco/Net/ServerSocket.h>
#include <Poco/Net/SocketAddress.h>
#include <Poco/Net/StreamSocket.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace TestSupport {

// A scripted FTP server on loopback for fault injection. The script is a list of steps run in
// order on one accepted control connection: expect a command, send bytes, close, reset, stall,
// and drive an active-mode data connection to the address of the last EPRT/PORT.
// A step that does not go to plan stops the script and is reported by failure().
class FakeFtpPeer {
public:
    explicit FakeFtpPeer(const std::string& ip);
    ~FakeFtpPeer();
    FakeFtpPeer(const FakeFtpPeer&) = delete;
    FakeFtpPeer& operator=(const FakeFtpPeer&) = delete;

    const std::string& host() const { return host_; }
    int port() const { return port_; }

    FakeFtpPeer& send(const std::string& raw);       // bytes as given
    FakeFtpPeer& reply(const std::string& line);     // line + CRLF
    FakeFtpPeer& expect(const std::string& verb);    // the next command's verb (Telnet bytes dropped)
    FakeFtpPeer& login();                            // 220, USER -> 331, PASS -> 230
    FakeFtpPeer& close();                            // orderly close of the control connection
    FakeFtpPeer& reset();                            // close with RST
    FakeFtpPeer& stall();                            // do nothing more, keep everything open
    FakeFtpPeer& pause(std::chrono::milliseconds ms);
    FakeFtpPeer& dataConnect();                      // to the last EPRT/PORT address, from host()
    // A third party at ip connects to the last EPRT/PORT address first and sends bytes; it notes
    // whether the client hung up on it (strangerRefused()).
    FakeFtpPeer& strangerConnect(const std::string& ip, const std::string& bytes);
    FakeFtpPeer& dataSend(std::size_t bytes);        // a byte pattern; a client that hangs up ends it quietly
    // One byte at a time, until a command arrives on the control connection or the client hangs up.
    FakeFtpPeer& dataTrickle(std::size_t bytes, std::chrono::milliseconds every);
    FakeFtpPeer& dataClose();
    FakeFtpPeer& dataDrain();                        // read the data connection to its end
    FakeFtpPeer& dataReceive(std::size_t bytes);     // read that many bytes (or to the end), then go on
    FakeFtpPeer& dataReset();                        // close the data connection with RST

    void start();
    // Waits until the script has run to its end (true) or the time is up (false).
    bool finished(std::chrono::milliseconds limit);
    std::vector<std::string> commands() const;       // raw command lines received, without CRLF
    std::vector<std::string> urgentLines() const;    // lines that urgent data arrived in, from the urgent byte on
    std::string failure() const;
    std::size_t drained() const { return drained_; }
    bool strangerRefused() const;

private:
    using Step = std::function<bool()>;
    void run();
    bool readCommand(std::string& line);
    void fail(const std::string& what);

    std::string host_;
    int port_ = 0;
    Poco::Net::ServerSocket listener_;
    Poco::Net::StreamSocket control_;
    std::optional<Poco::Net::StreamSocket> data_;
    std::optional<Poco::Net::SocketAddress> dataTarget_;
    std::vector<Step> steps_;
    std::string buffer_;
    std::size_t bufferStart_ = 0;        // stream offset of buffer_[0]
    std::vector<std::size_t> marks_;     // stream offsets of urgent bytes
    std::vector<std::string> urgent_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<std::size_t> drained_{0};
    mutable std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::vector<std::string> commands_;
    std::string failure_;
    bool strangerRefused_ = false;
};

} // namespace TestSupport
