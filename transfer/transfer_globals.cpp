#include "transfer/transfer_globals.h"

#include <atomic>

namespace Cli_Vop31600 {

extern "C" {
alignas(std::atomic_ref<double>::required_alignment) double VelocidadeMedia = 0.0;
}

void setAverageSpeed(double value) { std::atomic_ref<double>(VelocidadeMedia).store(value); }
double averageSpeedNow() { return std::atomic_ref<double>(VelocidadeMedia).load(); }

} // namespace Cli_Vop31600
