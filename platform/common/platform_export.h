#pragma once

// Symbols of libvop_platform.so that other libraries use are exported explicitly; the rest stays hidden.
#define PLATFORM_API __attribute__((visibility("default")))
