#pragma once

// Everything the module and the host use from lib_mrv.so is exported explicitly; the rest stays hidden.
#define MRV_API __attribute__((visibility("default")))
