-- Settings database of vop-appserver. Every statement is idempotent: the server runs this file at
-- start, and the test launchers run it before their own data.

-- The HTTP gateway parameter row(s) served by Bib.rdmDBGeral.GetHttp. Any column may be NULL and the
-- table may be empty; rows are served in insertion order. The declared types become the field types
-- of the data packet.
CREATE TABLE IF NOT EXISTS http_param (
    IDUTPARAMHTTPGER TEXT,
    HTTPHOSADDR      TEXT,
    HTTPPORT         TEXT,
    IDUTHTTPPROXY    INTEGER,
    HTTPPROXYHOST    TEXT,
    HTTPPROXYPORT    TEXT,
    HTTPPROXYUSERID  TEXT,
    HTTPHTTPS        INTEGER
);

-- Texts served by Bib.rdmLocalCache.GetTableData(name); the empty name holds the gateway connection
-- string (Address=...&Login=...&Password=...&Path=...&FileDir=...).
CREATE TABLE IF NOT EXISTS local_cache (
    table_name TEXT PRIMARY KEY NOT NULL,
    content    TEXT
);

-- The FTP data served by VOP31600.rdmCtrlArqXMLNFe.GetDadosFTP as an array of five texts (first row).
-- With no row the server answers with a text error message instead.
CREATE TABLE IF NOT EXISTS ftp_data (
    status       TEXT,
    address      TEXT,
    login        TEXT,
    password     TEXT,
    organisation TEXT
);

-- Replies served verbatim in place of the built-in ones, so that any reply can be staged: null
-- columns, a text, a short array, a failure status, a slow answer. The method '' stands for the
-- connect request (GET /servers/<server>). A server named here exists even if it is not built in.
CREATE TABLE IF NOT EXISTS reply_override (
    server      TEXT NOT NULL,
    method      TEXT NOT NULL,
    http_status INTEGER NOT NULL DEFAULT 200,
    body        TEXT NOT NULL,
    delay_ms    INTEGER NOT NULL DEFAULT 0,
    PRIMARY KEY (server, method)
);
