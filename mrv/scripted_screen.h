#pragma once

#include "mrv_export.h"

#include <QVariant>
#include <QVariantMap>

class QObject;

namespace Mrv {

// What the host's script driver reads of a module's screen. A module registers one for every screen
// it opens and withdraws it before that screen goes; the host finds it by the screen.
class ScriptedScreen {
public:
    virtual ~ScriptedScreen() = default;
    // The screen's state as the driver dumps it.
    virtual QVariantMap scriptState() const = 0;
    // What the screen's details window shows: null while it is closed, or when the screen has none.
    virtual QVariant detailsState() const = 0;
    // Whether a transfer of the screen still runs.
    virtual bool transferRunning() const = 0;
};

// On the user-interface thread only.
MRV_API void registerScriptedScreen(const QObject* screen, ScriptedScreen* scripted);
MRV_API void unregisterScriptedScreen(const QObject* screen);
// What the screen registered, or nullptr.
MRV_API ScriptedScreen* scriptedScreen(const QObject* screen);

} // namespace Mrv
