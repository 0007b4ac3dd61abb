#pragma once

#include <Poco/Net/PartHandler.h>

#include <string>

namespace AppServer {

// Receives the multipart part "file" into a file of the target directory that has no name yet
// (O_TMPFILE), so that nobody listing the store (the FTP server shares it) sees a half-written
// upload; commit() links it into place under its name once the whole request has arrived. Where
// the file system cannot make such a file, a temporary name beside the target is used and renamed.
// Destroyed uncommitted, it leaves nothing behind.
class GatewayUpload : public Poco::Net::PartHandler {
public:
    GatewayUpload(std::string realDir, std::string name);
    ~GatewayUpload() override;
    GatewayUpload(const GatewayUpload&) = delete;
    GatewayUpload& operator=(const GatewayUpload&) = delete;

    void handlePart(const Poco::Net::MessageHeader& header, std::istream& stream) override;
    bool received() const { return fd_ >= 0; }
    void commit();

private:
    void openUnnamed();
    void openNamed();
    // Gives the unnamed file a temporary name in realDir_ (only for as long as the rename takes).
    std::string linkTemporary() const;

    std::string realDir_;
    std::string name_;
    int fd_ = -1;
    std::string tempPath_; // the named fallback's path; empty for an unnamed file
};

} // namespace AppServer
