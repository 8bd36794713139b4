#!/usr/bin/env python3
"""Writes the sample files of the XML loader tests: one small document in
each encoding the loader reads. Run from this folder after changing BODY."""

BODY = """<CORVESTRA>
  <PRATICA>
    <CODICE_PRATICA>A-001</CODICE_PRATICA>
    <NOMINATIVO>Niccolò Bianchi</NOMINATIVO>
    <NOTE>Temperatura 20° &amp; più<![CDATA[ <ok> ]]>
riga 2</NOTE>
    <INDIRIZZO tipo="residenza" nota="via &quot;Po&quot;">Via Po 1</INDIRIZZO>
    <IMPORTO valuta="€">€ 1.234,50</IMPORTO>
    <VUOTO/>
  </PRATICA>
</CORVESTRA>
"""


def document(encoding, euro=True, crlf=False):
    text = BODY if euro else BODY.replace("€", "EUR")
    if encoding:
        text = '<?xml version="1.0" encoding="%s"?>\n' % encoding + text
    if crlf:
        text = text.replace("\n", "\r\n")
    return text


SAMPLES = [
    ("utf8.xml", document("UTF-8").encode("utf-8")),
    ("utf8_bom.xml", b"\xef\xbb\xbf" + document("utf-8").encode("utf-8")),
    ("utf8_nodecl.xml", document(None).encode("utf-8")),
    ("utf16le_bom.xml", b"\xff\xfe" + document("UTF-16").encode("utf-16-le")),
    ("utf16be_bom.xml", b"\xfe\xff" + document("UTF-16").encode("utf-16-be")),
    ("utf16le_nobom.xml", document("UTF-16").encode("utf-16-le")),
    ("utf16be_nobom.xml", document("UTF-16").encode("utf-16-be")),
    ("iso8859-1.xml", document("ISO-8859-1", euro=False).encode("latin-1")),
    ("latin1_crlf.xml", document("latin1", euro=False, crlf=True).encode("latin-1")),
    ("windows-1252.xml", document("windows-1252", crlf=True).encode("cp1252")),
    ("cp1252_nodecl.xml", document(None).encode("cp1252")),
    ("iso8859-15.xml", document("ISO-8859-15").encode("iso8859-15")),
]

for name, data in SAMPLES:
    with open(name, "wb") as out:
        out.write(data)
