-- Demo settings. The placeholders are filled in by seed_demo.py.
DELETE FROM http_param;
DELETE FROM local_cache;
DELETE FROM ftp_data;
DELETE FROM reply_override;

INSERT INTO http_param (IDUTPARAMHTTPGER, HTTPHOSADDR, HTTPPORT, IDUTHTTPPROXY, HTTPPROXYHOST, HTTPPROXYPORT, HTTPPROXYUSERID, HTTPHTTPS)
VALUES ('$http_mode', '$gateway_host', '$gateway_port', 0, '', '', '', $gateway_https);

INSERT INTO local_cache (table_name, content)
VALUES ('', 'Address=$gateway_host&Login=$gateway_login&Password=$gateway_password&Path=$gateway_path&FileDir=/');

INSERT INTO ftp_data (status, address, login, password, organisation)
VALUES ('S', '$ftp_host', '$ftp_login', '$ftp_password', '$organisation');
