#pragma once

#include <QString>

#include <optional>

// The 44-digit access key of an NF-e: cUF(2) AAMM(4) CNPJ/CPF(14) mod(2) série(3) nNF(9) tpEmis(1)
// cNF(8) cDV(1).
namespace Nfe {

inline constexpr int kKeyLength = 44;

// Whether key is 44 digits whose last is the modulo 11 check digit of the first 43.
bool keyIsValid(const QString& key);
// The check digit of 43 digits: weights 2..9 from the right, a remainder of 0 or 1 gives 0.
int keyCheckDigit(QStringView first43);
// The key in 11 groups of 4 digits; anything that is not 44 digits comes back as it is.
QString groupKey(const QString& key);
// The run of exactly 44 digits in a file name, if it has one (runs of other lengths are not keys).
std::optional<QString> keyInName(const QString& name);

} // namespace Nfe
