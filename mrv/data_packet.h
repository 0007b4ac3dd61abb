#pragma once

#include "mrv/mrv_export.h"

#include <Poco/Dynamic/Var.h>

#include <string>
#include <vector>

namespace Mrv {

// A table sent by the application server: field names and types ("string", "integer", "float",
// "boolean") and rows of variants (an empty Var is Null).
struct MRV_API DataPacket {
    struct Field {
        std::string name;
        std::string type;
    };
    std::vector<Field> fields;
    std::vector<std::vector<Poco::Dynamic::Var>> rows;
};

// The data packet of a reply. A text reply is the server's error message and is thrown as it is;
// anything else that is not a data packet throws a clear std::runtime_error.
MRV_API DataPacket dataPacketFromReply(const Poco::Dynamic::Var& reply);

// A parsed JSON value as a variant: null -> empty, string -> std::string, integer -> Poco::Int64,
// float -> double, bool -> bool, array -> Poco::Dynamic::Array (recursively), object -> the
// Poco::JSON::Object::Ptr itself.
MRV_API Poco::Dynamic::Var variantFromJson(const Poco::Dynamic::Var& json);

} // namespace Mrv
