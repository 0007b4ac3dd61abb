#!/usr/bin/python3
"""signed_samples.py DIR: writes the signed documents the signature tests read, with the certificates
made for them: roots/ (the test root), chain/ (the root and an intermediate that had expired before
the issue date), and one file per case. The issuer is EMPRESA TESTE LTDA, CNPJ 12345678000195; every
invoice is issued on 15/03/2024."""

import os
import pathlib
import random
import sys

SOURCE = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(SOURCE / "scripts"))
import make_demo_store as store  # noqa: E402
import nfe_signing as signing  # noqa: E402

CNPJ = "12345678000195"
BRANCH = "12345678000276"


def invoice(cnpj=CNPJ, number=123):
    key = store.nfe_key(35, "2403", cnpj, 1, number, 1234)
    protocol = store.protocol_xml(key, 2024, 3, 15).replace("<cStat>", "<digVal></digVal><cStat>")
    return store.nfe_xml(key, "EMPRESA TESTE LTDA", cnpj, 35, 2024, 3, 15, number, 1, random.Random(7), protocol)


def main(out):
    out = pathlib.Path(out)
    for folder in ("roots", "chain"):
        (out / folder).mkdir(parents=True, exist_ok=True)
    # Keys are shared where the certificates alone tell the cases apart: making keys is the slow part.
    key = signing.new_key()
    root = signing.make_authority("Raiz de Teste")
    old = signing.make_authority("AC Intermediária Vencida", root, serial=3, not_before="2020-01-01",
                                 not_after="2022-12-31", key=key)
    foreign = signing.make_authority("Raiz Desconhecida", key=key)
    holder = signing.make_holder(root, "EMPRESA TESTE LTDA", CNPJ, key=key)
    for folder in ("roots", "chain"):
        (out / folder / "raiz.pem").write_bytes(root.cert_pem())
    (out / "chain" / "intermediaria.crt").write_bytes(old.cert.public_bytes(signing.serialization.Encoding.DER))
    access_key = store.nfe_key(35, "2403", CNPJ, 1, 123, 1234)
    cases = {
        "nfe-sha1.xml": signing.sign(invoice(), holder),
        "nfe-sha256-cli.xml": signing.sign_with_cli(invoice(), holder),
        "nfe-filial.xml": signing.sign(invoice(BRANCH), holder),
        "nfe-outra-empresa.xml": signing.sign(
            invoice(), signing.make_holder(root, "OUTRA EMPRESA SA", "98765432000198", serial=4, key=key)),
        "nfe-vencido.xml": signing.sign(invoice(), signing.make_holder(
            root, "EMPRESA TESTE LTDA", CNPJ, serial=5, not_before="2020-01-01", not_after="2021-12-31", key=key)),
        "nfe-512.xml": signing.sign(invoice(), signing.make_holder(root, "EMPRESA TESTE LTDA", CNPJ, serial=6,
                                                                   key=signing.new_key(512))),
        "nfe-raiz-desconhecida.xml": signing.sign(invoice(), signing.make_holder(foreign, "EMPRESA TESTE LTDA", CNPJ,
                                                                                 key=key)),
        "nfe-cadeia-vencida.xml": signing.sign(invoice(), signing.make_holder(old, "EMPRESA TESTE LTDA", CNPJ, serial=7,
                                                                              key=key)),
        "evento.xml": signing.sign(store.event_xml(access_key, "110111", 1,
                                                   "<xJust>Pedido cancelado pelo cliente</xJust>"), holder),
    }
    for name, text in cases.items():
        (out / name).write_text(text, encoding="utf-8")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else os.getcwd()))
