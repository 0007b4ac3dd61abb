#pragma once

#include "nfe/signer_certificate.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// The certificate authorities a signer's chain is verified against.
namespace Nfe {

enum class ChainStatus {
    Verified,     // up to an installed root, every certificate valid at the issue time
    NotVerified,  // no root installed, or the chain's issuer is not among them
    Invalid,      // the chain reached installed certificates and failed (bad signature, out of validity)
};

struct ChainResult {
    ChainStatus status = ChainStatus::NotVerified;
    QString detail;  // the root's name when verified; why, in Portuguese, otherwise (empty: no root installed)
};

class TrustRoots {
public:
    // Every certificate file (PEM or DER, any name) in the folders: self-signed ones become roots,
    // the others intermediate authorities that a chain may pass through.
    static std::shared_ptr<const TrustRoots> fromFolders(const QStringList& folders);
    // vop31600/icp-brasil under $XDG_DATA_HOME and under each system data folder ($XDG_DATA_DIRS,
    // where the package installs its roots), read once when first needed.
    static std::shared_ptr<const TrustRoots> installed();

    TrustRoots();
    ~TrustRoots();
    TrustRoots(const TrustRoots&) = delete;
    TrustRoots& operator=(const TrustRoots&) = delete;

    bool empty() const { return roots_ == 0; }
    // The chain from signer through carried (the document's other certificates) and the installed
    // intermediates, judged at the time given. Safe to call from several threads at once.
    ChainResult verify(X509* signer, const std::vector<X509*>& carried, const QDateTime& at) const;

private:
    struct StoreFree {
        void operator()(X509_STORE* store) const;
    };
    std::unique_ptr<X509_STORE, StoreFree> store_;
    std::vector<Certificate> intermediates_;
    int roots_ = 0;
};

} // namespace Nfe
