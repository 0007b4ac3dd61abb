#pragma once

#include "nfe/signature_text.h"

#include <QGroupBox>

#include <optional>

class QFormLayout;
class QLabel;

namespace Cli_Vop31600 {

// The "Assinatura digital" part of the details window: whether the file's signature holds, who
// signed it, and why it does not hold (in red).
class SignatureBox : public QGroupBox {
    Q_OBJECT
public:
    explicit SignatureBox(QWidget* parent);
    void showSignature(const std::optional<Nfe::SignatureText>& signature);

private:
    QLabel* addRow(QFormLayout& form, const QString& caption, const char* objectName);

    QLabel* lblAssinatura = nullptr;
    QLabel* lblTitular = nullptr;
    QLabel* lblTitularDoc = nullptr;
    QLabel* lblConfereEmitente = nullptr;
    QLabel* lblValidade = nullptr;
    QLabel* lblCadeia = nullptr;
    QLabel* lblProtocoloConfere = nullptr;
};

} // namespace Cli_Vop31600
