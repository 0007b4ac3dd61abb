#pragma once

#include "mrv_export.h"

#include <exception>
#include <functional>
#include <string>

class QMdiArea;
class QWidget;

// The role of the suite's application object: owner of the MDI area the screens open in, the
// application-wide cursor, and the standard report of an exception that escaped a handler.
namespace Mrv {

// The silent abort: ends an operation without any report.
class MRV_API EAbort : public std::exception {
public:
    const char* what() const noexcept override;
};

// Cursor values as the suite numbers them.
enum Cursor : int { crDefault = 0, crHourGlass = -11 };

class MRV_API Application {
public:
    static Application& instance();

    void setMdiArea(QMdiArea* area);
    QMdiArea* mdiArea() const;

    // Screen.Cursor: crHourGlass shows the busy cursor application-wide, crDefault restores it.
    void setCursor(int cursor);
    int cursor() const;

    // The standard error report: shows the message of an exception that escaped a handler in an
    // error box; EAbort and an exception already shown by MensErro show nothing.
    void handleException(std::exception_ptr error);

    // Runs a handler and reports whatever escapes it. Every event handler of a form runs through this.
    void guarded(const std::function<void()>& handler);

    const std::string& title() const;

private:
    Application() = default;
    QMdiArea* area_ = nullptr;
    int cursor_ = crDefault;
    std::string title_ = "VOP";
};

} // namespace Mrv
