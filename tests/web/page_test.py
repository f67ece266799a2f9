"""The page in headless Chromium, from file:// and from a local server: each
conversion of the table, through window.png2zeq.convert and through the file
input and its download links, gives the native converter's bytes and result
code; nothing is requested after loading; a screenshot is not blank.

    /usr/bin/python3 page_test.py DIST_DIR NATIVE_PNG2ZEQ SAMPLE_PNG
"""
import base64, functools, http.server, itertools, os, pathlib, struct, subprocess, sys
import tempfile, threading, unittest, zlib

DIST, NATIVE, SAMPLE = sys.argv[1:4]
for needed in (os.path.join(DIST, 'index.html'), '/usr/bin/chromium', '/usr/bin/chromedriver'):
    if not os.path.exists(needed):
        sys.exit(print(f'Skipped: no {needed} (scripts/build-web.sh installs and builds it)'))
try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.support.select import Select
except ImportError:
    sys.exit(print('Skipped: no python3-selenium'))


def png(width, height, colour_type, depth):
    """A PNG with a pattern in every byte; palette images get 256 entries."""
    row = (width * {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour_type] * depth + 7) // 8
    raw = b''.join(b'\0' + bytes((x * 37 + y * 11) % 256 for x in range(row)) for y in range(height))
    chunk = lambda kind, data: struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, depth, colour_type, 0, 0, 0))
            + (chunk(b'PLTE', bytes(range(256)) * 3) if colour_type == 3 else b'')
            + chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b''))


LAYOUTS = [(0, 1), (0, 2), (0, 4), (0, 8), (0, 16), (2, 8), (2, 16), (3, 1), (3, 2), (3, 4), (3, 8),
           (4, 8), (4, 16), (6, 8), (6, 16)]
IMAGES = {f'type{t}-depth{d}.png': png(13, 7, t, d) for t, d in LAYOUTS}
IMAGES.update({'one.png': png(1, 1, 6, 8), 'large.png': png(1024, 768, 2, 8), 'corrupt.png': png(9, 9, 2, 8)[:60],
               'oversize.png': png(1025, 1, 0, 8), 'sample.png': pathlib.Path(SAMPLE).read_bytes()})
OPTION_SETS = [dict(zip(('depth', 'dither', 'uncompressed', 'best', 'window'), flags))
               for flags in itertools.product((0, 565), (0, 1), (0, 1), (0, 1), (0,))]
OPTION_SETS += [dict(depth=565, dither=0, uncompressed=0, best=best, window=bits) for best in (0, 1) for bits in (9, 12)]
TO_BASE64 = 'const b64 = (bytes) => bytes && btoa(Array.from(bytes, (b) => String.fromCharCode(b)).join(""));'


def native(name, options):
    """The native converter's result code and output (None without one) for `name` with `options`."""
    with tempfile.TemporaryDirectory() as directory:
        source, output = pathlib.Path(directory, name), pathlib.Path(directory, 'out.zeq')
        source.write_bytes(IMAGES[name])
        args = ['-depth', '565'] * bool(options['depth']) + ['-' + flag for flag in ('dither', 'uncompressed', 'best')
                                                             if options[flag]]
        args += ['-window', str(options['window'])] * bool(options['window'])
        code = subprocess.run([NATIVE] + args + ['-output', output, source], capture_output=True).returncode
        return code, output.read_bytes() if output.exists() else None


class PageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        options = webdriver.ChromeOptions()
        for argument in ('--headless=new', '--no-sandbox', '--disable-gpu', '--window-size=1280,1000'):
            options.add_argument(argument)
        options.set_capability('goog:loggingPrefs', {'performance': 'ALL'})
        options.binary_location = '/usr/bin/chromium'
        cls.driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
        cls.addClassCleanup(cls.driver.quit)
        cls.driver.set_script_timeout(300)
        cls.files = tempfile.TemporaryDirectory()
        cls.addClassCleanup(cls.files.cleanup)
        for name, data in IMAGES.items():
            pathlib.Path(cls.files.name, name).write_bytes(data)
        quiet = type('Quiet', (http.server.SimpleHTTPRequestHandler,), {'log_message': lambda *args: None})
        cls.server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), functools.partial(quiet, directory=DIST))
        threading.Thread(target=cls.server.serve_forever, daemon=True).start()
        cls.addClassCleanup(cls.server.server_close)
        cls.addClassCleanup(cls.server.shutdown)

    def check_page(self, url, names, option_sets, input_runs):
        """Converts `names` under `option_sets` through the API, and each (names, option set) of `input_runs`
        through the controls, the file input and the download links, comparing every result code and output
        with the native converter's; then checks that nothing was requested after loading."""
        self.driver.get(url)
        self.driver.execute_async_script('window.png2zeq.ready.then(arguments[0])')
        self.driver.get_log('performance')  # what loading requested
        cases = [(name, options, False) for name, options in itertools.product(names, option_sets)]
        got = self.driver.execute_async_script(TO_BASE64 + '''
            const [cases, done] = arguments;
            (async () => done(await Promise.all(cases.map(async ([data, options]) => {
              const r = await window.png2zeq.convert(Uint8Array.from(atob(data), (c) => c.charCodeAt(0)), options);
              return [r.code, b64(r.zeq), null];
            }))))();''', [[base64.b64encode(IMAGES[n]).decode(), o] for n, o, _ in cases])
        for names, options in input_runs:
            for box in self.driver.find_elements('css selector', 'input[type=checkbox]'):
                if box.is_selected() != bool(options[box.get_attribute('id')]):
                    box.click()
            window = Select(self.driver.find_element('id', 'window'))
            window.select_by_visible_text(str(options['window'])) if options['window'] else window.select_by_value('')
            before = len(self.driver.find_elements('class name', 'result'))
            self.driver.find_element('id', 'png-input').send_keys('\n'.join(os.path.join(self.files.name, n)
                                                                             for n in names))
            got += self.driver.execute_async_script(TO_BASE64 + '''
                const [total, count, done] = arguments;
                const read = async () => {
                  const views = [...document.querySelectorAll('.result')];
                  if (views.length < total || views.some((v) => !v.querySelector('.progress').hidden
                      || !v.querySelector('.result-code').textContent)) return setTimeout(read, 50);
                  done(await Promise.all(views.slice(-count).map(async (v) => {
                    const link = v.querySelector('.zeq-download');
                    const zeq = link.hidden ? null : new Uint8Array(await (await fetch(link.href)).arrayBuffer());
                    return [Number(v.querySelector('.result-code').textContent), b64(zeq), zeq && link.download];
                  })));
                };
                read();''', before + len(names), len(names))
            cases += [(name, options, True) for name in names]
        self.assertEqual(len(got), len(cases))
        for (name, options, via_input), (code, zeq, download) in zip(cases, got):
            expected_code, expected_zeq = native(name, options)
            self.assertEqual((code, base64.b64decode(zeq) if zeq else None, download), (expected_code, expected_zeq,
                             name[:-4] + '.zeq' if via_input and expected_zeq else None), (name, options))
        self.assertEqual([entry for entry in self.driver.get_log('performance') if '"Network.requestWillBeSent"'
                          in entry['message'] and '"url":"blob:' not in entry['message']], [])

    def test_from_file_url(self):
        self.check_page(pathlib.Path(DIST, 'index.html').absolute().as_uri(), list(IMAGES), OPTION_SETS,
                        [(['sample.png', 'type6-depth8.png'], OPTION_SETS[0]),
                         (['sample.png', 'corrupt.png', 'type3-depth4.png'], OPTION_SETS[13]),
                         (['sample.png'], OPTION_SETS[-1])])
        shot = self.driver.get_screenshot_as_png()  # two results and more in view
        at, pixels = 8, b''
        while at < len(shot):
            length, kind = struct.unpack('>I4s', shot[at:at + 8])
            pixels += shot[at + 8:at + 8 + length] if kind == b'IDAT' else b''
            at += 12 + length
        self.assertGreater(len(set(zlib.decompress(pixels))), 16, 'the screenshot is blank')

    def test_from_a_local_server(self):
        self.check_page(f'http://127.0.0.1:{self.server.server_port}/index.html', ['sample.png', 'oversize.png'],
                        OPTION_SETS[::5], [(['sample.png'], OPTION_SETS[12])])


if __name__ == '__main__':
    unittest.main(argv=sys.argv[:1])
