#pragma once

#include <QByteArray>
#include <QString>

// Small hand-made documents for the reader's tests.
namespace NfeSamples {

// 44 digits with a right check digit (35 2403 12345678000195 55 001 000000123 1 00001234 + cDV).
inline const QString kKey = QStringLiteral("35240312345678000195550010000001231000012343");

inline QByteArray invoice(const QByteArray& protocol, const QString& key = kKey, const QByteArray& prefix = "")
{
    const QByteArray p = prefix.isEmpty() ? QByteArray() : prefix + ":";
    const QByteArray ns = prefix.isEmpty() ? QByteArray("xmlns") : "xmlns:" + prefix;
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<" + p + "nfeProc " + ns
           + "=\"http://www.portalfiscal.inf.br/nfe\" versao=\"4.00\"><" + p + "NFe><" + p + "infNFe Id=\"NFe"
           + key.toLatin1() + "\" versao=\"4.00\"><" + p + "ide><" + p + "cUF>35</" + p + "cUF><" + p + "mod>55</" + p
           + "mod><" + p + "serie>1</" + p + "serie><" + p + "nNF>123</" + p + "nNF><" + p
           + "dhEmi>2024-03-15T10:20:00-03:00</" + p + "dhEmi></" + p + "ide><" + p + "emit><" + p
           + "CNPJ>12345678000195</" + p + "CNPJ><" + p + "xNome>Comércio São João</" + p + "xNome></" + p
           + "emit><" + p + "dest><" + p + "CPF>12345678909</" + p + "CPF><" + p + "xNome>Ana Araújo</" + p
           + "xNome></" + p + "dest><" + p + "total><" + p + "ICMSTot><" + p + "vProd>1234.56</" + p + "vProd><" + p
           + "vNF>1234.56</" + p + "vNF></" + p + "ICMSTot></" + p + "total></" + p + "infNFe>"
           + "<Signature xmlns=\"http://www.w3.org/2000/09/xmldsig#\"><ide><mod>99</mod></ide></Signature></" + p
           + "NFe>" + protocol + "</" + p + "nfeProc>\n";
}

inline QByteArray protocol(const QByteArray& status, const QByteArray& reason)
{
    return "<protNFe versao=\"4.00\"><infProt><chNFe>" + kKey.toLatin1() + "</chNFe><dhRecbto>2024-03-15T10:21:30-03:00"
           "</dhRecbto><nProt>135240000012345</nProt><digVal>x</digVal><cStat>" + status + "</cStat><xMotivo>"
           + reason + "</xMotivo></infProt></protNFe>";
}

inline QByteArray event(const QByteArray& type, const QByteArray& detail, bool withProtocol = true)
{
    const QByteArray key = kKey.toLatin1();
    QByteArray xml = "<procEventoNFe xmlns=\"http://www.portalfiscal.inf.br/nfe\" versao=\"1.00\"><evento versao=\"1.00\">"
                     "<infEvento Id=\"ID" + type + key + "01\"><cOrgao>35</cOrgao><CNPJ>12345678000195</CNPJ><chNFe>"
                     + key + "</chNFe><dhEvento>2024-03-20T08:05:00-03:00</dhEvento><tpEvento>" + type
                     + "</tpEvento><nSeqEvento>2</nSeqEvento><detEvento versao=\"1.00\"><descEvento>x</descEvento>"
                     + detail + "</detEvento></infEvento></evento>";
    if (withProtocol)
        xml += "<retEvento versao=\"1.00\"><infEvento><cStat>135</cStat><xMotivo>Evento registrado e vinculado a NF-e"
               "</xMotivo><chNFe>" + key + "</chNFe><nProt>135240000099999</nProt><dhRegEvento>"
               "2024-03-20T08:05:10-03:00</dhRegEvento></infEvento></retEvento>";
    return xml + "</procEventoNFe>";
}

} // namespace NfeSamples
