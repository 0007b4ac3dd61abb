#pragma once

#ifndef MODULE_API
#define MODULE_API __attribute__((visibility("default")))
#endif

namespace Cli_Vop31600 {

extern "C" {
// The average speed of the running transfer, exported by the module. Written by the transfer worker
// while the GUI thread may read it: access through std::atomic_ref.
extern MODULE_API double VelocidadeMedia;
}

// VelocidadeMedia through std::atomic_ref, for the worker's threads.
void setAverageSpeed(double value);
double averageSpeedNow();

} // namespace Cli_Vop31600
