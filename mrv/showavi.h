#pragma once

#include "mrv_export.h"

class QWidget;

// The busy indicator shown over a form while it waits on the application server.
namespace Showavi {
MRV_API void ActiveShowAvi(QWidget* form, int kind);
MRV_API void DeactiveShowAvi();
MRV_API bool ShowAviActive();
} // namespace Showavi
