// Turning replies into data packets: what passes and every way a reply can fail to be one.
#include "mrv/data_packet.h"

#include <Poco/JSON/Object.h>
#include <Poco/JSON/Parser.h>

#include <gtest/gtest.h>

namespace {

Poco::Dynamic::Var reply(const std::string& json)
{
    // The parser takes objects only; a reply always arrives as the member of one.
    Poco::JSON::Parser parser;
    const auto wrapper = parser.parse("{\"result\":" + json + "}").extract<Poco::JSON::Object::Ptr>();
    return Mrv::variantFromJson(wrapper->get("result"));
}

std::string failure(const Poco::Dynamic::Var& value)
{
    try {
        Mrv::dataPacketFromReply(value);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    ADD_FAILURE() << "expected a failure";
    return {};
}

} // namespace

TEST(DataPacket, FieldsRowsAndTypedValues)
{
    const auto packet = Mrv::dataPacketFromReply(reply(
        R"({"fields":[{"name":"A","type":"string"},{"name":"B","type":"integer"},{"name":"C","type":"float"},{"name":"D","type":"boolean"}],
            "rows":[["x",1,1.5,true],[null,null,null,null]]})"));
    ASSERT_EQ(packet.fields.size(), 4u);
    EXPECT_EQ(packet.fields[1].name, "B");
    EXPECT_EQ(packet.fields[3].type, "boolean");
    ASSERT_EQ(packet.rows.size(), 2u);
    EXPECT_EQ(packet.rows[0][0].extract<std::string>(), "x");
    EXPECT_EQ(packet.rows[0][1].extract<Poco::Int64>(), 1);
    EXPECT_DOUBLE_EQ(packet.rows[0][2].extract<double>(), 1.5);
    EXPECT_TRUE(packet.rows[0][3].extract<bool>());
    for (const auto& value : packet.rows[1])
        EXPECT_TRUE(value.isEmpty());

    const auto empty = Mrv::dataPacketFromReply(reply(R"({"fields":[{"name":"A","type":"string"}],"rows":[]})"));
    EXPECT_EQ(empty.fields.size(), 1u);
    EXPECT_TRUE(empty.rows.empty());
}

TEST(DataPacket, TextRepliesAreTheServersMessage)
{
    EXPECT_EQ(failure(Poco::Dynamic::Var(std::string("Erro ao ler parâmetros"))), "Erro ao ler parâmetros");
    EXPECT_EQ(failure(reply(R"("")")), "(vazio)");
}

TEST(DataPacket, AnythingElseIsRefusedClearly)
{
    for (const char* json : {R"(null)", R"(12)", R"(true)", R"(["S","x"])"})
        EXPECT_NE(failure(reply(json)).find("não é um pacote de dados"), std::string::npos) << json;
    const std::vector<std::string> malformed = {
        R"({"rows":[]})",
        R"({"fields":[]})",
        R"({"fields":{},"rows":[]})",
        R"({"fields":[{"name":"A","type":"date"}],"rows":[]})",
        R"({"fields":[{"type":"string"}],"rows":[]})",
        R"({"fields":["A"],"rows":[]})",
        R"({"fields":[{"name":"A","type":"string"}],"rows":[["x","y"]]})",
        R"({"fields":[{"name":"A","type":"string"}],"rows":[[]]})",
        R"({"fields":[{"name":"A","type":"string"}],"rows":["x"]})",
        R"({"fields":[{"name":"A","type":"string"}],"rows":[[["nested"]]]})",
    };
    for (const auto& json : malformed)
        EXPECT_NE(failure(reply(json)).find("pacote de dados"), std::string::npos) << json;
}
