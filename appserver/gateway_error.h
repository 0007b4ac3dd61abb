#pragma once

#include <stdexcept>
#include <string>

namespace AppServer {

// A refused gateway request: the status and the text sent back to the client.
struct GatewayError : std::runtime_error {
    GatewayError(int status, const std::string& message) : std::runtime_error(message), status(status) {}
    int status;
};

} // namespace AppServer
