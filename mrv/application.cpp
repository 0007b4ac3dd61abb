#include "mrv/application.h"

#include "mrv/consiste.h"
#include "mrv/prompts.h"

#include <QApplication>
#include <QCursor>

namespace Mrv {

const char* EAbort::what() const noexcept { return "Operation aborted"; }

Application& Application::instance()
{
    static Application app;
    return app;
}

void Application::setMdiArea(QMdiArea* area) { area_ = area; }

QMdiArea* Application::mdiArea() const { return area_; }

void Application::setCursor(int cursor)
{
    if (cursor == cursor_)
        return;
    if (cursor_ != crDefault)
        QApplication::restoreOverrideCursor();
    cursor_ = cursor;
    if (cursor_ == crHourGlass)
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

int Application::cursor() const { return cursor_; }

void Application::handleException(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const EAbort&) {
        // silent by design, and MensErro's own exception was shown already
    } catch (const std::exception& e) {
        prompts().error(title_, e.what());
    } catch (...) {
        prompts().error(title_, "Erro desconhecido.");
    }
}

void Application::guarded(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (...) {
        handleException(std::current_exception());
    }
}

const std::string& Application::title() const { return title_; }

} // namespace Mrv
