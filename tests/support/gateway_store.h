#pragma once

#include "tests/support/appserver_fixture.h"

#include <map>
#include <string>

// A store folder for gateway tests with a sibling "outside" folder that nothing may reach, and
// helpers to build gateway URLs and to read and write files.
namespace GatewayTest {

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);
// Deterministic bytes of every value, so that a shifted or dropped block shows.
std::string patternBytes(std::size_t size);
// Every file under dir (relative path -> content), to show that nothing changed.
std::map<std::string, std::string> snapshot(const std::string& dir);

struct Store {
    Store();
    TestSupport::TempDir temp;
    std::string root;    // the served folder
    std::string outside; // its sibling, holding "secret.txt"
};

// "<base>/gw/<endpoint>?k=v&..." with every value percent-encoded.
std::string url(const std::string& base, const std::string& endpoint, const std::map<std::string, std::string>& query = {});

} // namespace GatewayTest
