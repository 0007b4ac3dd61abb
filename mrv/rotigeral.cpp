#include "mrv/rotigeral.h"

#include "mrv/application.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QVBoxLayout>

namespace Mrv {

TfrmRotiGeral::TfrmRotiGeral(QWidget* parent) : QWidget(parent)
{
    auto* root = new QHBoxLayout(this);
    root->setContentsMargins(4, 4, 4, 4);
    root->setSpacing(4);

    grbDadosRel = new QGroupBox(this);
    grbDadosRel->setObjectName(QStringLiteral("grbDadosRel"));
    root->addWidget(grbDadosRel, 1);

    panMenu = new QFrame(this);
    panMenu->setObjectName(QStringLiteral("panMenu"));
    panMenu->setFixedWidth(60);
    root->addWidget(panMenu);

    auto* menuLayout = new QVBoxLayout(panMenu);
    menuLayout->setContentsMargins(0, 0, 0, 0);
    menuLayout->setSpacing(2);
    lblCodTela = new QLabel(panMenu);
    lblCodTela->setObjectName(QStringLiteral("lblCodTela"));
    lblCodTela->setAlignment(Qt::AlignCenter);
    QFont codeFont = lblCodTela->font();
    codeFont.setBold(true);
    // The screen code fits the 60-pixel column only in a small, slightly condensed face.
    codeFont.setPointSize(8);
    codeFont.setStretch(QFont::SemiCondensed);
    lblCodTela->setFont(codeFont);
    menuLayout->addWidget(lblCodTela);

    panBotoes = new QFrame(panMenu);
    panBotoes->setObjectName(QStringLiteral("panBotoes"));
    panBotoes->setFixedHeight(128);
    menuLayout->addWidget(panBotoes);

    sbtConfirma = new TButtonFlat(panBotoes);
    sbtConfirma->setObjectName(QStringLiteral("sbtConfirma"));
    sbtConfirma->setGeometry(4, 4, 52, 21);
    sbtCancel = new TButtonFlat(panBotoes);
    sbtCancel->setObjectName(QStringLiteral("sbtCancel"));
    sbtCancel->setGeometry(4, 102, 52, 21);
    sbtCancel->SetHint(QStringLiteral("Fechar"));
    connect(sbtCancel, &QToolButton::clicked, this, [this] {
        if (subWindow_)
            subWindow_->close();
        else
            close();
    });

    panHelp = new QFrame(panMenu);
    panHelp->setObjectName(QStringLiteral("panHelp"));
    menuLayout->addWidget(panHelp, 1);

    msgPadrao = new TMessages(this);
    msgPadrao->setObjectName(QStringLiteral("msgPadrao"));
}

TfrmRotiGeral::~TfrmRotiGeral() = default;

QMdiSubWindow* TfrmRotiGeral::subWindow() const { return subWindow_; }

void TfrmRotiGeral::FormCreate(QObject* /*sender*/) {}

void TfrmRotiGeral::FormClose(QObject* /*sender*/, TCloseAction& action) { action = TCloseAction::caFree; }

void TfrmRotiGeral::placeInMdiArea()
{
    if (QMdiArea* area = Application::instance().mdiArea()) {
        subWindow_ = area->addSubWindow(this);
        subWindow_->setAttribute(Qt::WA_DeleteOnClose, false);
        subWindow_->setWindowTitle(windowTitle());
        subWindow_->resize(size());
    }
}

void TfrmRotiGeral::Release()
{
    if (subWindow_) {
        subWindow_->hide();
        subWindow_->deleteLater();
    } else {
        hide();
        deleteLater();
    }
}

void TfrmRotiGeral::closeEvent(QCloseEvent* event)
{
    TCloseAction action = TCloseAction::caHide;
    bool proceed = true;
    try {
        FormClose(this, action);
    } catch (...) {
        proceed = false;
        Application::instance().handleException(std::current_exception());
    }
    if (!proceed || action == TCloseAction::caNone) {
        event->ignore();
        return;
    }
    event->accept();
    if (action == TCloseAction::caFree)
        Release();
}

} // namespace Mrv
