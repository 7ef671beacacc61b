#!/usr/bin/env python3
"""Reads CSV and JSON listings back with their real readers (Python's csv and json, jq,
LibreOffice) and checks them against the file system and against the text listing of the
same tree. Usage: formats_test.py ZINTREL_BENCH"""
import csv, datetime, io, json, os, shutil, subprocess, sys, tempfile, unittest, unicodedata, zipfile

BENCH = None
ENV = dict(os.environ, TZ="Europe/Berlin", LC_ALL="C.UTF-8")
NAMES = ['quote"d', 'com,ma', 'cr\rname', 'lf\nname', 'שלום', 'emoji😀', unicodedata.normalize('NFD', 'café')]
BAD = b'bad\xff\xfename'


def make_tree(root):
    r = os.fsencode(root)
    os.makedirs(os.path.join(r, b'sub', b'deeper'))
    os.makedirs(os.path.join(r, b'empty'))
    for i, n in enumerate(NAMES):
        p = os.path.join(r, b'sub', os.fsencode(n) + b'.txt')
        with open(p, 'wb') as f:
            f.write(b'x' * (i * 1000 + 1))
    with open(os.path.join(r, b'sub', b'deeper', BAD), 'wb') as f:
        f.write(b'y' * 5000)
    with open(os.path.join(r, b'top.dat'), 'wb') as f:
        f.write(b'z' * 123)
    os.utime(os.path.join(r, b'top.dat'), (1772370309, 1772370309))  # 2026-03-01T14:05:09+01:00


def run(folder, kind, options, out):
    opts = out + '.options'
    with open(opts, 'w') as f:
        f.write(''.join(f'{k}={v}\n' for k, v in options.items()))
    target = out + '.' + kind
    p = subprocess.run([BENCH, '--type', kind, '--options', opts, '--now', '2026-03-01T14:05:09', folder, target],
                       env=ENV, capture_output=True)
    assert p.returncode == 0, p.stderr.decode(errors='replace')
    with open(target, 'rb') as f:
        return f.read(), p.stdout.decode(errors='replace')


def csv_rows(data):
    text = data.decode('utf-8', errors='surrogateescape')
    return list(csv.reader(io.StringIO(text, newline=''), strict=True))


def text_entries(data):
    return [l for l in data.split(b'\r\n') if l.startswith(b' ')]


def one_line(name):
    return bytes(b if b >= 0x20 and b != 0x7f else ord('?') for b in name)


def flatten(node, prefix, out):
    for item in node.get('contents', []):
        name = bytes.fromhex(item['name_hex']) if 'name_hex' in item else item['name'].encode()
        path = prefix + name
        if item.get('listed', True):
            out.append((path, item))
        if item['type'] == 'directory':
            flatten(item, path + b'/', out)
    return out


NAME_ONLY = dict(showName='true', showSize='false', showAttributes='false', showDateTime='false',
                 showPath='false', showLevel='false', fieldSpacing=1, indentSize=0)


class Formats(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix='zintrel-formats-')
        self.root = os.path.join(self.dir, 'tree')
        make_tree(self.root)
        self.out = os.path.join(self.dir, 'out')

    def tearDown(self):
        shutil.rmtree(self.dir)

    def listings(self, options):
        return {k: run(self.root, k, options, self.out + k)[0] for k in ('txt', 'csv', 'json')}

    def check_json(self, data):
        for tool in (['python3', '-m', 'json.tool'], ['jq', '.']):
            p = subprocess.run(tool, input=data, capture_output=True)
            self.assertEqual(p.returncode, 0, f'{tool[0]} refuses the JSON: {p.stderr.decode()}')
        return json.loads(data.decode('utf-8'))

    def test_all_columns_read_back_against_the_file_system(self):
        out = self.listings({})
        rows = csv_rows(out['csv'])
        self.assertEqual(rows[0], ['Name', 'Size (bytes)', 'Attributes', 'Date and Time', 'Path', 'Level', 'Type'])
        self.assertTrue(out['csv'].endswith(b'\r\n'))
        root = os.fsencode(self.root) + b'/'
        doc = self.check_json(out['json'])
        flat = flatten(doc['tree'], root, [])
        self.assertEqual(len(rows) - 1, len(text_entries(out['txt'])))
        self.assertEqual([r[4].encode('utf-8', 'surrogateescape') for r in rows[1:]], [p for p, _ in flat])
        for row, (path, item) in zip(rows[1:], flat):
            name, size, attrs, when, rpath, level, kind = row
            bpath = rpath.encode('utf-8', 'surrogateescape')
            st = os.lstat(bpath)
            self.assertEqual(os.path.basename(bpath), name.encode('utf-8', 'surrogateescape'))
            is_dir = os.path.isdir(bpath)
            self.assertEqual(kind, 'folder' if is_dir else 'file')
            self.assertEqual(item['type'], 'directory' if is_dir else 'file')
            self.assertEqual(int(size), 0 if is_dir else st.st_size)
            self.assertEqual(item['size'], int(size))
            self.assertEqual(datetime.datetime.fromisoformat(when).timestamp(), int(st.st_mtime))
            self.assertEqual(item['time'], int(st.st_mtime))
            self.assertEqual(item['time_iso'], when)
            self.assertEqual(item['attributes'], attrs)
            self.assertEqual(int(level), bpath[len(root):].count(b'/') + 1)
            self.assertEqual('D' in attrs, is_dir)
        top = [r for r in rows if r[0] == 'top.dat'][0]
        self.assertEqual(top[3], '2026-03-01T14:05:09+01:00')
        bad = [i for p, i in flat if p.endswith(BAD)][0]
        self.assertEqual(bad['name'], 'bad\ufffd\ufffdname')
        self.assertEqual(bytes.fromhex(bad['name_hex']), BAD)
        empty = [i for p, i in flat if p.endswith(b'/empty')][0]
        self.assertEqual(empty['contents'], [])
        files = [i for _, i in flat if i['type'] == 'file']
        totals = doc['totals']
        self.assertEqual((totals['folders'], totals['files']), (len(flat) - len(files), len(files)))
        self.assertEqual(totals['size_bytes'], sum(i['size'] for i in files))
        footer = out['txt'].split(b'\r\n')
        self.assertIn(f'Total size: {totals["size_kb"]} Kb'.encode(), footer)
        self.assertEqual(doc['listing']['time_iso'], '2026-03-01T14:05:09+01:00')

    def test_names_and_order_match_the_text_listing(self):
        out = self.listings(NAME_ONLY)
        rows = csv_rows(out['csv'])
        self.assertEqual(rows[0], ['Name', 'Type'])
        text = [l[1:-1] for l in text_entries(out['txt'])]
        self.assertEqual([one_line(r[0].encode('utf-8', 'surrogateescape')) for r in rows[1:]], text)
        names = set(r[0] for r in rows[1:])
        for n in NAMES:
            self.assertIn(n + '.txt', names)

    def test_filters_and_columns(self):
        opts = dict(showSize='false', showLevel='false', fileMask='*.dat')
        out = self.listings(opts)
        rows = csv_rows(out['csv'])
        self.assertEqual(rows[0], ['Name', 'Attributes', 'Date and Time', 'Path', 'Type'])
        self.assertEqual(len(rows) - 1, len(text_entries(out['txt'])))
        doc = self.check_json(out['json'])
        self.assertEqual(doc['listing']['settings']['file_mask'], '*.dat')
        self.assertFalse(doc['listing']['settings']['columns']['size'])
        flat = flatten(doc['tree'], os.fsencode(self.root) + b'/', [])
        self.assertEqual([p for p, _ in flat], [r[3].encode('utf-8', 'surrogateescape') for r in rows[1:]])

    def test_folders_whose_lines_are_filtered_out_still_nest(self):
        # A mask hides the folders' lines, and the walk still goes into them.
        out = self.listings(dict(fileMask='*.txt'))
        rows = csv_rows(out['csv'])
        self.assertEqual(len(rows) - 1, len(text_entries(out['txt'])))
        self.assertTrue(all(r[6] == 'file' for r in rows[1:]))
        doc = self.check_json(out['json'])
        root = os.fsencode(self.root) + b'/'
        flat = flatten(doc['tree'], root, [])
        self.assertEqual([p for p, _ in flat], [r[4].encode('utf-8', 'surrogateescape') for r in rows[1:]])
        for p, _ in flat:
            self.assertTrue(os.path.isfile(p), p)
        names = [c['name'] for c in doc['tree']['contents']]
        self.assertNotIn('empty', names)  # nothing listed inside it
        sub = [c for c in doc['tree']['contents'] if c['name'] == 'sub'][0]
        self.assertIs(sub['listed'], False)
        self.assertEqual(sorted(c['name'] for c in sub['contents']), sorted(n + '.txt' for n in NAMES))
        self.assertEqual(len(flat), len(NAMES))

    def test_no_subfolders(self):
        out = self.listings(dict(includeSubfolders='false'))
        rows = csv_rows(out['csv'])
        self.assertEqual(sorted(r[0] for r in rows[1:]), ['empty', 'sub', 'top.dat'])
        doc = self.check_json(out['json'])
        self.assertFalse(any('contents' in c for c in doc['tree']['contents']))
        self.assertFalse(doc['listing']['settings']['include_subfolders'])

    def test_open_after_creation(self):
        _, said = run(self.root, 'json', dict(openAfterCreation='true'), self.out)
        self.assertIn('would open: ' + self.out + '.json', said)
        _, said = run(self.root, 'csv', dict(openAfterCreation='false'), self.out)
        self.assertNotIn('would open', said)

    def test_libreoffice_reads_the_columns(self):
        soffice = shutil.which('soffice') or shutil.which('libreoffice')
        self.assertIsNotNone(soffice, 'LibreOffice (soffice) is missing: run scripts/install-deps.sh')
        # Names LibreOffice keeps in a cell as they are: all but the one that is not UTF-8.
        os.remove(os.path.join(os.fsencode(self.root), b'sub', b'deeper', BAD))
        data, _ = run(self.root, 'csv', {}, self.out)
        rows = csv_rows(data)
        profile = 'file://' + os.path.join(self.dir, 'profile')
        base = [soffice, '-env:UserInstallation=' + profile, '--headless']
        p = subprocess.run(base + ['--infilter=CSV:44,34,76,1', '--convert-to', 'xlsx', '--outdir', self.dir,
                                   self.out + '.csv'], capture_output=True, timeout=240)
        xlsx = self.out + '.xlsx'
        self.assertTrue(os.path.exists(xlsx), p.stdout.decode() + p.stderr.decode())
        with zipfile.ZipFile(xlsx) as z:
            self.assertIn('xl/worksheets/sheet1.xml', z.namelist())
        back = os.path.join(self.dir, 'back')
        os.mkdir(back)
        p = subprocess.run(base + ['--convert-to', 'csv:Text - txt - csv (StarCalc):44,34,76,1', '--outdir', back, xlsx],
                           capture_output=True, timeout=240)
        with open(os.path.join(back, 'out.csv'), 'rb') as f:
            again = csv_rows(f.read())
        self.assertEqual(len(again), len(rows))
        self.assertEqual(again[0], rows[0])
        for a, b in zip(again[1:], rows[1:]):
            self.assertEqual(a[0].replace('\r\n', '\n').replace('\r', '\n'), b[0].replace('\r', '\n'))
            self.assertEqual(float(a[1]), float(b[1]))  # a number to the spreadsheet
            self.assertEqual(a[6], b[6])


if __name__ == '__main__':
    BENCH = sys.argv.pop(1)
    unittest.main()
