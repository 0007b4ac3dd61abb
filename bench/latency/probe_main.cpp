#include "bench/latency/probe.h"

#include <QApplication>

#include <iostream>
#include <stdexcept>

namespace BenchSupport {

ProbeOptions::ProbeOptions(int argc, char** argv, const std::vector<std::string>& names, const std::string& usage)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        bool known = false;
        for (const auto& name : names)
            known = known || arg == name;
        if (!known || i + 1 >= argc)
            throw std::runtime_error(usage);
        values_[arg] = argv[++i];
    }
}

std::string ProbeOptions::text(const std::string& name) const
{
    const auto it = values_.find(name);
    return it == values_.end() ? std::string() : it->second;
}

int ProbeOptions::number(const std::string& name, int fallback) const
{
    const auto it = values_.find(name);
    return it == values_.end() ? fallback : std::stoi(it->second);
}

} // namespace BenchSupport

int main(int argc, char** argv)
{
    using BenchSupport::probe;
    QApplication app(argc, argv);
    try {
        return probe.run(BenchSupport::ProbeOptions(argc, argv, probe.options, probe.usage), probe);
    } catch (const std::exception& error) {
        std::cerr << probe.name << ": " << error.what() << std::endl;
        return 1;
    }
}
