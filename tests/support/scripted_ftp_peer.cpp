#include "tests/support/scripted_ftp_peer.h"

#include "tests/support/test_paths.h"

#include <Poco/JSON/Object.h>
#include <Poco/JSON/Parser.h>
#include <Poco/PipeStream.h>

#include <cstdio>
#include <stdexcept>

namespace TestSupport {

namespace {

// Bytes travel to and from the peer as JSON text whose characters are the bytes (U+0000 to U+00FF).
std::string jsonText(const std::string& bytes)
{
    std::string out = "\"";
    for (unsigned char c : bytes) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// The bytes of such a text, which the JSON parser gives back in UTF-8.
std::string bytesOf(const std::string& utf8)
{
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0xC0 && i + 1 < utf8.size()) {
            out += static_cast<char>(((c & 0x1F) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

} // namespace

ScriptedFtpPeer::ScriptedFtpPeer(const std::string& ip) : host_(ip)
{
    process_.emplace(Poco::Process::launch(TestPaths::python(),
        {TestPaths::sourceDir() + "/tests/faults/scripted_ftp_peer.py", "--host", ip}, &input_, &output_, nullptr));
    Poco::PipeInputStream out(output_);
    std::string line;
    std::getline(out, line);
    try {
        port_ = Poco::JSON::Parser().parse(line).extract<Poco::JSON::Object::Ptr>()->getValue<int>("port");
    } catch (const std::exception&) {
        stop();
        throw std::runtime_error("the scripted FTP peer did not start on " + ip + " (first line: '" + line + "')");
    }
}

ScriptedFtpPeer::~ScriptedFtpPeer() { stop(); }

void ScriptedFtpPeer::stop() noexcept
{
    // The peer ends once its standard input does.
    input_.close(Poco::Pipe::CLOSE_WRITE);
    if (process_) {
        bool ended = false;
        for (int i = 0; i < 250 && !ended; ++i) {
            ended = process_->tryWait() != -1;
            if (!ended)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!ended) {
            Poco::Process::kill(*process_);
            process_->wait();
        }
        process_.reset();
    }
    if (reader_.joinable())
        reader_.join();
}

ScriptedFtpPeer& ScriptedFtpPeer::step(const std::string& name, const std::string& arguments)
{
    steps_.push_back("{\"do\":\"" + name + "\"" + (arguments.empty() ? "" : "," + arguments) + "}");
    return *this;
}

ScriptedFtpPeer& ScriptedFtpPeer::send(const std::string& raw) { return step("send", "\"text\":" + jsonText(raw)); }
ScriptedFtpPeer& ScriptedFtpPeer::reply(const std::string& line) { return step("reply", "\"text\":" + jsonText(line)); }
ScriptedFtpPeer& ScriptedFtpPeer::expect(const std::string& verb) { return step("expect", "\"verb\":" + jsonText(verb)); }
ScriptedFtpPeer& ScriptedFtpPeer::login() { return step("login"); }
ScriptedFtpPeer& ScriptedFtpPeer::garbage() { return step("garbage"); }
ScriptedFtpPeer& ScriptedFtpPeer::foreignBanner() { return step("foreign_banner"); }
ScriptedFtpPeer& ScriptedFtpPeer::close() { return step("close"); }
ScriptedFtpPeer& ScriptedFtpPeer::reset() { return step("reset"); }
ScriptedFtpPeer& ScriptedFtpPeer::stall() { return step("stall"); }
ScriptedFtpPeer& ScriptedFtpPeer::pause(std::chrono::milliseconds ms)
{
    return step("pause", "\"ms\":" + std::to_string(ms.count()));
}
ScriptedFtpPeer& ScriptedFtpPeer::dataConnect() { return step("data_connect"); }
ScriptedFtpPeer& ScriptedFtpPeer::strangerConnect(const std::string& ip, const std::string& bytes)
{
    return step("stranger_connect", "\"host\":" + jsonText(ip) + ",\"text\":" + jsonText(bytes));
}
ScriptedFtpPeer& ScriptedFtpPeer::dataSend(std::size_t bytes)
{
    return step("data_send", "\"count\":" + std::to_string(bytes));
}
ScriptedFtpPeer& ScriptedFtpPeer::dataTrickle(std::size_t bytes, std::chrono::milliseconds every)
{
    return step("data_trickle", "\"count\":" + std::to_string(bytes) + ",\"every_ms\":" + std::to_string(every.count()));
}
ScriptedFtpPeer& ScriptedFtpPeer::dataClose() { return step("data_close"); }
ScriptedFtpPeer& ScriptedFtpPeer::dataDrain() { return step("data_drain"); }
ScriptedFtpPeer& ScriptedFtpPeer::dataReceive(std::size_t bytes)
{
    return step("data_receive", "\"count\":" + std::to_string(bytes));
}
ScriptedFtpPeer& ScriptedFtpPeer::dataReset() { return step("data_reset"); }
ScriptedFtpPeer& ScriptedFtpPeer::passive(const std::string& shownHost)
{
    return step("passive", shownHost.empty() ? std::string() : "\"shown_host\":" + jsonText(shownHost));
}
ScriptedFtpPeer& ScriptedFtpPeer::dataAccept() { return step("data_accept"); }

ScriptedFtpPeer& ScriptedFtpPeer::tls(const std::string& certFile, const std::string& keyFile)
{
    return step("tls", "\"cert\":" + jsonText(certFile) + ",\"key\":" + jsonText(keyFile));
}

ScriptedFtpPeer& ScriptedFtpPeer::tlsDrop() { return step("tls_drop"); }

ScriptedFtpPeer& ScriptedFtpPeer::dataTls(const std::string& certFile, const std::string& keyFile)
{
    return step("data_tls", "\"cert\":" + jsonText(certFile) + ",\"key\":" + jsonText(keyFile));
}

void ScriptedFtpPeer::start()
{
    std::string script = "{\"steps\":[";
    for (std::size_t i = 0; i < steps_.size(); ++i)
        script += (i ? "," : "") + steps_[i];
    script += "]}\n";
    input_.writeBytes(script.data(), static_cast<int>(script.size()));
    reader_ = std::thread([this] { readEvents(); });
}

void ScriptedFtpPeer::readEvents()
{
    Poco::PipeInputStream out(output_);
    std::string line;
    while (std::getline(out, line)) {
        Poco::JSON::Object::Ptr event;
        try {
            event = Poco::JSON::Parser().parse(line).extract<Poco::JSON::Object::Ptr>();
        } catch (const std::exception&) {
            continue;
        }
        std::lock_guard lock(mutex_);
        if (event->has("command"))
            commands_.push_back(bytesOf(event->getValue<std::string>("command")));
        if (event->has("urgent"))
            urgent_.push_back(bytesOf(event->getValue<std::string>("urgent")));
        if (event->has("drained"))
            drained_ = event->getValue<std::size_t>("drained");
        if (event->has("stranger_refused"))
            strangerRefused_ = event->getValue<bool>("stranger_refused");
        if (event->has("failure") && failure_.empty())
            failure_ = event->getValue<std::string>("failure");
        if (event->has("finished")) {
            finished_ = true;
            done_.notify_all();
        }
    }
    std::lock_guard lock(mutex_);
    if (!finished_ && failure_.empty())
        failure_ = "the scripted FTP peer ended before its script";
    finished_ = true;
    done_.notify_all();
}

bool ScriptedFtpPeer::finished(std::chrono::milliseconds limit)
{
    std::unique_lock lock(mutex_);
    return done_.wait_for(lock, limit, [this] { return finished_; });
}

std::vector<std::string> ScriptedFtpPeer::commands() const
{
    std::lock_guard lock(mutex_);
    return commands_;
}

std::vector<std::string> ScriptedFtpPeer::urgentLines() const
{
    std::lock_guard lock(mutex_);
    return urgent_;
}

std::string ScriptedFtpPeer::failure() const
{
    std::lock_guard lock(mutex_);
    return failure_;
}

std::size_t ScriptedFtpPeer::drained() const
{
    std::lock_guard lock(mutex_);
    return drained_;
}

bool ScriptedFtpPeer::strangerRefused() const
{
    std::lock_guard lock(mutex_);
    return strangerRefused_;
}

} // namespace TestSupport
