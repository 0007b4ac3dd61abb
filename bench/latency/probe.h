#pragma once

#include <map>
#include <string>
#include <vector>

// What the latency probes share: one main() that makes the QApplication, reads the "--name value"
// options the probe names, runs it and turns a failure into its name and message on stderr (exit 1).
// A probe defines `probe`; its run prints one JSON object and returns the exit status.
namespace BenchSupport {

class ProbeOptions {
public:
    // Throws std::runtime_error with usage for an option not in names or one without its value.
    ProbeOptions(int argc, char** argv, const std::vector<std::string>& names, const std::string& usage);
    std::string text(const std::string& name) const;         // "" when not given
    int number(const std::string& name, int fallback) const;

private:
    std::map<std::string, std::string> values_;
};

struct Probe {
    std::string name;   // the program's, for its messages
    std::string usage;
    std::vector<std::string> options;
    int (*run)(const ProbeOptions& options, const Probe& self);
};

extern const Probe probe;

} // namespace BenchSupport
