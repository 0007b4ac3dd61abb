#include "screen/details/signature_box.h"

#include "screen/design/tool_window.h"

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
    const std::pair<const char*, const char*> rows[Rows] = {
        {"Assinatura:", "lblAssinatura"},
        {"Titular do certificado:", "lblTitular"},
        {"CNPJ/CPF do titular:", "lblTitularDoc"},
        {"Titular é o emitente:", "lblConfereEmitente"},
        {"Validade do certificado:", "lblValidade"},
        {"Cadeia de certificação:", "lblCadeia"},
        {"Protocolo confere:", "lblProtocoloConfere"},
    };
    for (int row = 0; row < Rows; ++row)
        values_[row] = addValueRow(*form, QString::fromUtf8(rows[row].first), rows[row].second);
    values_[Verdict]->setWordWrap(true);
    values_[Chain]->setWordWrap(true);
}

void SignatureBox::showSignature(const std::optional<Nfe::SignatureText>& signature)
{
    const Nfe::SignatureText shown = signature.value_or(Nfe::SignatureText{});
    QLabel* verdict = values_[Verdict];
    if (!signature)
        verdict->setText(QStringLiteral("O arquivo não tem assinatura digital"));
    else if (shown.valid)
        verdict->setText(QStringLiteral("Válida"));
    else
        verdict->setText(QStringLiteral("Inválida: %1").arg(shown.reason.value_or(QString())));
    verdict->setStyleSheet(signature && !shown.valid ? QStringLiteral("color: #b00000;") : QString());
    values_[Holder]->setText(shown.holder);
    values_[HolderDocument]->setText(shown.document);
    values_[MatchesIssuer]->setText(signature && !shown.holder.isEmpty() ? yesNo(shown.matchesIssuer) : QString());
    values_[Validity]->setText(shown.validity);
    values_[Chain]->setText(shown.chain);
    values_[ProtocolMatches]->setText(!signature                ? QString()
                                      : shown.protocolMatches ? yesNo(*shown.protocolMatches)
                                                              : QStringLiteral("Sem protocolo"));
}

} // namespace Cli_Vop31600
