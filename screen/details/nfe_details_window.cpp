#include "screen/details/nfe_details_window.h"

#include <QApplication>
#include <QClipboard>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace Cli_Vop31600 {
namespace {

QString yesNo(bool value) { return value ? QStringLiteral("Sim") : QStringLiteral("Não"); }

} // namespace

// The window never takes the keys: the grid keeps them, so that moving on shows the next file.
NfeDetailsWindow::NfeDetailsWindow(QWidget* screen) : QWidget(screen, Qt::Tool | Qt::WindowDoesNotAcceptFocus)
{
    setObjectName(QStringLiteral("frmDetalhesNFe"));
    setWindowTitle(QStringLiteral("Detalhes da NF-e"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    auto* page = new QVBoxLayout(this);
    lblArquivo = new QLabel(this);
    lblArquivo->setObjectName(QStringLiteral("lblArquivo"));
    lblArquivo->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = lblArquivo->font();
    bold.setBold(true);
    lblArquivo->setFont(bold);
    page->addWidget(lblArquivo);
    lblErro = new QLabel(this);
    lblErro->setObjectName(QStringLiteral("lblErro"));
    lblErro->setWordWrap(true);
    lblErro->setStyleSheet(QStringLiteral("color: #b00000;"));
    page->addWidget(lblErro);

    panDados = new QWidget(this);
    auto* form = new QFormLayout(panDados);
    form->setContentsMargins(0, 0, 0, 0);
    auto* keyLine = new QWidget(panDados);
    auto* keyRow = new QHBoxLayout(keyLine);
    keyRow->setContentsMargins(0, 0, 0, 0);
    lblChave = new QLabel(keyLine);
    lblChave->setObjectName(QStringLiteral("lblChave"));
    lblChave->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblChave->setFont(QFont(QStringLiteral("Monospace")));
    btnCopiarChave = new QPushButton(QStringLiteral("Copiar"), keyLine);
    btnCopiarChave->setObjectName(QStringLiteral("btnCopiarChave"));
    btnCopiarChave->setToolTip(QStringLiteral("Copiar a chave de acesso (44 dígitos)"));
    btnCopiarChave->setFocusPolicy(Qt::NoFocus);
    connect(btnCopiarChave, &QPushButton::clicked, this, &NfeDetailsWindow::copyKey);
    keyRow->addWidget(lblChave, 1);
    keyRow->addWidget(btnCopiarChave);
    form->addRow(QStringLiteral("Chave de acesso:"), keyLine);
    lblChaveValida = addRow(*form, QStringLiteral("Dígito verificador:"), "lblChaveValida");
    lblChaveNome = addRow(*form, QStringLiteral("Confere com o nome:"), "lblChaveNome");
    lblModelo = addRow(*form, QStringLiteral("Modelo:"), "lblModelo");
    lblSerie = addRow(*form, QStringLiteral("Série:"), "lblSerie");
    lblNumero = addRow(*form, QStringLiteral("Número:"), "lblNumero");
    lblEmissao = addRow(*form, QStringLiteral("Emissão:"), "lblEmissao");
    lblEmitente = addRow(*form, QStringLiteral("Emitente:"), "lblEmitente");
    lblEmitenteDoc = addRow(*form, QStringLiteral("CNPJ/CPF do emitente:"), "lblEmitenteDoc");
    lblDestinatario = addRow(*form, QStringLiteral("Destinatário:"), "lblDestinatario");
    lblDestinatarioDoc = addRow(*form, QStringLiteral("CNPJ/CPF do destinatário:"), "lblDestinatarioDoc");
    lblValorTotal = addRow(*form, QStringLiteral("Valor total:"), "lblValorTotal");
    lblSituacao = addRow(*form, QStringLiteral("Situação:"), "lblSituacao");
    lblProtocolo = addRow(*form, QStringLiteral("Protocolo:"), "lblProtocolo");
    page->addWidget(panDados);

    grbEvento = new QGroupBox(QStringLiteral("Evento"), this);
    grbEvento->setObjectName(QStringLiteral("grbEvento"));
    auto* event = new QFormLayout(grbEvento);
    lblEventoTipo = addRow(*event, QStringLiteral("Tipo:"), "lblEventoTipo");
    lblEventoData = addRow(*event, QStringLiteral("Data:"), "lblEventoData");
    lblEventoSequencia = addRow(*event, QStringLiteral("Sequência:"), "lblEventoSequencia");
    lblEventoChave = addRow(*event, QStringLiteral("Chave da NF-e:"), "lblEventoChave");
    lblEventoTexto = addRow(*event, QStringLiteral("Texto:"), "lblEventoTexto");
    lblEventoTexto->setWordWrap(true);
    page->addWidget(grbEvento);
    page->addStretch(1);
    resize(680, 480);  // room for the grouped key and its copy button
    showDetails(QString(), Nfe::failure(QString()));
}

QLabel* NfeDetailsWindow::addRow(QFormLayout& form, const QString& caption, const char* objectName)
{
    auto* value = new QLabel(form.parentWidget());
    value->setObjectName(QString::fromLatin1(objectName));
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form.addRow(caption, value);
    return value;
}

void NfeDetailsWindow::copyKey()
{
    if (!details_.keyDigits.isEmpty())
        QApplication::clipboard()->setText(details_.keyDigits);
}

void NfeDetailsWindow::showReading(const QString& fileName)
{
    lblArquivo->setText(QStringLiteral("Lendo %1...").arg(fileName));
    panDados->setEnabled(false);
    grbEvento->setEnabled(false);
}

void NfeDetailsWindow::showDetails(const QString& fileName, const Nfe::DetailsText& details)
{
    details_ = details;
    lblArquivo->setText(fileName);
    const bool failed = details.error.has_value();
    lblErro->setText(details.error.value_or(QString()));
    lblErro->setVisible(failed && !details.error->isEmpty());
    panDados->setVisible(!failed);
    panDados->setEnabled(true);
    grbEvento->setEnabled(true);
    lblChave->setText(details.key);
    btnCopiarChave->setEnabled(!details.keyDigits.isEmpty());
    lblChaveValida->setText(details.keyDigits.isEmpty() ? QStringLiteral("—")
                            : details.keyValid             ? QStringLiteral("Correto")
                                                           : QStringLiteral("Incorreto (módulo 11)"));
    lblChaveNome->setText(details.keyMatchesName ? yesNo(*details.keyMatchesName)
                                                 : QStringLiteral("O nome do arquivo não traz a chave"));
    lblModelo->setText(details.model);
    lblSerie->setText(details.series);
    lblNumero->setText(details.number);
    lblEmissao->setText(details.issued);
    lblEmitente->setText(details.issuerName);
    lblEmitenteDoc->setText(details.issuerDocument);
    lblDestinatario->setText(details.recipientName);
    lblDestinatarioDoc->setText(details.recipientDocument);
    lblValorTotal->setText(details.total);
    lblSituacao->setText(details.status);
    lblProtocolo->setText(details.protocol);
    grbEvento->setVisible(!failed && details.event.has_value());
    const Nfe::EventText event = details.event.value_or(Nfe::EventText{});
    lblEventoTipo->setText(event.type);
    lblEventoData->setText(event.date);
    lblEventoSequencia->setText(event.sequence);
    lblEventoChave->setText(event.key);
    lblEventoTexto->setText(event.text);
}

} // namespace Cli_Vop31600
