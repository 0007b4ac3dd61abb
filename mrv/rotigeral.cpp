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

#include <algorithm>

namespace Mrv {

TfrmRotiGeral::TfrmRotiGeral(QWidget* parent) : QWidget(parent)
{
    // As designed: the working area flush at the left takes every pixel the button column leaves,
    // 849 of the 912 inside a screen 920 pixels wide (a 4-pixel sizeable border each side).
    auto* root = new QHBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(3);

    grbDadosRel = new QGroupBox(this);
    grbDadosRel->setObjectName(QStringLiteral("grbDadosRel"));
    root->addWidget(grbDadosRel, 1);

    panMenu = new QFrame(this);
    panMenu->setObjectName(QStringLiteral("panMenu"));
    panMenu->setFixedWidth(60);
    root->addWidget(panMenu);

    // The column from the top: the screen code, the buttons, and the help panel at top 142.
    auto* menuLayout = new QVBoxLayout(panMenu);
    menuLayout->setContentsMargins(0, 0, 0, 0);
    menuLayout->setSpacing(0);
    lblCodTela = new QLabel(panMenu);
    lblCodTela->setObjectName(QStringLiteral("lblCodTela"));
    lblCodTela->setAlignment(Qt::AlignCenter);
    lblCodTela->setFixedHeight(14);
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
        // The designed size and position are the window's, frame included.
        const QRect designed = geometry();
        const bool positioned = testAttribute(Qt::WA_Moved);
        subWindow_ = area->addSubWindow(this);
        subWindow_->setAttribute(Qt::WA_DeleteOnClose, false);
        subWindow_->setWindowTitle(windowTitle());
        subWindow_->resize(designed.size());
        // At the designed position when the area holds the window there; moved in as far as needed
        // otherwise, never off its top or left.
        if (!positioned)
            return;  // no designed position: the area places it
        QPoint at = designed.topLeft();
        if (area->isVisible()) {
            const QSize room = area->viewport()->size();
            at.setX(std::max(0, std::min(at.x(), room.width() - designed.width())));
            at.setY(std::max(0, std::min(at.y(), room.height() - designed.height())));
        }
        subWindow_->move(at);
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
