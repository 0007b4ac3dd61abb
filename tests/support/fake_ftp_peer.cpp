#include "tests/support/fake_ftp_peer.h"

#include <Poco/Exception.h>

#include <sys/socket.h>

#include <algorithm>
#include <cctype>

namespace TestSupport {

namespace {

constexpr auto kStepLimit = std::chrono::seconds(10);

// The command as a server sees it once Telnet commands are taken out.
std::string withoutTelnet(const std::string& raw)
{
    std::string out;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(raw[i]);
        if (c == 0xFF && i + 1 < raw.size()) {
            if (static_cast<unsigned char>(raw[i + 1]) == 0xFF)
                out += raw[i];
            ++i;
            continue;
        }
        if (c == 0xFF || c == 0xF2)
            continue;
        out += raw[i];
    }
    return out;
}

std::string upper(std::string s)
{
    for (auto& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// "|1|127.0.0.1|4242|" or "127,0,0,1,16,146"
std::optional<Poco::Net::SocketAddress> dataAddress(const std::string& verb, const std::string& arg)
{
    try {
        if (verb == "EPRT" && arg.size() > 3) {
            char d = arg[0];
            std::vector<std::string> parts;
            std::string cur;
            for (std::size_t i = 1; i < arg.size(); ++i) {
                if (arg[i] == d) {
                    parts.push_back(cur);
                    cur.clear();
                } else {
                    cur += arg[i];
                }
            }
            if (parts.size() >= 3)
                return Poco::Net::SocketAddress(parts[1], static_cast<Poco::UInt16>(std::stoi(parts[2])));
        }
        if (verb == "PORT") {
            std::vector<int> n;
            std::string cur;
            for (char c : arg + ",") {
                if (c == ',') {
                    n.push_back(std::stoi(cur));
                    cur.clear();
                } else {
                    cur += c;
                }
            }
            if (n.size() == 6) {
                std::string ip = std::to_string(n[0]) + "." + std::to_string(n[1]) + "." + std::to_string(n[2]) + "."
                    + std::to_string(n[3]);
                return Poco::Net::SocketAddress(ip, static_cast<Poco::UInt16>(n[4] * 256 + n[5]));
            }
        }
    } catch (...) {
    }
    return std::nullopt;
}

// A server connects from its own address; on loopback the kernel would otherwise pick 127.0.0.1.
Poco::Net::StreamSocket connectFrom(const std::string& ip, const Poco::Net::SocketAddress& target)
{
    Poco::Net::StreamSocket s(Poco::Net::SocketAddress::IPv4);
    s.impl()->bind(Poco::Net::SocketAddress(ip, 0), false);
    s.connect(target, Poco::Timespan(5, 0));
    return s;
}

} // namespace

FakeFtpPeer::FakeFtpPeer(const std::string& ip)
    : host_(ip), listener_(Poco::Net::SocketAddress(ip, 0), 4)
{
    port_ = listener_.address().port();
}

FakeFtpPeer::~FakeFtpPeer()
{
    stopping_ = true;
    try {
        ::shutdown(listener_.impl()->sockfd(), SHUT_RDWR);
    } catch (...) {
    }
    if (thread_.joinable())
        thread_.join();
}

FakeFtpPeer& FakeFtpPeer::send(const std::string& raw)
{
    steps_.push_back([this, raw] {
        try {
            control_.sendBytes(raw.data(), static_cast<int>(raw.size()), MSG_NOSIGNAL);
        } catch (const Poco::Exception& e) {
            fail("send failed: " + e.displayText());
            return false;
        }
        return true;
    });
    return *this;
}

FakeFtpPeer& FakeFtpPeer::reply(const std::string& line) { return send(line + "\r\n"); }

FakeFtpPeer& FakeFtpPeer::expect(const std::string& verb)
{
    steps_.push_back([this, verb] {
        std::string line;
        if (!readCommand(line)) {
            fail("connection ended while expecting " + verb);
            return false;
        }
        std::string clean = withoutTelnet(line);
        std::string got = upper(clean.substr(0, clean.find(' ')));
        if (got != upper(verb)) {
            fail("expected " + verb + ", got \"" + clean + "\"");
            return false;
        }
        auto target = dataAddress(got, clean.find(' ') == std::string::npos ? "" : clean.substr(clean.find(' ') + 1));
        if (target)
            dataTarget_ = target;
        return true;
    });
    return *this;
}

FakeFtpPeer& FakeFtpPeer::login()
{
    return reply("220 fake server ready").expect("USER").reply("331 password please").expect("PASS").reply("230 in");
}

FakeFtpPeer& FakeFtpPeer::close()
{
    steps_.push_back([this] {
        control_.close();
        return true;
    });
    return *this;
}

FakeFtpPeer& FakeFtpPeer::reset()
{
    steps_.push_back([this] {
        control_.setLinger(true, 0);
        control_.close();
        return true;
    });
    return *this;
}

FakeFtpPeer& FakeFtpPeer::stall()
{
    steps_.push_back([this] {
        while (!stopping_)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return true;
    });
    return *this;
}

FakeFtpPeer& FakeFtpPeer::pause(std::chrono::milliseconds ms)
{
    steps_.push_back([ms] {
        std::this_thread::sleep_for(ms);
        return true;
    });
    return *this;
}

FakeFtpPeer& FakeFtpPeer::dataConnect()
{
    steps_.push_back([this] {
        if (!dataTarget_) {
            fail("no EPRT/PORT address to connect to");
            return false;
        }
        try {
            data_ = connectFrom(host_, *dataTarget_);
        } catch (const Poco::Exception& e) {
            fail("data connect failed: " + e.displayText());
            return false;
        }
        return true;
    });
    return *this;
}

FakeFtpPeer& FakeFtpPeer::strangerConnect(const std::string& ip, const std::string& bytes)
{
    steps_.push_back([this, ip, bytes] {
        if (!dataTarget_) {
            fail("no EPRT/PORT address to connect to");
            return false;
        }
        try {
            Poco::Net::StreamSocket stranger = connectFrom(ip, *dataTarget_);
            stranger.sendBytes(bytes.data(), static_cast<int>(bytes.size()), MSG_NOSIGNAL);
            // The client is to hang up on a stranger at once: its end comes before the time-out.
            stranger.setReceiveTimeout(Poco::Timespan(5, 0));
            char c = 0;
            std::lock_guard lock(mutex_);
            strangerRefused_ = ::recv(stranger.impl()->sockfd(), &c, 1, 0) <= 0;
        } catch (const Poco::Exception& e) {
            fail("stranger connect failed: " + e.displayText());
            return false;
        }
        return true;
    });
    return *this;
}

FakeFtpPeer& FakeFtpPeer::dataTrickle(std::size_t bytes, std::chrono::milliseconds every)
{
    steps_.push_back([this, bytes, every] {
        if (!data_) {
            fail("no data connection to send on");
            return false;
        }
        for (std::size_t sent = 0; sent < bytes && !stopping_; ++sent) {
            const char c = static_cast<char>('a' + sent % 26);
            if (::send(data_->impl()->sockfd(), &c, 1, MSG_NOSIGNAL) <= 0)
                break;  // the client hung up
            // A command (the client's ABOR) ends the trickle at once, as a server hears it.
            if (control_.poll(Poco::Timespan(every.count() * 1000), Poco::Net::Socket::SELECT_READ))
                break;
        }
        return true;
    });
    return *this;
}

FakeFtpPeer& FakeFtpPeer::dataSend(std::size_t bytes)
{
    steps_.push_back([this, bytes] {
        if (!data_) {
            fail("no data connection to send on");
            return false;
        }
        std::string block(64 * 1024, '\0');
        for (std::size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<char>(i * 7 + 3);
        std::size_t sent = 0;
        data_->setSendTimeout(Poco::Timespan(5, 0));
        while (sent < bytes && !stopping_) {
            int n = static_cast<int>(std::min(block.size(), bytes - sent));
            int w = ::send(data_->impl()->sockfd(), block.data(), static_cast<std::size_t>(n), MSG_NOSIGNAL);
            if (w <= 0)
                break; // the client hung up: that is its right
            sent += static_cast<std::size_t>(w);
        }
        return true;
    });
    return *this;
}

FakeFtpPeer& FakeFtpPeer::dataClose()
{
    steps_.push_back([this] {
        if (data_)
            data_->close();
        data_.reset();
        return true;
    });
    return *this;
}

FakeFtpPeer& FakeFtpPeer::dataDrain()
{
    steps_.push_back([this] {
        if (!data_) {
            fail("no data connection to read");
            return false;
        }
        data_->setReceiveTimeout(Poco::Timespan(kStepLimit.count(), 0));
        char buf[65536];
        for (;;) {
            int n = ::recv(data_->impl()->sockfd(), buf, sizeof buf, 0);
            if (n <= 0)
                break;
            drained_ += static_cast<std::size_t>(n);
        }
        return true;
    });
    return *this;
}

FakeFtpPeer& FakeFtpPeer::dataReceive(std::size_t bytes)
{
    steps_.push_back([this, bytes] {
        if (!data_) {
            fail("no data connection to read");
            return false;
        }
        data_->setReceiveTimeout(Poco::Timespan(kStepLimit.count(), 0));
        char buf[65536];
        std::size_t got = 0;
        while (got < bytes) {
            int n = ::recv(data_->impl()->sockfd(), buf, std::min(sizeof buf, bytes - got), 0);
            if (n <= 0)
                break;
            got += static_cast<std::size_t>(n);
            drained_ += static_cast<std::size_t>(n);
        }
        return true;
    });
    return *this;
}

FakeFtpPeer& FakeFtpPeer::dataReset()
{
    steps_.push_back([this] {
        if (data_) {
            data_->setLinger(true, 0);
            data_->close();
        }
        data_.reset();
        return true;
    });
    return *this;
}

void FakeFtpPeer::start()
{
    thread_ = std::thread([this] { run(); });
}

void FakeFtpPeer::run()
{
    try {
        if (!listener_.poll(Poco::Timespan(kStepLimit.count(), 0), Poco::Net::Socket::SELECT_READ) || stopping_) {
            fail("no client connected");
        } else {
            control_ = listener_.acceptConnection();
            control_.setOOBInline(true);
            control_.setReceiveTimeout(Poco::Timespan(kStepLimit.count(), 0));
            for (auto& step : steps_) {
                if (stopping_ || !step())
                    break;
            }
        }
    } catch (const Poco::Exception& e) {
        fail("peer error: " + e.displayText());
    }
    {
        std::lock_guard lock(mutex_);
        finished_ = true;
    }
    done_.notify_all();
    // Keep the sockets open until the test is over, unless a step closed them.
    while (!stopping_)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

bool FakeFtpPeer::readCommand(std::string& line)
{
    for (;;) {
        auto nl = buffer_.find("\r\n");
        if (nl != std::string::npos) {
            line = buffer_.substr(0, nl);
            std::lock_guard lock(mutex_);
            for (std::size_t mark : marks_)
                if (mark >= bufferStart_ && mark < bufferStart_ + nl)
                    urgent_.push_back(line.substr(mark - bufferStart_));
            buffer_.erase(0, nl + 2);
            bufferStart_ += nl + 2;
            commands_.push_back(line);
            return true;
        }
        char chunk[4096];
        int n = 0;
        try {
            if (!control_.poll(Poco::Timespan(kStepLimit.count(), 0), Poco::Net::Socket::SELECT_READ))
                return false;
            // A read never runs past the urgent mark, so at the mark the next byte is the urgent one.
            if (::sockatmark(control_.impl()->sockfd()) == 1)
                marks_.push_back(bufferStart_ + buffer_.size());
            n = control_.receiveBytes(chunk, sizeof chunk);
        } catch (const Poco::Exception&) {
            return false;
        }
        if (n <= 0)
            return false;
        buffer_.append(chunk, static_cast<std::size_t>(n));
    }
}

void FakeFtpPeer::fail(const std::string& what)
{
    std::lock_guard lock(mutex_);
    if (failure_.empty())
        failure_ = what;
}

std::vector<std::string> FakeFtpPeer::urgentLines() const
{
    std::lock_guard lock(mutex_);
    return urgent_;
}

bool FakeFtpPeer::finished(std::chrono::milliseconds limit)
{
    std::unique_lock lock(mutex_);
    return done_.wait_for(lock, limit, [this] { return finished_; });
}

std::vector<std::string> FakeFtpPeer::commands() const
{
    std::lock_guard lock(mutex_);
    return commands_;
}

bool FakeFtpPeer::strangerRefused() const
{
    std::lock_guard lock(mutex_);
    return strangerRefused_;
}

std::string FakeFtpPeer::failure() const
{
    std::lock_guard lock(mutex_);
    return failure_;
}

} // namespace TestSupport
