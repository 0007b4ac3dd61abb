#pragma once

#include <Poco/Pipe.h>
#include <Poco/Process.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace TestSupport {

// The scripted FTP peer (tests/faults/scripted_ftp_peer.py) for fault injection, listening on a free
// port of ip from construction on. The script is a list of steps played in order on the one control
// connection the peer accepts after start(): expect a command, send bytes, close, reset, stall, and
// drive an active-mode data connection to the address of the last EPRT/PORT. A step that does not go
// to plan stops the script and is reported by failure(). Bytes are passed as they are.
class ScriptedFtpPeer {
public:
    explicit ScriptedFtpPeer(const std::string& ip);
    ~ScriptedFtpPeer();
    ScriptedFtpPeer(const ScriptedFtpPeer&) = delete;
    ScriptedFtpPeer& operator=(const ScriptedFtpPeer&) = delete;

    const std::string& host() const { return host_; }
    int port() const { return port_; }

    ScriptedFtpPeer& send(const std::string& raw);       // bytes as given
    ScriptedFtpPeer& reply(const std::string& line);     // line + CRLF
    ScriptedFtpPeer& expect(const std::string& verb);    // the next command's verb (Telnet bytes dropped)
    ScriptedFtpPeer& login();                            // 220, USER -> 331, PASS -> 230
    ScriptedFtpPeer& garbage();                          // bytes that are no FTP reply
    ScriptedFtpPeer& foreignBanner();                    // the greeting of a server that is no FTP server
    ScriptedFtpPeer& close();                            // orderly close of the control connection
    ScriptedFtpPeer& reset();                            // close with RST
    ScriptedFtpPeer& stall();                            // do nothing more, keep everything open
    ScriptedFtpPeer& pause(std::chrono::milliseconds ms);
    ScriptedFtpPeer& dataConnect();                      // to the last EPRT/PORT address, from host()
    // A third party at ip connects to the last EPRT/PORT address first and sends bytes; it notes
    // whether the client hung up on it (strangerRefused()).
    ScriptedFtpPeer& strangerConnect(const std::string& ip, const std::string& bytes);
    ScriptedFtpPeer& dataSend(std::size_t bytes);        // a byte pattern; a client that hangs up ends it quietly
    // One byte at a time, until a command arrives on the control connection or the client hangs up.
    ScriptedFtpPeer& dataTrickle(std::size_t bytes, std::chrono::milliseconds every);
    ScriptedFtpPeer& dataClose();
    ScriptedFtpPeer& dataDrain();                        // read the data connection to its end
    ScriptedFtpPeer& dataReceive(std::size_t bytes);     // read that many bytes (or to the end), then go on
    ScriptedFtpPeer& dataReset();
    // Listens on host() and answers 229 with its port; with shownHost, 227 naming that address.
    ScriptedFtpPeer& passive(const std::string& shownHost = {});
    ScriptedFtpPeer& dataAccept();                       // the client's connection to the passive address                        // close the data connection with RST
    // TLS as the server, with this certificate: on the control connection (after a 234 sent), on the
    // data connection; tlsDrop() reads the start of the client's handshake and closes midway. A data
    // connection closed after dataTls() ends without close_notify.
    ScriptedFtpPeer& tls(const std::string& certFile, const std::string& keyFile);
    ScriptedFtpPeer& tlsDrop();
    ScriptedFtpPeer& dataTls(const std::string& certFile, const std::string& keyFile);

    void start();
    // Waits until the script has run to its end (true) or the time is up (false).
    bool finished(std::chrono::milliseconds limit);
    std::vector<std::string> commands() const;       // raw command lines received, without CRLF
    std::vector<std::string> urgentLines() const;    // lines that urgent data arrived in, from the urgent byte on
    std::string failure() const;
    std::size_t drained() const;
    bool strangerRefused() const;

private:
    ScriptedFtpPeer& step(const std::string& name, const std::string& arguments = {});
    void readEvents();
    void stop() noexcept;

    std::string host_;
    int port_ = 0;
    std::vector<std::string> steps_;  // JSON objects
    Poco::Pipe input_;
    Poco::Pipe output_;
    std::optional<Poco::ProcessHandle> process_;
    std::thread reader_;
    mutable std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::vector<std::string> commands_;
    std::vector<std::string> urgent_;
    std::string failure_;
    std::size_t drained_ = 0;
    bool strangerRefused_ = false;
};

} // namespace TestSupport
