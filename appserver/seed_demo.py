#!/usr/bin/python3
"""Writes the demo settings database of vop-appserver: the schema, then seed_demo.sql filled in.

    appserver/seed_demo.py --db demo.db --ftp-host 127.0.0.5 [--http --gateway-host 127.0.0.6 --gateway-port 8443 ...]
"""
import argparse
import os
import sqlite3
import string

HERE = os.path.dirname(os.path.abspath(__file__))


def sql_text(value):
    return str(value).replace("'", "''")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--db", required=True)
    parser.add_argument("--ftp-host", required=True)
    parser.add_argument("--ftp-login", default="demo")
    parser.add_argument("--ftp-password", default="demo")
    parser.add_argument("--organisation", default="0", help='organisation code; "0" means home is /')
    parser.add_argument("--http", action="store_true", help="transfers go through the HTTP gateway")
    parser.add_argument("--gateway-host", default="127.0.0.1")
    parser.add_argument("--gateway-port", default="")
    parser.add_argument("--gateway-https", action="store_true")
    parser.add_argument("--gateway-login", default="demo")
    parser.add_argument("--gateway-password", default="demo")
    parser.add_argument("--gateway-path", default="gateway")
    args = parser.parse_args()

    values = {
        "ftp_host": args.ftp_host, "ftp_login": args.ftp_login, "ftp_password": args.ftp_password,
        "organisation": args.organisation, "http_mode": "S" if args.http else "N",
        "gateway_host": args.gateway_host, "gateway_port": args.gateway_port,
        "gateway_https": 1 if args.gateway_https else 0, "gateway_login": args.gateway_login,
        "gateway_password": args.gateway_password, "gateway_path": args.gateway_path,
    }
    for forbidden in ("&", "\n", "\r"):
        for key in ("gateway_host", "gateway_login", "gateway_password", "gateway_path"):
            if forbidden in str(values[key]):
                parser.error("%s may not contain %r" % (key, forbidden))
    with open(os.path.join(HERE, "schema.sql"), encoding="utf-8") as f:
        schema = f.read()
    with open(os.path.join(HERE, "seed_demo.sql"), encoding="utf-8") as f:
        seed = string.Template(f.read()).substitute({k: sql_text(v) for k, v in values.items()})
    with sqlite3.connect(args.db) as db:
        db.executescript(schema)
        db.executescript(seed)


if __name__ == "__main__":
    main()
