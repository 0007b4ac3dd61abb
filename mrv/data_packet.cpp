#include "mrv/data_packet.h"

#include "platform/common/net_error_text.h"

#include <Poco/Dynamic/VarHolder.h>
#include <Poco/JSON/Array.h>
#include <Poco/JSON/Object.h>

#include <stdexcept>

namespace Mrv {
namespace {

bool knownType(const std::string& type)
{
    return type == "string" || type == "integer" || type == "float" || type == "boolean";
}

const char* describe(const Poco::Dynamic::Var& reply)
{
    if (reply.isEmpty())
        return "nulo";
    if (reply.isArray())
        return "uma lista";
    if (reply.isBoolean())
        return "um valor lógico";
    if (reply.isNumeric())
        return "um número";
    return "um valor inesperado";
}

Poco::JSON::Array::Ptr arrayMember(const Poco::JSON::Object::Ptr& object, const std::string& key)
{
    if (!object->has(key) || !object->isArray(key))
        throw std::runtime_error("A resposta do servidor de aplicação não é um pacote de dados: falta \"" + key + "\"");
    return object->getArray(key);
}

} // namespace

Poco::Dynamic::Var variantFromJson(const Poco::Dynamic::Var& json)
{
    if (json.isEmpty())
        return {};
    if (json.type() == typeid(Poco::JSON::Object::Ptr))
        return json;
    if (json.type() == typeid(Poco::JSON::Array::Ptr)) {
        const auto array = json.extract<Poco::JSON::Array::Ptr>();
        Poco::Dynamic::Array items;
        if (array) {
            items.reserve(array->size());
            for (const auto& item : *array)
                items.push_back(variantFromJson(item));
        }
        return items;
    }
    if (json.isString())
        return json.convert<std::string>();
    if (json.isBoolean())
        return json.convert<bool>();
    if (json.isInteger()) {
        // Integers beyond the signed range only come from outside our server; keep their value.
        if (json.type() == typeid(Poco::UInt64) && json.extract<Poco::UInt64>() > static_cast<Poco::UInt64>(INT64_MAX))
            return json.convert<double>();
        return json.convert<Poco::Int64>();
    }
    if (json.isNumeric())
        return json.convert<double>();
    return json;
}

DataPacket dataPacketFromReply(const Poco::Dynamic::Var& reply)
{
    if (reply.isString())
        throw std::runtime_error(Platform::shownValue(reply.convert<std::string>()));
    if (reply.type() != typeid(Poco::JSON::Object::Ptr))
        throw std::runtime_error(std::string("A resposta do servidor de aplicação não é um pacote de dados, e sim ") + describe(reply));
    const auto object = reply.extract<Poco::JSON::Object::Ptr>();
    if (!object)
        throw std::runtime_error("A resposta do servidor de aplicação não é um pacote de dados, e sim nulo");

    DataPacket packet;
    for (const auto& item : *arrayMember(object, "fields")) {
        if (item.type() != typeid(Poco::JSON::Object::Ptr))
            throw std::runtime_error("O pacote de dados do servidor de aplicação tem um campo malformado");
        const auto field = item.extract<Poco::JSON::Object::Ptr>();
        DataPacket::Field described{field->optValue<std::string>("name", ""), field->optValue<std::string>("type", "")};
        if (described.name.empty() || !knownType(described.type))
            throw std::runtime_error("O pacote de dados do servidor de aplicação tem o campo malformado '" + Platform::shownValue(described.name) + "'");
        packet.fields.push_back(std::move(described));
    }
    for (const auto& item : *arrayMember(object, "rows")) {
        if (item.type() != typeid(Poco::JSON::Array::Ptr))
            throw std::runtime_error("O pacote de dados do servidor de aplicação tem uma linha malformada");
        const auto row = item.extract<Poco::JSON::Array::Ptr>();
        if (!row || row->size() != packet.fields.size())
            throw std::runtime_error("O pacote de dados do servidor de aplicação tem uma linha com o número errado de colunas");
        std::vector<Poco::Dynamic::Var> values;
        values.reserve(row->size());
        for (const auto& value : *row) {
            if (value.type() == typeid(Poco::JSON::Object::Ptr) || value.type() == typeid(Poco::JSON::Array::Ptr))
                throw std::runtime_error("O pacote de dados do servidor de aplicação tem um valor que não é simples");
            values.push_back(variantFromJson(value));
        }
        packet.rows.push_back(std::move(values));
    }
    return packet;
}

} // namespace Mrv
