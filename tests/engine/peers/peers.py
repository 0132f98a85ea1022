#!/usr/bin/python3
"""Reads and writes dBASE tables with independent libraries (dbfread and
python-dbf) for the engine's compatibility tests.

  peers.py dump dbfread|dbf <encoding> <table>
      prints the table as a canonical dump (below) in UTF-8
  peers.py write <plan>
      writes the table that a plan file describes with python-dbf

Canonical dump, one item a line, fields separated by tabs:
  version <first byte of the file>
  count <record count in the header> <records the reader found>
  field <name> <type> <length> <decimals>
  record <mark> <value> ...
Records come in file order, those without a delete mark first, then the
deleted ones (dbfread only hands them out in these two groups). Values:
C trailing blanks removed; D YYYYMMDD; N and F with the field's decimals;
L T or F; M the memo's text. An empty or null value is an empty text.
Tabs, newlines and backslashes in values are escaped with a backslash.

Plan file (UTF-8, tab-separated):
  table <path> <dbf type: db3 or fp> <language driver byte> <encoding>
  field <name> <type> <length> <decimals>
  record <mark> <value> ...            (\\N is a null value)
Values use the dump's forms. <encoding> is the page the bytes on disk are
meant to be in; python-dbf only knows the page of the language driver, so
text is handed to it re-coded into that page (cp858 text goes in as the
cp850 characters with the same bytes: the euro as U+0131).
"""
import datetime
import sys


def escape(text):
    return (text.replace('\\', '\\\\').replace('\t', '\\t')
            .replace('\n', '\\n').replace('\r', '\\r'))


def unescape(text):
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == '\\' and i + 1 < len(text):
            i += 1
            out.append({'t': '\t', 'n': '\n', 'r': '\r'}.get(text[i], text[i]))
        else:
            out.append(c)
        i += 1
    return ''.join(out)


def canonical(ftype, decimals, value):
    if value is None:
        return ''
    if ftype == 'C':
        return value.rstrip(' ')
    if ftype == 'D':
        return value.strftime('%Y%m%d')
    if ftype in 'NF':
        if decimals > 0:
            return '%.*f' % (decimals, value)
        return str(int(value))
    if ftype == 'L':
        return 'T' if value else 'F'
    if ftype in 'MGPB':
        if isinstance(value, bytes):
            value = value.decode('latin-1')
        return value
    raise ValueError('field type %r' % ftype)


def version_byte(path):
    with open(path, 'rb') as f:
        return f.read(1)[0]


def emit(path, header_count, fields, records):
    """fields: (name, type, length, decimals); records: (deleted, values)."""
    out = ['version\t%d' % version_byte(path),
           'count\t%d\t%d' % (header_count, len(records))]
    for name, ftype, length, decimals in fields:
        out.append('field\t%s\t%s\t%d\t%d' % (name.upper(), ftype, length, decimals))
    ordered = [r for r in records if not r[0]] + [r for r in records if r[0]]
    for deleted, values in ordered:
        cells = [escape(canonical(f[1], f[3], v)) for f, v in zip(fields, values)]
        out.append('\t'.join(['record', '*' if deleted else ' '] + cells))
    # UTF-8 whatever the locale says.
    sys.stdout.buffer.write(('\n'.join(out) + '\n').encode('utf-8'))


def dump_dbfread(path, encoding):
    import dbfread
    table = dbfread.DBF(path, encoding=encoding, char_decode_errors='strict')
    fields = [(f.name, f.type, f.length, f.decimal_count) for f in table.fields]
    names = [f.name for f in table.fields]

    # dbfread takes a dBASE IV memo's length word as the length of the text
    # alone, so it hands out the 8 bytes that follow the text as well.
    dbase4 = version_byte(path) in (0x8B, 0x8C)

    def values(record):
        vals = [record[n] for n in names]
        return [v[:-8] if dbase4 and f[1] == 'M' and v else v
                for f, v in zip(fields, vals)]

    records = [(False, values(r)) for r in table.records]
    records += [(True, values(r)) for r in table.deleted]
    emit(path, table.header.numrecords, fields, records)


def dbf_codec(driver):
    """The Python codec python-dbf uses for a language driver byte."""
    import dbf
    return sys.modules[dbf.Table.__module__].code_pages[driver][0]


def dump_dbf(path, encoding):
    import dbf
    # Tables without a language driver byte would be read as ASCII: name the
    # nearest page python-dbf knows and re-code what it decodes.
    codec = 'cp850' if encoding == 'cp858' else encoding
    table = dbf.Table(path, codepage=codec)
    table.open(mode=dbf.READ_ONLY)
    try:
        fields = []
        for name in table.field_names:
            info = table.field_info(name)
            fields.append((name, chr(info[0]), info[1], info[2]))

        def recode(v):
            if isinstance(v, str) and codec != encoding:
                return v.encode(codec).decode(encoding)
            return v

        records = []
        for record in table:
            records.append((dbf.is_deleted(record), [recode(v) for v in record]))
        emit(path, len(table), fields, records)
    finally:
        table.close()


def python_value(ftype, decimals, text, codec, encoding):
    if text == '\\N':
        return None
    text = unescape(text)
    if ftype in 'CM':
        return text.encode(encoding).decode(codec) if codec != encoding else text
    if ftype in 'GP':
        return text.encode(encoding)
    if ftype in 'NF':
        return float(text) if decimals > 0 else int(text)
    if ftype == 'D':
        if not text.strip():
            return None
        return datetime.date(int(text[:4]), int(text[4:6]), int(text[6:8]))
    if ftype == 'L':
        return text == 'T'
    raise ValueError('field type %r' % ftype)


def write_dbf(plan_path):
    import dbf
    with open(plan_path, encoding='utf-8') as f:
        lines = [line.rstrip('\n').split('\t') for line in f if line.strip()]
    table_line = next(l for l in lines if l[0] == 'table')
    path, dbf_type, driver, encoding = table_line[1], table_line[2], int(table_line[3], 0), table_line[4]
    fields = [(l[1], l[2], int(l[3]), int(l[4])) for l in lines if l[0] == 'field']
    field_defs = []
    for name, ftype, length, decimals in fields:
        if ftype in 'CNF':
            size = '(%d,%d)' % (length, decimals) if ftype in 'NF' else '(%d)' % length
            field_defs.append('%s %s%s' % (name, ftype, size))
        else:
            field_defs.append('%s %s' % (name, ftype))
    table = dbf.Table(path, '; '.join(field_defs), dbf_type=dbf_type, codepage=driver)
    table.open(mode=dbf.READ_WRITE)
    try:
        codec = dbf_codec(driver)
        for l in lines:
            if l[0] != 'record':
                continue
            values = tuple(python_value(f[1], f[3], t, codec, encoding) for f, t in zip(fields, l[2:]))
            table.append(values)
            if l[1] == '*':
                dbf.delete(table[-1])
    finally:
        table.close()


def main(argv):
    if len(argv) == 4 and argv[0] == 'dump' and argv[1] == 'dbfread':
        dump_dbfread(argv[3], argv[2])
    elif len(argv) == 4 and argv[0] == 'dump' and argv[1] == 'dbf':
        dump_dbf(argv[3], argv[2])
    elif len(argv) == 2 and argv[0] == 'write':
        write_dbf(argv[1])
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
