#pragma once

#include <string>

typedef struct ssl_st SSL;

// The control connection of the bare receivers: commands and reply codes, nothing else, in clear or
// (after AUTH TLS) through the TLS session given.
class BareControl {
public:
    explicit BareControl(const char* host);
    ~BareControl();
    BareControl(const BareControl&) = delete;
    BareControl& operator=(const BareControl&) = delete;

    int fd() const { return fd_; }
    void useTls(SSL* ssl) { ssl_ = ssl; }
    // The code of the next reply, multi-line replies read to their end.
    int reply();
    int reply(std::string& firstLine);
    int send(const std::string& command);
    // The same, keeping the reply's first line in text.
    int sendForText(const std::string& command, std::string& text);
    // Closes the data connection and the file, awaits 226 and says QUIT.
    void endTransfer(int dataFd, int fileFd);
    // Logs in; TYPE I.
    void logIn(const char* user, const char* password);

private:
    std::string line();
    long receive(char* into, unsigned long size);

    int fd_;
    SSL* ssl_ = nullptr;
    char buffer_[4096];
    unsigned long start_ = 0, end_ = 0;
};

[[noreturn]] void bareFail(const char* program, const std::string& what);
