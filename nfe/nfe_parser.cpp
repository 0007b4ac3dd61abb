#include "nfe/nfe_parser.h"

#include <QXmlStreamReader>

#include <vector>

namespace Nfe {
namespace {

Document refused(const QString& why)
{
    Document document;
    document.kind = DocumentKind::Malformed;
    document.error = why;
    return document;
}

class Reader {
public:
    explicit Reader(const QByteArray& bytes) : xml_(bytes) {}

    Document run()
    {
        while (!xml_.atEnd()) {
            switch (xml_.readNext()) {
            case QXmlStreamReader::DTD:
                return refused(QStringLiteral("Documento recusado: o arquivo declara um DOCTYPE, que não é aceito."));
            case QXmlStreamReader::StartElement:
                if (path_.size() >= static_cast<std::size_t>(kMaxDepth))
                    return refused(QStringLiteral("Documento recusado: mais de %1 níveis de elementos.").arg(kMaxDepth));
                if (path_.empty())
                    acceptRoot();
                start();
                break;
            case QXmlStreamReader::EndElement:
                if (!path_.empty())
                    path_.pop_back();
                break;
            default:
                break;
            }
        }
        if (xml_.hasError())
            return refused(QStringLiteral("O arquivo não é um XML válido (linha %1, coluna %2: %3).")
                               .arg(xml_.lineNumber())
                               .arg(xml_.columnNumber())
                               .arg(xml_.errorString()));
        if (path_.empty() && document_.rootName.isEmpty())
            return refused(QStringLiteral("O arquivo não é um XML válido: não há elemento algum."));
        return document_;
    }

private:
    bool inNamespace() const { return xml_.namespaceUri() == QLatin1String(kNamespace); }

    void acceptRoot()
    {
        const QString name = xml_.name().toString();
        document_.rootName = name;
        if (inNamespace() && (name == u"nfeProc" || name == u"NFe")) {
            document_.kind = DocumentKind::Invoice;
            return;
        }
        if (inNamespace() && (name == u"procEventoNFe" || name == u"evento")) {
            document_.kind = DocumentKind::Event;
            return;
        }
        if (inNamespace() && (name == u"procInutNFe" || name == u"inutNFe")) {
            document_.kind = DocumentKind::Voiding;
            document_.voiding.emplace();
            return;
        }
        document_.kind = DocumentKind::Unrecognised;
        document_.error = QStringLiteral("Documento não reconhecido (elemento raiz: %1).").arg(name);
    }

    QStringView parent(std::size_t up = 0) const
    {
        return path_.size() > up ? QStringView(path_[path_.size() - 1 - up]) : QStringView();
    }

    // An element of ours: either a field read whole, or a level pushed on the path.
    void start()
    {
        const QStringView name = xml_.name();
        // Another kind of document is still read to its end, so that a broken one says so.
        if (!inNamespace() || document_.kind == DocumentKind::Unrecognised) {
            path_.emplace_back();  // foreign elements (the signature) match nothing below them
            return;
        }
        if (name == u"infNFe" && parent() == u"NFe") {
            const QStringView id = xml_.attributes().value(QLatin1String("Id"));
            if (id.startsWith(u"NFe"))
                document_.key = id.mid(3).toString();
        }
        if (QString* field = fieldFor(name)) {
            *field = xml_.readElementText().trimmed();  // consumes the end element too
            return;
        }
        path_.push_back(name.toString());
    }

    QString* fieldFor(QStringView name)
    {
        const QStringView up = parent();
        Document& d = document_;
        // Only the signed content counts: an ide or emit placed elsewhere is no part of the invoice.
        const bool inContent = parent(1) == u"infNFe" && parent(2) == u"NFe";
        if (up == u"ide" && inContent) {
            if (name == u"mod")
                return &d.model;
            if (name == u"serie")
                return &d.series;
            if (name == u"nNF")
                return &d.number;
            if (name == u"dhEmi" || (name == u"dEmi" && d.issued.isEmpty()))
                return &d.issued;
        }
        if ((up == u"emit" || up == u"dest") && inContent) {
            Party& party = up == u"emit" ? d.issuer : d.recipient;
            if (name == u"xNome")
                return &party.name;
            if (name == u"CNPJ" || name == u"CPF" || name == u"idEstrangeiro")
                return &party.document;
        }
        if (up == u"ICMSTot" && name == u"vNF" && parent(1) == u"total" && parent(2) == u"infNFe")
            return &d.total;
        if (up == u"infProt" && parent(1) == u"protNFe")
            return protocolField(name, u"dhRecbto", d.kind == DocumentKind::Invoice);
        if (up == u"infEvento" && parent(1) == u"retEvento")
            return protocolField(name, u"dhRegEvento", d.kind == DocumentKind::Event);
        if (up == u"infEvento" && parent(1) == u"evento" && d.kind == DocumentKind::Event) {
            Event& event = d.event ? *d.event : d.event.emplace();
            if (name == u"chNFe")
                return &event.key;
            if (name == u"tpEvento")
                return &event.type;
            if (name == u"dhEvento")
                return &event.date;
            if (name == u"nSeqEvento")
                return &event.sequence;
            if (name == u"CNPJ" || name == u"CPF")
                return &event.author;
        }
        if (up == u"infInut" && parent(1) == u"inutNFe" && d.voiding) {
            if (name == u"CNPJ")
                return &d.issuer.document;
            if (name == u"mod")
                return &d.model;
            if (name == u"serie")
                return &d.series;
            if (name == u"nNFIni")
                return &d.voiding->first;
            if (name == u"nNFFin")
                return &d.voiding->last;
        }
        if (up == u"infInut" && parent(1) == u"retInutNFe")
            return protocolField(name, u"dhRecbto", d.kind == DocumentKind::Voiding);
        if (up == u"detEvento" && d.kind == DocumentKind::Event) {
            Event& event = d.event ? *d.event : d.event.emplace();
            if (name == u"xCorrecao" || (name == u"xJust" && event.text.isEmpty()))
                return &event.text;
        }
        return nullptr;
    }

    QString* protocolField(QStringView name, QStringView dateName, bool wanted)
    {
        if (!wanted)
            return nullptr;
        Protocol& protocol = document_.protocol ? *document_.protocol : document_.protocol.emplace();
        if (name == u"cStat")
            return &protocol.status;
        if (name == u"xMotivo")
            return &protocol.reason;
        if (name == u"nProt")
            return &protocol.number;
        if (name == dateName)
            return &protocol.date;
        if (name == u"chNFe")
            return &protocol.key;
        if (name == u"digVal")
            return &protocol.digest;
        return nullptr;
    }

    QXmlStreamReader xml_;
    std::vector<QString> path_;
    Document document_;
};

} // namespace

Document parseDocument(const QByteArray& bytes)
{
    Document document = Reader(bytes).run();
    if (document.kind == DocumentKind::Event && document.event && document.key.isEmpty())
        document.key = document.event->key;
    if (document.protocol && document.key.isEmpty())
        document.key = document.protocol->key;
    return document;
}

} // namespace Nfe
