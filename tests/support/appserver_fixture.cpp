#include "tests/support/appserver_fixture.h"

#include "tests/support/test_paths.h"

#include <Poco/Exception.h>
#include <Poco/PipeStream.h>

#include <sqlite3.h>

#include <Poco/Net/SocketAddress.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <stdexcept>

namespace TestSupport {
namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "vop-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary directory");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

ServerProcess::ServerProcess(const std::vector<std::string>& args)
{
    std::vector<std::string> all = args;
    all.push_back("--watch-stdin");
    handle_.emplace(Poco::Process::launch(TestPaths::binDir() + "/vop-appserver", all, &stdin_, &stdout_, nullptr));
    Poco::PipeInputStream out(stdout_);
    std::string line;
    std::getline(out, line);
    try {
        port_ = std::stoi(line);
    } catch (const std::exception&) {
        stop();
        throw std::runtime_error("vop-appserver did not start (first line: '" + line + "')");
    }
}

ServerProcess::~ServerProcess()
{
    stop();
}

void ServerProcess::stop()
{
    if (!handle_)
        return;
    stdin_.close(Poco::Pipe::CLOSE_WRITE);
    try {
        Poco::Process::requestTermination(handle_->id());
    } catch (const std::exception&) {
    }
    handle_->wait();
    handle_.reset();
}

void execSql(const std::string& dbPath, const std::string& sql)
{
    sqlite3* db = nullptr;
    const int rc = sqlite3_open(dbPath.c_str(), &db);
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> guard(db, &sqlite3_close);
    if (rc != SQLITE_OK)
        throw std::runtime_error("cannot open " + dbPath);
    sqlite3_busy_timeout(db, 5000);
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string text = message ? message : "unknown error";
        sqlite3_free(message);
        throw std::runtime_error("SQL error: " + text);
    }
}

AppServerProcess::AppServerProcess(const std::string& dbSql, const std::string& host, const std::vector<std::string>& extraArgs)
    : host_(host), dbPath_(dir_.path() + "/appserver.db")
{
    execSql(dbPath_, readFile(TestPaths::sourceDir() + "/appserver/schema.sql"));
    if (!dbSql.empty())
        execSql(dbPath_, dbSql);
    std::vector<std::string> args{"--db", dbPath_, "--host", host_, "--port", "0"};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    server_ = std::make_unique<ServerProcess>(args);
}

void AppServerProcess::exec(const std::string& sql) const
{
    execSql(dbPath_, sql);
}

namespace {

std::vector<std::string> gatewayArgs(const std::string& store, const std::string& login, const std::string& password,
    const std::string& certFile, const std::string& keyFile, const std::string& host, const std::vector<std::string>& extraArgs)
{
    std::vector<std::string> args{"--gateway", "--store", store, "--login", login, "--password", password, "--host", host, "--port", "0"};
    if (!certFile.empty()) {
        args.insert(args.end(), {"--cert", certFile, "--key", keyFile});
    }
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    return args;
}

} // namespace

GatewayProcess::GatewayProcess(const std::string& store, const std::string& login, const std::string& password,
    const std::string& certFile, const std::string& keyFile, const std::string& host, const std::vector<std::string>& extraArgs)
    : host_(host), server_(gatewayArgs(store, login, password, certFile, keyFile, host, extraArgs))
{
}

RawReply rawExchange(Poco::Net::StreamSocket& socket, const std::string& bytes, int timeoutMs)
{
    RawReply reply;
    try {
        if (!bytes.empty())
            socket.sendBytes(bytes.data(), static_cast<int>(bytes.size()));
    } catch (const Poco::Exception&) {
        return reply; // already closed by the server
    }
    const auto start = std::chrono::steady_clock::now();
    const auto left = [&] {
        const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        return std::max<long>(1, timeoutMs - static_cast<long>(spent.count()));
    };
    std::string data;
    std::size_t wanted = std::string::npos;
    char buffer[8192];
    try {
        while (wanted == std::string::npos || data.size() < wanted) {
            socket.setReceiveTimeout(Poco::Timespan(left() * 1000));
            const int got = socket.receiveBytes(buffer, sizeof buffer);
            if (got <= 0)
                break;
            data.append(buffer, static_cast<std::size_t>(got));
            const auto end = data.find("\r\n\r\n");
            if (wanted == std::string::npos && end != std::string::npos) {
                reply.head = data.substr(0, end);
                std::smatch length;
                static const std::regex field("\r\ncontent-length: *([0-9]+)", std::regex::icase);
                wanted = end + 4 + (std::regex_search(reply.head, length, field) ? std::stoul(length[1]) : 0);
            }
        }
    } catch (const Poco::Exception&) {
    }
    reply.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (wanted == std::string::npos || data.size() < wanted)
        return reply;
    reply.status = std::stoi(reply.head.substr(9, 3));
    reply.body = data.substr(reply.head.size() + 4, wanted - reply.head.size() - 4);
    try {
        // A refusing server ends the connection with its reply; a kept one stays quiet.
        socket.setReceiveTimeout(Poco::Timespan(0, 500000));
        reply.closed = socket.receiveBytes(buffer, sizeof buffer) <= 0;
    } catch (const Poco::TimeoutException&) {
    } catch (const Poco::Exception&) {
        reply.closed = true; // reset
    }
    return reply;
}

RawReply rawExchange(const std::string& host, int port, const std::string& bytes, int timeoutMs)
{
    Poco::Net::StreamSocket socket(Poco::Net::SocketAddress(host, static_cast<Poco::UInt16>(port)));
    return rawExchange(socket, bytes, timeoutMs);
}

namespace {

std::string runOpenSsl(const std::vector<std::string>& args)
{
    Poco::Pipe messages;
    Poco::ProcessHandle openssl = Poco::Process::launch("/usr/bin/openssl", args, nullptr, &messages, &messages);
    // Drained so that openssl never blocks on a full pipe; shown only when it fails.
    Poco::PipeInputStream text(messages);
    std::string output((std::istreambuf_iterator<char>(text)), std::istreambuf_iterator<char>());
    if (openssl.wait() != 0)
        throw std::runtime_error("openssl failed: " + output);
    return output;
}

} // namespace

TestCertificate makeTestCertificate(const std::string& dir, const std::string& host)
{
    TestCertificate cert{dir + "/cert.pem", dir + "/key.pem"};
    runOpenSsl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=" + host, "-addext",
                "subjectAltName=IP:" + host, "-keyout", cert.keyFile, "-out", cert.certFile});
    return cert;
}

std::string certificateFingerprint(const std::string& certFile)
{
    // "sha256 Fingerprint=AB:CD:...\n"
    const std::string out = runOpenSsl({"x509", "-in", certFile, "-noout", "-fingerprint", "-sha256"});
    const auto eq = out.find('=');
    return eq == std::string::npos ? "" : out.substr(eq + 1, out.find_first_of("\r\n", eq) - eq - 1);
}

} // namespace TestSupport
