#pragma once

#include <Poco/Net/PartHandler.h>

#include <string>

namespace AppServer {

// Receives the multipart part "file" into a temporary file beside the target; commit() renames it
// over the target once the whole request has arrived. Destroyed uncommitted, it removes the
// temporary file, so an interrupted upload leaves nothing behind.
class GatewayUpload : public Poco::Net::PartHandler {
public:
    GatewayUpload(std::string realDir, std::string name);
    ~GatewayUpload() override;
    GatewayUpload(const GatewayUpload&) = delete;
    GatewayUpload& operator=(const GatewayUpload&) = delete;

    void handlePart(const Poco::Net::MessageHeader& header, std::istream& stream) override;
    bool received() const { return !tempPath_.empty(); }
    void commit();

private:
    std::string realDir_;
    std::string name_;
    std::string tempPath_;
};

} // namespace AppServer
