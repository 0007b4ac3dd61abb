#include "bench/transfer/screen_session.h"

#include "package/module_globals.h"
#include "screen/ctrl_arq_xml_nfe.h"

#include "mrv/application.h"
#include "mrv/quelbar.h"
#include "mrv/scripted_prompts.h"

#include <QCoreApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTableView>
#include <QTest>

#include <memory>
#include <stdexcept>

namespace BenchSupport {

ScreenSession::ScreenSession(const std::string& appHost, int appPort) : area_(new QMdiArea(&window_))
{
    auto scripted = std::make_unique<Mrv::ScriptedPrompts>();
    prompts_ = scripted.get();
    Mrv::installPrompts(std::move(scripted));
    Quelbar::SetWebServer(appHost, appPort);
    window_.setCentralWidget(area_);
    window_.resize(1100, 600);
    window_.show();
    Mrv::Application::instance().setMdiArea(area_);
}

ScreenSession::~ScreenSession()
{
    try {
        close();
    } catch (...) {
    }
    Mrv::Application::instance().setMdiArea(nullptr);
    Mrv::installPrompts(nullptr);
}

Cli_Vop31600::TfrmCtrlArqXMLNFe& ScreenSession::open()
{
    const std::size_t before = problems().size();
    Cli_Vop31600::CriaCtrlArqXMLNFe();
    form_ = Cli_Vop31600::frmCtrlArqXMLNFe;
    if (!form_)
        throw std::runtime_error("the screen did not open");
    const auto now = problems();
    if (now.size() != before)
        throw std::runtime_error("opening the screen reported: " + now.back());
    return *form_;
}

void ScreenSession::close()
{
    if (!form_)
        return;
    if (QMdiSubWindow* sub = form_->subWindow())
        sub->close();
    // The sub-window goes by deleteLater, the screen with it.
    const bool gone = QTest::qWaitFor(
        [this] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return form_.isNull();
        },
        10000);
    if (!gone)
        throw std::runtime_error("the screen did not close");
}

std::vector<std::string> ScreenSession::problems() const
{
    std::vector<std::string> found;
    for (const auto& prompt : prompts_->transcript())
        if (prompt.kind == "error")
            found.push_back(prompt.caption + ": " + prompt.text);
    for (const auto& failure : prompts_->failures())
        found.push_back(failure);
    return found;
}

void selectRowNamed(Cli_Vop31600::TfrmCtrlArqXMLNFe& form, const std::string& name)
{
    QTableView* view = form.dbgArquivos;
    const QAbstractItemModel* model = view->model();
    const QString wanted = QString::fromStdString(name);
    for (int row = 0; row < model->rowCount(); ++row) {
        const QVariantMap fields = model->data(model->index(row, 0), Qt::UserRole).toMap();
        if (fields.value(QStringLiteral("DSNOME")).toString() == wanted) {
            view->setCurrentIndex(model->index(row, 0));
            return;
        }
    }
    throw std::runtime_error("no row named '" + name + "' in the grid");
}

std::pair<std::string, int> splitHostPort(const std::string& text)
{
    const auto colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0)
        throw std::runtime_error("expected HOST:PORT, got '" + text + "'");
    std::size_t used = 0;
    const int port = std::stoi(text.substr(colon + 1), &used);
    if (used != text.size() - colon - 1 || port <= 0 || port > 65535)
        throw std::runtime_error("bad port in '" + text + "'");
    return {text.substr(0, colon), port};
}

} // namespace BenchSupport
