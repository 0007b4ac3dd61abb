#pragma once

#include "nfe/signature_text.h"

#include <QGroupBox>

#include <array>
#include <optional>

class QLabel;

namespace Cli_Vop31600 {

// The "Assinatura digital" part of the details window: whether the file's signature holds (why not,
// in red), who signed it, whether that is the issuer, the certificate's validity and chain, and
// whether the protocol belongs to this content.
class SignatureBox : public QGroupBox {
    Q_OBJECT
public:
    explicit SignatureBox(QWidget* parent);
    void showSignature(const std::optional<Nfe::SignatureText>& signature);

private:
    enum Row { Verdict, Holder, HolderDocument, MatchesIssuer, Validity, Chain, ProtocolMatches, Rows };
    std::array<QLabel*, Rows> values_{};  // lblAssinatura, lblTitular, ...
};

} // namespace Cli_Vop31600
