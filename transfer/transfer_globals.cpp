#include "transfer/transfer_globals.h"

#include <atomic>

namespace Cli_Vop31600 {

extern "C" {
alignas(std::atomic_ref<double>::required_alignment) double VelocidadeMedia = 0.0;
}

} // namespace Cli_Vop31600
