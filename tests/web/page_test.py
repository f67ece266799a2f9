"""The page in headless Chromium, from file:// and from a local server: every
conversion of the table, through window.png2zeq.convert and through the
file input, gives the native converter's bytes and result code, and the page
makes no network request after loading.

    /usr/bin/python3 page_test.py DIST_DIR NATIVE_PNG2ZEQ SAMPLE_PNG
"""
import base64, functools, http.server, itertools, os, pathlib, struct, subprocess, sys
import tempfile, threading, unittest, zlib

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

DIST, NATIVE, SAMPLE = sys.argv[1:4]


def png(width, height, colour_type, depth, interlace=0):
    """A PNG with a pattern in every sample; palette images get a full PLTE."""
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour_type]
    row_bytes = (width * channels * depth + 7) // 8
    raw = b''.join(b'\0' + bytes((x * 37 + y * 11) % 256 for x in range(row_bytes)) for y in range(height))
    chunk = lambda kind, data: (struct.pack('>I', len(data)) + kind + data
                                + struct.pack('>I', zlib.crc32(kind + data)))
    plte = chunk(b'PLTE', bytes(range(256)) * 3) if colour_type == 3 else b''
    header = struct.pack('>IIBBBBB', width, height, depth, colour_type, 0, 0, interlace)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) + plte
            + chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b''))


LAYOUTS = [(0, 1), (0, 2), (0, 4), (0, 8), (0, 16), (2, 8), (2, 16), (3, 1), (3, 2), (3, 4),
           (3, 8), (4, 8), (4, 16), (6, 8), (6, 16)]
IMAGES = {f'type{t}-depth{d}.png': png(13, 7, t, d) for t, d in LAYOUTS}
IMAGES.update({'one.png': png(1, 1, 6, 8), 'large.png': png(1024, 768, 2, 8),
               'corrupt.png': png(9, 9, 2, 8)[:60], 'oversize.png': png(1025, 1, 0, 8),
               'sample.png': pathlib.Path(SAMPLE).read_bytes()})
OPTION_SETS = [dict(zip(('depth', 'dither', 'uncompressed', 'best'), flags))
               for flags in itertools.product((0, 565), (0, 1), (0, 1), (0, 1))]


@functools.lru_cache(maxsize=None)
def native(name, option_items):
    """The native converter's result code and output bytes (None without one)."""
    options = dict(option_items)
    with tempfile.TemporaryDirectory() as directory:
        source, output = os.path.join(directory, name), os.path.join(directory, 'out.zeq')
        pathlib.Path(source).write_bytes(IMAGES[name])
        args = [NATIVE] + (['-depth', '565'] if options.get('depth') else [])
        args += [flag for flag in ('dither', 'uncompressed', 'best') if options.get(flag)]
        args = [a if a in (NATIVE, '-depth', '565') else '-' + a for a in args]
        code = subprocess.run(args + ['-output', output, source], capture_output=True).returncode
        return code, pathlib.Path(output).read_bytes() if os.path.exists(output) else None


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


class PageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        options = webdriver.ChromeOptions()
        for argument in ('--headless=new', '--no-sandbox', '--disable-gpu', '--window-size=1280,1000'):
            options.add_argument(argument)
        options.set_capability('goog:loggingPrefs', {'performance': 'ALL'})
        options.binary_location = '/usr/bin/chromium'
        cls.driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver'),
                                      options=options)
        cls.driver.set_script_timeout(120)
        cls.files = tempfile.TemporaryDirectory()
        for name, data in IMAGES.items():
            pathlib.Path(cls.files.name, name).write_bytes(data)
        handler = functools.partial(QuietHandler, directory=DIST)
        cls.server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), handler)
        threading.Thread(target=cls.server.serve_forever, daemon=True).start()

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.server.shutdown()
        cls.server.server_close()
        cls.files.cleanup()

    def open_page(self, url):
        self.driver.get(url)
        self.driver.execute_async_script('window.png2zeq.ready.then(arguments[0])')
        self.driver.get_log('performance')  # what loading the page requested

    def assert_no_request_after_load(self):
        requests = [entry for entry in self.driver.get_log('performance')
                    if '"Network.requestWillBeSent"' in entry['message']
                    and '"url":"blob:' not in entry['message']]
        self.assertEqual(requests, [])

    def convert_in_page(self, name, options):
        return self.driver.execute_async_script('''
            const [data, options, done] = arguments;
            const bytes = Uint8Array.from(atob(data), (c) => c.charCodeAt(0));
            window.png2zeq.convert(bytes, options).then((r) => done([r.code,
              r.zeq ? btoa(Array.from(r.zeq, (b) => String.fromCharCode(b)).join('')) : null]));
        ''', base64.b64encode(IMAGES[name]).decode(), options)

    def check_api(self, names, option_sets):
        for name, options in itertools.product(names, option_sets):
            with self.subTest(name=name, options=options):
                code, zeq = self.convert_in_page(name, options)
                expected_code, expected_zeq = native(name, tuple(sorted(options.items())))
                self.assertEqual(code, expected_code)
                self.assertEqual(base64.b64decode(zeq) if zeq else None, expected_zeq)

    def check_file_input(self, names, options):
        """Sets the controls, converts `names` through the file input and
        compares every download with the native converter's."""
        for control in ('depth', 'dither', 'uncompressed', 'best'):
            box = self.driver.find_element('id', control)
            if box.is_selected() != bool(options[control]):
                box.click()
        before = len(self.driver.find_elements('class name', 'result'))
        paths = '\n'.join(os.path.join(self.files.name, name) for name in names)
        self.driver.find_element('id', 'png-input').send_keys(paths)
        results = self.driver.execute_async_script('''
            const [total, count, done] = arguments;
            const read = async () => {
              const views = document.querySelectorAll('.result');
              if (views.length < total || [...views].some((v) => !v.querySelector('.progress').hidden
                  || v.querySelector('.result-code').textContent === '')) return setTimeout(read, 50);
              done(await Promise.all([...views].slice(-count).map(async (v) => {
                const link = v.querySelector('.zeq-download');
                const bytes = link.hidden ? null : new Uint8Array(await (await fetch(link.href)).arrayBuffer());
                return [Number(v.querySelector('.result-code').textContent), link.download,
                        bytes && btoa(Array.from(bytes, (b) => String.fromCharCode(b)).join(''))];
              })));
            };
            read();
        ''', before + len(names), len(names))
        for name, (code, download, zeq) in zip(names, results):
            with self.subTest(name=name, options=options):
                expected_code, expected_zeq = native(name, tuple(sorted(options.items())))
                self.assertEqual(code, expected_code)
                self.assertEqual(base64.b64decode(zeq) if zeq else None, expected_zeq)
                if zeq:
                    self.assertEqual(download, name[:-4] + '.zeq')

    def test_every_conversion_equals_the_native_converter_from_file_url(self):
        self.open_page('file://' + os.path.abspath(os.path.join(DIST, 'index.html')))
        self.check_api(list(IMAGES), OPTION_SETS)
        self.check_file_input(['sample.png', 'type6-depth8.png'], OPTION_SETS[0])
        self.assertFalse(self.screenshot_is_blank())
        self.check_file_input(['sample.png', 'corrupt.png', 'type3-depth4.png'], OPTION_SETS[-3])
        self.assert_no_request_after_load()

    def test_the_page_served_over_http_converts_too(self):
        self.open_page(f'http://127.0.0.1:{self.server.server_port}/index.html')
        self.check_api(['sample.png', 'oversize.png'], OPTION_SETS[::5])
        self.check_file_input(['sample.png'], OPTION_SETS[12])
        self.assert_no_request_after_load()

    def screenshot_is_blank(self):
        """Whether the page's screenshot (saved where PNG2ZEQ_SCREENSHOT
        names) is one flat colour."""
        shot = self.driver.get_screenshot_as_png()
        if os.environ.get('PNG2ZEQ_SCREENSHOT'):
            pathlib.Path(os.environ['PNG2ZEQ_SCREENSHOT']).write_bytes(shot)
        at, idat = 8, b''
        while at < len(shot):
            length, kind = struct.unpack('>I4s', shot[at:at + 8])
            idat += shot[at + 8:at + 8 + length] if kind == b'IDAT' else b''
            at += 12 + length
        return len(set(zlib.decompress(idat))) < 16


if __name__ == '__main__':
    unittest.main(argv=sys.argv[:1], verbosity=1)
