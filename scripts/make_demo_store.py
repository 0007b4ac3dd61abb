#!/usr/bin/python3
"""Builds a realistic store of NF-e XML files for the demo and the tests.

Usage: make_demo_store.py DIR [--orgs N] [--months N] [--per-month N] [--big N] [--seed S] [--demo-root FILE]

Layout (names are UTF-8 on disk; the FTP fixture puts them on the wire as CP1252):
    EXEFTP/ RELFTP/ TMPFTP/ XMLFTP/            the four system directories
    XMLFTP/Organização N/AAAAMM/<44-digit key>-nfe.xml
    XMLFTP/Grande/                             with --big N: N small files, for the speed demo
Every invoice and event is signed with a demo certificate of its organisation, issued by a demo root
made for the store (--demo-root writes it, for the demo to install). Organização 12/202403 is a month
to audit (audit_month_files): gaps, a voiding, a cancellation, a denial, an altered file, a duplicate.
The output is deterministic but for the signatures: the same arguments give the same names, sizes,
times and contents; the demo's keys are made afresh.
"""

import argparse
import os
import random
import sys
import time

SYSTEM_DIRS = ("EXEFTP", "RELFTP", "TMPFTP", "XMLFTP")

# Fixed base time for every file, so listings are the same on every run (2024-03-15 14:30 local).
BASE_TIME = time.mktime((2024, 3, 15, 14, 30, 0, 0, 0, -1))

UF_CODES = (35, 33, 31, 41, 43, 42, 29, 26, 23, 52)
ORG_NAMES = ("Comércio de Alimentos São João", "Indústria Têxtil Açaí", "Distribuidora Irmãos Gonçalves",
             "Farmácia Popular Ipê", "Metalúrgica Conceição", "Papelaria União", "Transportes Paraná",
             "Calçados Itaúna", "Móveis Araújo", "Agropecuária Boa Esperança", "Construtora Jequitibá",
             "Laticínios Serra Azul")


def mod11_digit(digits, max_weight=9):
    """Check digit used by NF-e keys (weights 2..9 from the right) and CNPJs (weights 2..9)."""
    total = 0
    weight = 2
    for ch in reversed(digits):
        total += int(ch) * weight
        weight = 2 if weight == max_weight else weight + 1
    rest = total % 11
    return 0 if rest < 2 else 11 - rest


def make_cnpj(rng):
    base = "".join(str(rng.randrange(10)) for _ in range(8)) + "0001"
    d1 = mod11_digit(base)
    d2 = mod11_digit(base + str(d1))
    return base + str(d1) + str(d2)


def nfe_key(uf, yymm, cnpj, serie, number, code):
    body = "%02d%s%s55%03d%09d1%08d" % (uf, yymm, cnpj, serie, number, code)
    # NF-e uses weights 2..9 but a remainder of 0 or 1 gives 0, like the CNPJ rule
    return body + str(mod11_digit(body))


CUSTOMERS = ("Supermercado Bom Preço", "Padaria Pão de Mel", "Restaurante Sabor Mineiro", "Hotel Araucária",
             "Mercearia Dois Irmãos")


def customer_cnpj(number):
    """A customer's CNPJ from the invoice number, with right check digits, no randomness used."""
    base = "%08d0001" % (number * 7919 % 10 ** 8)
    d1 = mod11_digit(base)
    d2 = mod11_digit(base + str(d1))
    return base + str(d1) + str(d2)


def protocol_xml(key, year, month, day, status="100", reason="Autorizado o uso da NF-e"):
    """The authorisation protocol; its number and time follow from the key."""
    return (' <protNFe versao="4.00"><infProt><tpAmb>1</tpAmb><chNFe>%s</chNFe>'
            '<dhRecbto>%04d-%02d-%02dT10:01:30-03:00</dhRecbto><nProt>1%s%s</nProt><cStat>%s</cStat>'
            '<xMotivo>%s</xMotivo></infProt></protNFe>\n' % (key, year, month, day, key[:2], key[-13:], status, reason))


def nfe_xml(key, org, cnpj, uf, year, month, day, number, serie, rng, protocol=None):
    """An invoice; protocol is the protNFe element (protocol_xml's by default, "" for none)."""
    items = []
    total = 0
    for n in range(1, rng.randrange(1, 4) + 1):
        qty = rng.randrange(1, 20)
        price = rng.randrange(100, 50000) / 100.0
        value = round(qty * price, 2)
        total += value
        items.append(
            '    <det nItem="%d"><prod><cProd>%05d</cProd><xProd>Produto %d</xProd><NCM>84713012</NCM>'
            '<CFOP>5102</CFOP><uCom>UN</uCom><qCom>%d.0000</qCom><vUnCom>%.2f</vUnCom><vProd>%.2f</vProd>'
            '</prod></det>' % (n, rng.randrange(100000), n, qty, price, value))
    if protocol is None:
        protocol = protocol_xml(key, year, month, day)
    return (
        '<?xml version="1.0" encoding="UTF-8"?>\n'
        '<nfeProc xmlns="http://www.portalfiscal.inf.br/nfe" versao="4.00">\n'
        ' <NFe>\n'
        '  <infNFe Id="NFe%s" versao="4.00">\n'
        '   <ide><cUF>%d</cUF><natOp>Venda de mercadoria</natOp><mod>55</mod><serie>%d</serie>'
        '<nNF>%d</nNF><dhEmi>%04d-%02d-%02dT10:00:00-03:00</dhEmi><tpNF>1</tpNF></ide>\n'
        '   <emit><CNPJ>%s</CNPJ><xNome>%s</xNome></emit>\n'
        '   <dest><CNPJ>%s</CNPJ><xNome>%s</xNome></dest>\n'
        '%s\n'
        '   <total><ICMSTot><vNF>%.2f</vNF></ICMSTot></total>\n'
        '  </infNFe>\n'
        ' </NFe>\n'
        '%s'
        '</nfeProc>\n' % (key, uf, serie, number, year, month, day, cnpj, org, customer_cnpj(number),
                           CUSTOMERS[number % len(CUSTOMERS)], "\n".join(items), total, protocol))


EVENT_NAMES = {"110110": "Carta de Correção", "110111": "Cancelamento"}


def event_xml(key, event_type, sequence, detail, when="2024-03-20T09:15:00-03:00", registered=True):
    """An NF-e event (cancellation, correction letter) with its registration, as the tax authority returns it."""
    xml = ('<?xml version="1.0" encoding="UTF-8"?>\n'
           '<procEventoNFe xmlns="http://www.portalfiscal.inf.br/nfe" versao="1.00">\n'
           ' <evento versao="1.00"><infEvento Id="ID%s%s%02d"><cOrgao>%s</cOrgao><tpAmb>1</tpAmb>'
           '<CNPJ>%s</CNPJ><chNFe>%s</chNFe><dhEvento>%s</dhEvento><tpEvento>%s</tpEvento>'
           '<nSeqEvento>%d</nSeqEvento><verEvento>1.00</verEvento><detEvento versao="1.00">'
           '<descEvento>%s</descEvento>%s</detEvento></infEvento></evento>\n'
           % (event_type, key, sequence, key[:2], key[6:20], key, when, event_type, sequence,
              EVENT_NAMES.get(event_type, "Evento"), detail))
    if registered:
        xml += (' <retEvento versao="1.00"><infEvento><tpAmb>1</tpAmb><cStat>135</cStat>'
                '<xMotivo>Evento registrado e vinculado a NF-e</xMotivo><chNFe>%s</chNFe><tpEvento>%s</tpEvento>'
                '<nSeqEvento>%d</nSeqEvento><dhRegEvento>%s</dhRegEvento><nProt>1%s%s</nProt></infEvento>'
                '</retEvento>\n' % (key, event_type, sequence, when, key[:2], key[-13:]))
    return xml + '</procEventoNFe>\n'


def voiding_xml(cnpj, uf, year, serie, first, last, status="102", reason="Inutilizacao de numero homologado"):
    """The voiding of numbers first..last of a series (model 55), with the authority's answer."""
    ident = "ID%02d%02d%s55%03d%09d%09d" % (uf, year % 100, cnpj, serie, first, last)
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<procInutNFe xmlns="http://www.portalfiscal.inf.br/nfe" versao="4.00">\n'
            ' <inutNFe versao="4.00"><infInut Id="%s"><tpAmb>1</tpAmb><xServ>INUTILIZAR</xServ><cUF>%d</cUF>'
            '<ano>%02d</ano><CNPJ>%s</CNPJ><mod>55</mod><serie>%d</serie><nNFIni>%d</nNFIni><nNFFin>%d</nNFFin>'
            '<xJust>Falha no sistema emissor, numeracao pulada</xJust></infInut></inutNFe>\n'
            ' <retInutNFe versao="4.00"><infInut><tpAmb>1</tpAmb><cStat>%s</cStat><xMotivo>%s</xMotivo>'
            '<dhRecbto>%04d-%02d-10T09:00:00-03:00</dhRecbto><nProt>1%02d%013d</nProt></infInut></retInutNFe>\n'
            '</procInutNFe>\n' % (ident, uf, year % 100, cnpj, serie, first, last, status, reason, year, 1, uf, first))


def audit_month_files(signer, cnpj, org, uf, year, month, first, rng):
    """A month as an accountant audits it, numbers first..first+11 of series 1, every document signed
    by signer (nfe_signing.Holder): authorised first, +6 (also in a second file, a duplicate), +9, +10,
    +11; +1 cancelled by an event; +2 denied; +3 and +4 missing; +7 missing but voided; +5 altered
    after signing; +8 without protocol; a correction letter of first-1 (not among the files); one
    truncated file. Returns name -> text."""
    import nfe_signing
    yymm = "%02d%02d" % (year % 100, month)

    def key_of(number):
        return nfe_key(uf, yymm, cnpj, 1, number, number * 7919 % 10 ** 8)

    def invoice(number, protocol=None):
        return nfe_xml(key_of(number), org, cnpj, uf, year, month, min(number - first + 1, 28), number, 1, rng,
                       protocol)

    def signed(number, protocol=None):
        return nfe_signing.sign(invoice(number, protocol), signer)

    files = {}
    for number in (first, first + 1, first + 6, first + 9, first + 10, first + 11):
        files[key_of(number) + "-nfe.xml"] = signed(number)
    files[key_of(first + 2) + "-nfe.xml"] = signed(first + 2, protocol_xml(
        key_of(first + 2), year, month, 3, "302", "Uso Denegado: Irregularidade fiscal do destinatário"))
    altered = signed(first + 5)
    start = altered.index("<vNF>") + 5
    files[key_of(first + 5) + "-nfe.xml"] = altered[:start] + "9" + altered[start:]
    files[key_of(first + 8) + "-nfe.xml"] = signed(first + 8, "")
    files["cópia de " + key_of(first + 6) + "-nfe.xml"] = files[key_of(first + 6) + "-nfe.xml"]
    when = "%04d-%02d-20T09:15:00-03:00" % (year, month)
    files[key_of(first + 1) + "-canc.xml"] = nfe_signing.sign(event_xml(
        key_of(first + 1), "110111", 1, "<nProt>1%s</nProt><xJust>Pedido cancelado pelo cliente antes da entrega"
        "</xJust>" % key_of(first + 1)[-14:], when), signer)
    files[key_of(first - 1) + "-cce.xml"] = nfe_signing.sign(event_xml(
        key_of(first - 1), "110110", 1, "<xCorrecao>Endereço de entrega: Rua das Acácias, 120</xCorrecao>", when),
        signer)
    files["inutilizacao-%d-%d.xml" % (first + 7, first + 7)] = voiding_xml(cnpj, uf, year, 1, first + 7, first + 7)
    whole = invoice(first + 12)
    files["truncado.xml"] = whole[:len(whole) // 2]
    return files


EXAMPLES_DIR = "XMLFTP/Exemplos NF-e"


def example_files(seed=31600, signing=None):
    """One file of each kind the details window tells apart: name -> text. Every key has a right check
    digit except the file named for a wrong one. With signing (DemoSigning), the invoices and events
    are signed."""
    rng = random.Random(seed)
    cnpj = make_cnpj(rng)
    org = "Comércio de Alimentos São João"

    def key_of(number):
        return nfe_key(35, "2403", cnpj, 1, number, number * 1237 % 10 ** 8)

    def invoice(number, protocol=None):
        return nfe_xml(key_of(number), org, cnpj, 35, 2024, 3, 15, number, 1, rng, protocol)

    wrong = key_of(505)[:-1] + str((int(key_of(505)[-1]) + 1) % 10)
    files = {
        key_of(501) + "-nfe.xml": invoice(501),
        key_of(502) + "-nfe.xml": invoice(502, ""),
        key_of(503) + "-nfe.xml": invoice(503, protocol_xml(key_of(503), 2024, 3, 15, "302",
                                                            "Uso Denegado: Irregularidade fiscal do destinatário")),
        "nota sem chave no nome.xml": invoice(504),
        wrong + "-nfe.xml": invoice(505).replace(key_of(505), wrong),
        key_of(599) + "-nfe.xml": invoice(506),  # the name carries another invoice's key
        "NFe" + key_of(507) + ".XML": invoice(507),
        key_of(501) + "-canc.xml": event_xml(key_of(501), "110111", 1,
                                             "<nProt>1%s</nProt><xJust>Pedido cancelado pelo cliente antes da entrega"
                                             "</xJust>" % key_of(501)[-14:]),
        key_of(504) + "-cce.xml": event_xml(key_of(504), "110110", 1,
                                            "<xCorrecao>Endereço de entrega: Rua das Acácias, 120 - Centro"
                                            "</xCorrecao><xCondUso>A Carta de Correção é disciplinada pelo "
                                            "§ 1º-A do art. 7º do Convênio S/N, de 15 de dezembro de 1970"
                                            "</xCondUso>", "2024-03-18T16:40:00-03:00"),
        "carta de correção sem protocolo.xml": event_xml(key_of(507), "110110", 2,
                                                         "<xCorrecao>CFOP correto: 5405</xCorrecao>",
                                                         registered=False),
    }
    if signing:
        files = {name: signing.sign(text, cnpj, org) for name, text in files.items()}
    whole = invoice(508)
    files["truncado-" + key_of(508) + ".xml"] = whole[:len(whole) // 2]
    files["não é xml.xml"] = "Relatório de notas emitidas em março\n"
    files["conhecimento de transporte.xml"] = (
        '<?xml version="1.0" encoding="UTF-8"?>\n<cteProc xmlns="http://www.portalfiscal.inf.br/cte" '
        'versao="4.00"><CTe><infCte Id="CTe%s"/></CTe></cteProc>\n' % key_of(509))
    return files


def make_examples(root, seed=31600, signing=None):
    folder = os.path.join(root, EXAMPLES_DIR)
    os.makedirs(folder, exist_ok=True)
    for name, text in example_files(seed, signing).items():
        write_file(os.path.join(folder, name), text, BASE_TIME)
    os.utime(folder, (BASE_TIME, BASE_TIME))


def write_file(path, text, mtime):
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)
    os.utime(path, (mtime, mtime))


class DemoSigning:
    """The demo's root and one signing certificate per organisation (all on one key: making keys is slow)."""

    def __init__(self):
        import nfe_signing
        self.signing = nfe_signing
        self.root = nfe_signing.make_authority("Autoridade Certificadora Raiz de Demonstração")
        self.key = nfe_signing.new_key()
        self.holders = {}

    def holder(self, cnpj, name):
        if cnpj not in self.holders:
            self.holders[cnpj] = self.signing.make_holder(self.root, name.upper(), cnpj, serial=len(self.holders) + 2,
                                                          not_before="2023-01-01", not_after="2025-06-30", key=self.key)
        return self.holders[cnpj]

    def sign(self, text, cnpj, name):
        return self.signing.sign(text, self.holder(cnpj, name))

    def write_root(self, path):
        os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
        with open(path, "wb") as f:
            f.write(self.root.cert_pem())


AUDIT = (12, 2024, 3)  # organisation, year, month


def make_audit_month(month_dir, cnpj, org, uf, year, month, first, rng, signing):
    written = []
    files = audit_month_files(signing.holder(cnpj, org), cnpj, org, uf, year, month, first, rng)
    for n, (name, text) in enumerate(sorted(files.items())):
        path = os.path.join(month_dir, name)
        write_file(path, text, time.mktime((year, month, 1 + n, 9, 30, 0, 0, 0, -1)))
        written.append(path)
    return written


def make_organisation(root, number, months, per_month, rng, signing):
    """Creates XMLFTP/Organização <number>/AAAAMM/*.xml and returns the list of files written."""
    org_dir = os.path.join(root, "XMLFTP", "Organização %d" % number)
    os.makedirs(org_dir, exist_ok=True)
    org = ORG_NAMES[number % len(ORG_NAMES)]
    cnpj = make_cnpj(rng)
    uf = UF_CODES[number % len(UF_CODES)]
    written = []
    nf_number = rng.randrange(1000, 90000)
    for m in range(months):
        year, month = 2023 + (m + 6) // 12, (m + 6) % 12 + 1
        month_dir = os.path.join(org_dir, "%04d%02d" % (year, month))
        os.makedirs(month_dir, exist_ok=True)
        if (number, year, month) == AUDIT:
            written += make_audit_month(month_dir, cnpj, org, uf, year, month, nf_number + 1, rng, signing)
            nf_number += 13
            os.utime(month_dir, (BASE_TIME, BASE_TIME))
            continue
        for _ in range(per_month):
            nf_number += 1
            day = rng.randrange(1, 29)
            key = nfe_key(uf, "%02d%02d" % (year % 100, month), cnpj, 1, nf_number, rng.randrange(10 ** 8))
            path = os.path.join(month_dir, key + "-nfe.xml")
            mtime = time.mktime((year, month, day, rng.randrange(7, 19), rng.randrange(60), 0, 0, 0, -1))
            write_file(path, signing.sign(nfe_xml(key, org, cnpj, uf, year, month, day, nf_number, 1, rng), cnpj, org),
                       mtime)
            written.append(path)
        os.utime(month_dir, (BASE_TIME, BASE_TIME))
    os.utime(org_dir, (BASE_TIME, BASE_TIME))
    return written


def make_system_dirs(root):
    for name in SYSTEM_DIRS:
        os.makedirs(os.path.join(root, name), exist_ok=True)
    write_file(os.path.join(root, "EXEFTP", "atualizador.ini"), "[Atualizador]\nVersao=6.39.15\n", BASE_TIME)
    write_file(os.path.join(root, "RELFTP", "relatório mensal.txt"), "Relatório de notas emitidas\n", BASE_TIME)
    write_file(os.path.join(root, "TMPFTP", "leia-me.txt"), "Área temporária de transferência.\n", BASE_TIME)


def make_big_dir(root, entries, rng):
    big = os.path.join(root, "XMLFTP", "Grande")
    os.makedirs(big, exist_ok=True)
    cnpj = make_cnpj(rng)
    for n in range(entries):
        key = nfe_key(35, "2403", cnpj, 1, n + 1, rng.randrange(10 ** 8))
        write_file(os.path.join(big, key + "-nfe.xml"), "<NFe Id=\"NFe%s\"/>\n" % key, BASE_TIME + n)
    os.utime(big, (BASE_TIME, BASE_TIME))


def make_store(root, orgs=(1, 2, 3, 12), months=3, per_month=20, big=0, seed=31600, demo_root=None):
    """Writes the store under root; returns the number of NF-e files written (without the big dir).
    demo_root: where to write the demo root certificate that the signatures chain to."""
    rng = random.Random(seed)
    signing = DemoSigning()
    if demo_root:
        signing.write_root(demo_root)
    make_system_dirs(root)
    count = 0
    for number in orgs:
        count += len(make_organisation(root, number, months, per_month, rng, signing))
    make_examples(root, seed, signing)
    if big:
        make_big_dir(root, big, rng)
    for name in SYSTEM_DIRS:
        os.utime(os.path.join(root, name), (BASE_TIME, BASE_TIME))
    return count


def main(argv):
    parser = argparse.ArgumentParser(description="Builds a demo store of NF-e XML files.")
    parser.add_argument("dir")
    parser.add_argument("--orgs", type=int, default=6, help="number of organisations (numbered 1..N, plus 12)")
    parser.add_argument("--months", type=int, default=4)
    parser.add_argument("--per-month", type=int, default=15)
    parser.add_argument("--big", type=int, default=0, help="add XMLFTP/Grande with this many entries")
    parser.add_argument("--seed", type=int, default=31600)
    parser.add_argument("--demo-root", help="write the demo root certificate (PEM) here")
    args = parser.parse_args(argv)
    orgs = sorted(set(range(1, args.orgs + 1)) | {12})
    os.makedirs(args.dir, exist_ok=True)
    count = make_store(args.dir, orgs, args.months, args.per_month, args.big, args.seed, args.demo_root)
    print("%d NF-e files in %d organisations under %s" % (count, len(orgs), args.dir))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
