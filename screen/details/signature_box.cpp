#include "screen/details/signature_box.h"

#include <QFormLayout>
#include <QLabel>

namespace Cli_Vop31600 {
namespace {

QString yesNo(bool value) { return value ? QStringLiteral("Sim") : QStringLiteral("Não"); }

} // namespace

SignatureBox::SignatureBox(QWidget* parent) : QGroupBox(QStringLiteral("Assinatura digital"), parent)
{
    setObjectName(QStringLiteral("grbAssinatura"));
    auto* form = new QFormLayout(this);
    lblAssinatura = addRow(*form, QStringLiteral("Assinatura:"), "lblAssinatura");
    lblAssinatura->setWordWrap(true);
    lblTitular = addRow(*form, QStringLiteral("Titular do certificado:"), "lblTitular");
    lblTitularDoc = addRow(*form, QStringLiteral("CNPJ/CPF do titular:"), "lblTitularDoc");
    lblConfereEmitente = addRow(*form, QStringLiteral("Titular é o emitente:"), "lblConfereEmitente");
    lblValidade = addRow(*form, QStringLiteral("Validade do certificado:"), "lblValidade");
    lblCadeia = addRow(*form, QStringLiteral("Cadeia de certificação:"), "lblCadeia");
    lblCadeia->setWordWrap(true);
    lblProtocoloConfere = addRow(*form, QStringLiteral("Protocolo confere:"), "lblProtocoloConfere");
}

QLabel* SignatureBox::addRow(QFormLayout& form, const QString& caption, const char* objectName)
{
    auto* value = new QLabel(this);
    value->setObjectName(QString::fromLatin1(objectName));
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form.addRow(caption, value);
    return value;
}

void SignatureBox::showSignature(const std::optional<Nfe::SignatureText>& signature)
{
    const Nfe::SignatureText shown = signature.value_or(Nfe::SignatureText{});
    if (!signature)
        lblAssinatura->setText(QStringLiteral("O arquivo não tem assinatura digital"));
    else if (shown.valid)
        lblAssinatura->setText(QStringLiteral("Válida"));
    else
        lblAssinatura->setText(QStringLiteral("Inválida: %1").arg(shown.reason.value_or(QString())));
    lblAssinatura->setStyleSheet(signature && !shown.valid ? QStringLiteral("color: #b00000;") : QString());
    lblTitular->setText(shown.holder);
    lblTitularDoc->setText(shown.document);
    lblConfereEmitente->setText(signature && !shown.holder.isEmpty() ? yesNo(shown.matchesIssuer) : QString());
    lblValidade->setText(shown.validity);
    lblCadeia->setText(shown.chain);
    lblProtocoloConfere->setText(!signature                ? QString()
                                 : shown.protocolMatches ? yesNo(*shown.protocolMatches)
                                                         : QStringLiteral("Sem protocolo"));
}

} // namespace Cli_Vop31600
