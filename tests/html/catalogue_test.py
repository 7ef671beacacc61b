#!/usr/bin/env python3
"""The HTML catalogue in headless Chromium: drawing, search, keyboard, hostile names,
columns and filters, and the page without JavaScript.
Usage: catalogue_test.py ZINTREL_BENCH"""
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import unittest

BENCH = None

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys
    from selenium.webdriver.support.ui import WebDriverWait
    from selenium.common.exceptions import NoAlertPresentException
except ImportError:
    sys.exit("catalogue_test: python3-selenium is missing (apt-get install python3-selenium)")

HOSTILE = ['<img src=x onerror=alert(1)>.txt', '<script>alert(2)<\\script><b>x.txt', '<!--c.txt',
           'q"uo\'te.txt', 'line\u2028sep\u2029par.txt', 'amp&amp;.txt']


def make_file(path, size=10):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(b'x' * size)


def driver(scratch, javascript=True):
    """A headless Chromium whose temporary folders go into scratch (it leaves some behind)."""
    chrome = shutil.which('chromium')
    chromedriver = shutil.which('chromedriver')
    if not chrome or not chromedriver:
        raise AssertionError('chromium and chromium-driver are needed (apt-get install chromium chromium-driver)')
    try:
        socket.getaddrinfo('localhost', None)
    except OSError as error:
        # ChromeDriver and Chromium talk to each other through it; every installed Debian
        # has it in /etc/hosts, a bare chroot may not.
        raise AssertionError('the name localhost does not resolve (%s): ChromeDriver needs it; '
                             'add "127.0.0.1 localhost" to /etc/hosts' % error)
    options = webdriver.ChromeOptions()
    options.binary_location = chrome
    for arg in ('--headless=new', '--no-sandbox', '--disable-gpu', '--window-size=1400,1000'):
        options.add_argument(arg)
    if not javascript:
        options.add_experimental_option('prefs', {'profile.managed_default_content_settings.javascript': 2})
    os.makedirs(scratch, exist_ok=True)
    service = Service(executable_path=chromedriver, env=dict(os.environ, TMPDIR=scratch))
    return webdriver.Chrome(options=options, service=service)


def listing(tree, out, kind='html', options=None):
    args = [BENCH, '--type', kind, '--now', '2026-12-09T08:00:00']
    if options:
        args += ['--options', options]
    subprocess.run(args + [tree, out], check=True, stdout=subprocess.DEVNULL)
    with open(out, 'rb') as f:
        return f.read()


class Catalogue(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp()
        cls.tree = os.path.join(cls.tmp, 'tree').encode()
        t = cls.tree
        for n in HOSTILE:
            make_file(os.path.join(t, b'odd', n.encode()))
        make_file(os.path.join(t, b'a1', b'b2', b'c3', b'd4', b'e5', b'deep-needle.bin'), 5000)
        make_file(os.path.join(t, b'a1', b'b2', b'c3', b'other.txt'))
        make_file(os.path.join(t, b'a1', b'near.txt'))
        make_file(os.path.join(t, b'top.txt'), 3000)
        os.makedirs(os.path.join(t, b'empty'))
        os.makedirs(os.path.join(t, b'a1', b'b2', b'hollow'))
        for n in ['שלום.txt', '🎵 music.mp3', 'cafe\u0301.txt']:
            make_file(os.path.join(t, b'intl', n.encode()))
        make_file(os.path.join(t, b'intl', b'bad-\xff\xfe.txt'))
        make_file(os.path.join(t, b'intl', b'deep', b'x', b'\xd7\xa9\xc3.txt'))
        cls.html_path = os.path.join(cls.tmp, 'out.html')
        cls.html = listing(t, cls.html_path)
        cls.text = listing(t, os.path.join(cls.tmp, 'out.txt'), 'txt')
        cls.browser = driver(os.path.join(cls.tmp, 'browser'))

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()
        shutil.rmtree(cls.tmp)

    def open(self, path=None):
        self.browser.get('file://' + (path or self.html_path))
        self.browser.find_element(By.ID, 'q')

    def no_alert(self):
        try:
            alert = self.browser.switch_to.alert
            self.fail('an alert opened: ' + alert.text)
        except NoAlertPresentException:
            pass

    def rows(self):
        return self.browser.execute_script(
            "return Array.from(document.querySelectorAll('#tree .r:not(.head)')).filter(r => r.checkVisibility())"
            ".map(r => r.querySelector('.n').textContent)")

    def expand_all(self):
        self.browser.execute_script("""
            for (let again = true; again;) {
              again = false;
              document.querySelectorAll('#tree details:not([open])').forEach(d => { d.open = true; again = true; });
              await new Promise(r => setTimeout(r, 0));
            }""")

    def test_expands_and_collapses_drawing_deeper_levels(self):
        self.open()
        self.assertIn('a1', self.rows())
        self.assertNotIn('b2', self.rows())
        a1 = self.browser.find_element(By.XPATH, "//summary[span[@class='n' and text()='a1']]")
        a1.click()
        self.assertIn('b2', self.rows())
        self.browser.find_element(By.XPATH, "//summary[span[@class='n' and text()='b2']]").click()
        WebDriverWait(self.browser, 5).until(lambda b: 'c3' in self.rows(), 'the third level is drawn when opened')
        self.assertIn('hollow', self.rows())
        a1.click()
        self.assertNotIn('b2', self.rows())
        self.assertNotIn('c3', self.rows())

    def test_search_finds_a_deep_name_once_and_opens_its_folders(self):
        self.open()
        q = self.browser.find_element(By.ID, 'q')
        q.send_keys('needle')
        q.send_keys(Keys.ENTER)
        self.assertEqual(self.browser.find_element(By.ID, 'found').text, '1 found')
        hits = self.browser.find_elements(By.CSS_SELECTOR, '#tree .hit')
        self.assertEqual([h.find_element(By.CLASS_NAME, 'n').text for h in hits], ['deep-needle.bin'])
        self.assertTrue(hits[0].is_displayed())
        for name in ['a1', 'b2', 'c3', 'd4', 'e5']:
            self.assertIn(name, self.rows())
        self.assertEqual(self.browser.switch_to.active_element, hits[0])
        q.clear()
        q.send_keys('no such name')
        q.send_keys(Keys.ENTER)
        self.assertEqual(self.browser.find_element(By.ID, 'found').text, 'Not found')

    def test_keyboard_reaches_the_tree_and_toggles(self):
        self.open()
        self.browser.find_element(By.ID, 'q').click()
        self.browser.switch_to.active_element.send_keys(Keys.TAB)
        focused = self.browser.switch_to.active_element
        self.assertEqual(focused.tag_name, 'summary')
        name = focused.find_element(By.CLASS_NAME, 'n').text
        self.assertEqual(name, self.rows()[0])
        focused.send_keys(Keys.ENTER)
        self.assertEqual(focused.find_element(By.XPATH, '..').get_attribute('open'), 'true')
        focused.send_keys(Keys.ENTER)
        self.assertIsNone(focused.find_element(By.XPATH, '..').get_attribute('open'))
        focused.send_keys(Keys.ARROW_DOWN)
        second = self.browser.switch_to.active_element
        self.assertEqual(second.find_element(By.CLASS_NAME, 'n').text, self.rows()[1])
        second.send_keys(Keys.ARROW_RIGHT)
        self.assertEqual(second.find_element(By.XPATH, '..').get_attribute('open'), 'true')
        second.send_keys(Keys.ARROW_LEFT)
        self.assertIsNone(second.find_element(By.XPATH, '..').get_attribute('open'))

    def test_hostile_names_show_as_text(self):
        self.open()
        self.expand_all()
        self.no_alert()
        names = self.rows()
        for n in HOSTILE:
            self.assertIn(n, names)
        self.assertEqual(self.browser.find_elements(By.CSS_SELECTOR, '#tree img, #tree b'), [])
        scripts = self.browser.execute_script("return document.querySelectorAll('script:not(.sub)').length")
        self.assertEqual(scripts, 2)
        self.no_alert()

    def test_international_and_broken_names(self):
        self.open()
        self.expand_all()
        names = self.rows()
        for n in ['שלום.txt', '🎵 music.mp3', 'cafe\u0301.txt', 'bad-\ufffd\ufffd.txt', '\u05e9\ufffd.txt']:
            self.assertIn(n, names)

    def test_empty_folders(self):
        self.open()
        self.expand_all()
        empties = self.browser.execute_script(
            "return Array.from(document.querySelectorAll('#tree details')).filter(d => d.querySelector('li.none')"
            " && d.querySelectorAll('li').length === 1).map(d => d.querySelector('.n').textContent)")
        self.assertEqual(sorted(empties), ['empty', 'hollow'])

    def test_same_entries_in_the_same_order_as_the_text_listing(self):
        self.open()
        self.expand_all()
        shown = self.browser.execute_script(
            "return Array.from(document.querySelectorAll('#tree .r:not(.head)')).map(r =>"
            " Array.from(r.children).map(c => c.textContent).join('  '))")
        lines = self.text.decode('utf-8', 'replace').split('\r\n')
        entries = [l.strip() for l in lines if l.startswith(' ')]
        self.assertEqual(len(shown), len(entries))
        for html_row, text_line in zip(shown, entries):
            if '\ufffd' in html_row or '\u2028' in html_row:
                continue
            self.assertEqual(html_row, text_line)
        header = self.browser.find_element(By.ID, 'header').text.split('\n')
        self.assertEqual(header, [l for l in lines[:4]])
        totals = self.browser.find_element(By.ID, 'totals').text.split('\n')
        self.assertEqual(totals, [l for l in lines if re.match('(Folders|Files|Total size):', l)])

    def test_no_network(self):
        page = self.html.decode('utf-8')
        self.assertIsNone(re.search(r'(src|href)\s*=\s*["\']?\s*(https?:)?//', page))
        self.assertIn("default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'", page)
        self.assertNotIn('@import', page)
        self.assertNotIn('url(', page)

    def test_settings_columns_colours_and_unlisted_folders(self):
        options = os.path.join(self.tmp, 'options.ini')
        with open(options, 'w') as f:
            f.write('showAttributes=false\nshowDateTime=false\nshowPath=false\nshowLevel=false\n'
                    'sizeFilterEnabled=true\nsizeFilterMode=0\nsizeFilterKb=2\n'
                    'folderColor=#ff0000\nfileColor=#008000\n')
        path = os.path.join(self.tmp, 'filtered.html')
        listing(self.tree, path, options=options)
        text = listing(self.tree, os.path.join(self.tmp, 'filtered.txt'), 'txt', options)
        self.open(path)
        self.expand_all()
        head = [e.text for e in self.browser.find_elements(By.CSS_SELECTOR, '.head span')]
        self.assertEqual(head, ['Name', 'Size'])
        rows = self.rows()
        self.assertIn('deep-needle.bin', rows)
        self.assertIn('top.txt', rows)
        self.assertNotIn('other.txt', rows, 'small files are filtered out')
        unlisted = self.browser.execute_script(
            "return Array.from(document.querySelectorAll('#tree li.fo')).map(li => li.classList.contains('u'))")
        self.assertTrue(unlisted and all(unlisted), 'folder lines are filtered out, their folders hold the files')
        entries = [l.strip().split('  ')[0] for l in text.decode('utf-8', 'replace').split('\r\n') if l.startswith(' ')]
        files = self.browser.execute_script(
            "return Array.from(document.querySelectorAll('#tree li.fi .n')).map(n => n.textContent)")
        self.assertEqual(files, entries)
        # the folders that hold them still show, by name
        self.assertIn('e5', rows)
        colour = self.browser.execute_script(
            "return getComputedStyle(document.querySelector('#tree li.fi .n')).color")
        self.assertEqual(colour, 'rgb(0, 128, 0)')
        folder = self.browser.execute_script(
            "return getComputedStyle(document.querySelector('.head .n')).color")
        self.assertEqual(folder, 'rgb(255, 0, 0)')

    def test_readable_without_javascript(self):
        browser = driver(os.path.join(self.tmp, 'browser'), javascript=False)
        try:
            browser.get('file://' + self.html_path)
            names = [e.text for e in browser.find_elements(By.CSS_SELECTOR, '#tree > ul > li > .r > .n, #tree > ul > li > details > summary > .n') if e.is_displayed()]
            for n in ['a1', 'empty', 'intl', 'odd', 'top.txt']:
                self.assertIn(n, names)
            self.assertFalse(browser.find_element(By.ID, 'bar').is_displayed())
            browser.find_element(By.XPATH, "//summary[span[@class='n' and text()='a1']]").click()
            self.assertTrue(browser.find_element(By.XPATH, "//summary[span[@class='n' and text()='b2']]").is_displayed())
        finally:
            browser.quit()


if __name__ == '__main__':
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    BENCH = sys.argv.pop(1)
    unittest.main()
