#pragma once

#include "screen/screen_globals.h"
#include "transfer/transfer_globals.h"

// The module's exported unit-level variables live with the code that owns them; the unit's start
// and stop work is the package's.
namespace Cli_Vop31600 {

void UnitStart();
void UnitStop();

} // namespace Cli_Vop31600
