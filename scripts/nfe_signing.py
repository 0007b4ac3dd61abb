"""Signs NF-e invoices and events as an issuer's software does: XMLDSig enveloped, C14N 1.0, RSA with
SHA-1 or SHA-256, the signer's certificate in X509Certificate. The certificates are made here: a root
authority, intermediate ones, and holders named the ICP-Brasil way ("NAME:CNPJ"). For the demo store and
the tests only; none of them is a real certificate.
"""

import datetime
import subprocess
import tempfile

import xmlsec
from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import rsa
from cryptography.x509.oid import NameOID
from lxml import etree

NFE_NS = "http://www.portalfiscal.inf.br/nfe"


def day(text):
    """Noon UTC of that day: the same date in every Brazilian offset."""
    return datetime.datetime.fromisoformat(text).replace(hour=12, tzinfo=datetime.timezone.utc)


class Holder:
    """A key and its certificate."""

    def __init__(self, key, cert):
        self.key, self.cert = key, cert

    def key_pem(self):
        return self.key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                                      serialization.NoEncryption())

    def cert_pem(self):
        return self.cert.public_bytes(serialization.Encoding.PEM)


def _certificate(subject, key, issuer, serial, not_before, not_after, authority):
    builder = (x509.CertificateBuilder()
               .subject_name(x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, subject)]))
               .issuer_name(issuer.cert.subject if issuer else
                            x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, subject)]))
               .public_key(key.public_key()).serial_number(serial)
               .not_valid_before(day(not_before)).not_valid_after(day(not_after))
               .add_extension(x509.BasicConstraints(ca=authority, path_length=None), critical=True))
    usage = dict(digital_signature=not authority, content_commitment=not authority, key_encipherment=False,
                 data_encipherment=False, key_agreement=False, key_cert_sign=authority, crl_sign=authority,
                 encipher_only=False, decipher_only=False)
    builder = builder.add_extension(x509.KeyUsage(**usage), critical=True)
    return builder.sign((issuer or Holder(key, None)).key, hashes.SHA256())


def new_key(bits=2048):
    return rsa.generate_private_key(public_exponent=65537, key_size=bits)


def make_authority(name, issuer=None, serial=1, not_before="2020-01-01", not_after="2040-01-01", key=None):
    """A root authority (issuer None) or an intermediate one."""
    key = key or new_key()
    return Holder(key, _certificate(name, key, issuer, serial, not_before, not_after, True))


def make_holder(issuer, name, document, serial=2, not_before="2023-01-01", not_after="2025-12-31", key=None):
    """A company's (or person's) signing certificate, "NAME:CNPJ" as ICP-Brasil names its holders; a new
    key unless one is given."""
    key = key or new_key()
    return Holder(key, _certificate("%s:%s" % (name, document), key, issuer, serial, not_before, not_after, False))


def _template(xml_text, digest):
    """The document with an empty Signature beside its infNFe (or infEvento), and that element."""
    doc = etree.fromstring(xml_text.encode("utf-8"))
    content = doc.find(".//{%s}infNFe" % NFE_NS)
    if content is None:
        content = doc.find("{%s}evento/{%s}infEvento" % (NFE_NS, NFE_NS))
        if content is None:
            content = doc.find("{%s}infEvento" % NFE_NS)
    method, digest_method = {"sha1": (xmlsec.constants.TransformRsaSha1, xmlsec.constants.TransformSha1),
                             "sha256": (xmlsec.constants.TransformRsaSha256, xmlsec.constants.TransformSha256)}[digest]
    signature = xmlsec.template.create(doc, xmlsec.constants.TransformInclC14N, method)
    content.addnext(signature)
    reference = xmlsec.template.add_reference(signature, digest_method, uri="#" + content.get("Id"))
    xmlsec.template.add_transform(reference, xmlsec.constants.TransformEnveloped)
    xmlsec.template.add_transform(reference, xmlsec.constants.TransformInclC14N)
    xmlsec.template.x509_data_add_certificate(xmlsec.template.add_x509_data(xmlsec.template.ensure_key_info(signature)))
    return doc, content, signature


def _finish(doc):
    """The signed text, the authorisation's digVal (made when missing, filled when empty) set to the
    DigestValue, as the authority's protocol carries it."""
    value = doc.find(".//{http://www.w3.org/2000/09/xmldsig#}DigestValue").text
    for info in doc.iter("{%s}infProt" % NFE_NS):
        digest = info.find("{%s}digVal" % NFE_NS)
        if digest is None:
            digest = etree.Element("{%s}digVal" % NFE_NS)
            info.find("{%s}cStat" % NFE_NS).addprevious(digest)
        if not (digest.text or "").strip():
            digest.text = value
    return '<?xml version="1.0" encoding="UTF-8"?>\n' + etree.tostring(doc, encoding="unicode") + "\n"


def sign(xml_text, holder, digest="sha1"):
    """The invoice or event signed by holder."""
    doc, content, signature = _template(xml_text, digest)
    context = xmlsec.SignatureContext()
    context.key = xmlsec.Key.from_memory(holder.key_pem(), xmlsec.constants.KeyDataFormatPem)
    context.key.load_cert_from_memory(holder.cert_pem(), xmlsec.constants.KeyDataFormatPem)
    context.register_id(content, "Id")
    context.sign(signature)
    return _finish(doc)


def sign_with_cli(xml_text, holder, digest="sha256"):
    """The same, signed by the xmlsec1 command-line tool instead of the library's binding."""
    doc, content, _ = _template(xml_text, digest)
    with tempfile.TemporaryDirectory() as folder:
        paths = {name: "%s/%s" % (folder, name) for name in ("key.pem", "cert.pem", "in.xml")}
        with open(paths["key.pem"], "wb") as f:
            f.write(holder.key_pem())
        with open(paths["cert.pem"], "wb") as f:
            f.write(holder.cert_pem())
        with open(paths["in.xml"], "wb") as f:
            f.write(etree.tostring(doc))
        signed = subprocess.run(["xmlsec1", "--sign", "--privkey-pem", paths["key.pem"] + "," + paths["cert.pem"],
                                 "--id-attr:Id", "%s:%s" % (NFE_NS, etree.QName(content).localname),
                                 "--output", "-", paths["in.xml"]], check=True, capture_output=True).stdout
    return _finish(etree.fromstring(signed))
