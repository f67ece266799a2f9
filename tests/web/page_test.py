"""The page in headless Chromium, from file:// and from a local server: each
conversion of the table, through window.png2zeq.convert and through the file
input and its download links, gives the native converter's bytes and result
code; nothing is requested after loading; a screenshot is not blank. Then what
a person sees: failures in words with no canvas, the original as the converter
reads it, the panel bytes, the zip, drops, removal, and headers that agree with
the package's own.

    /usr/bin/python3 page_test.py DIST_DIR NATIVE_PNG2ZEQ SAMPLE_PNG NATIVE_ZEQ2PNG
"""
import base64, functools, http.server, io, itertools, os, pathlib, random, re, struct, subprocess, sys
import tempfile, threading, unittest, zipfile, zlib

DIST, NATIVE, SAMPLE, ZEQ2PNG = sys.argv[1:5]
for needed in (os.path.join(DIST, 'index.html'), '/usr/bin/chromium', '/usr/bin/chromedriver'):
    if not os.path.exists(needed):
        sys.exit(print(f'Skipped: no {needed} (scripts/build-web.sh installs and builds it)'))
try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.support.select import Select
except ImportError:
    sys.exit(print('Skipped: no python3-selenium'))


def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))


def png(width, height, colour_type, depth, extra=b'', noise=False):
    """A PNG with a pattern (or `noise`) in every byte and the chunks `extra` before its pixels; palette images
    get 256 entries."""
    row = (width * {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour_type] * depth + 7) // 8
    raw = b''.join(b'\0' + (random.Random(y).randbytes(row) if noise else
                            bytes((x * 37 + y * 11) % 256 for x in range(row))) for y in range(height))
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, depth, colour_type, 0, 0, 0))
            + (chunk(b'PLTE', bytes(range(256)) * 3) if colour_type == 3 else b'') + extra
            + chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b''))


LAYOUTS = [(0, 1), (0, 2), (0, 4), (0, 8), (0, 16), (2, 8), (2, 16), (3, 1), (3, 2), (3, 4), (3, 8),
           (4, 8), (4, 16), (6, 8), (6, 16)]
IMAGES = {f'type{t}-depth{d}.png': png(13, 7, t, d) for t, d in LAYOUTS}
IMAGES.update({'one.png': png(1, 1, 6, 8), 'large.png': png(1024, 768, 2, 8), 'corrupt.png': png(9, 9, 2, 8)[:60],
               'oversize.png': png(1025, 1, 0, 8), 'sample.png': pathlib.Path(SAMPLE).read_bytes()})
OPTION_SETS = [dict(zip(('depth', 'dither', 'uncompressed', 'best', 'window'), flags))
               for flags in itertools.product((0, 565), (0, 1), (0, 1), (0, 1), (0,))]
OPTION_SETS += [dict(depth=565, dither=0, uncompressed=0, best=best, window=bits) for best in (0, 1) for bits in (9, 12)]
IGNORED = {'gamma.png': png(13, 7, 0, 8, chunk(b'gAMA', struct.pack('>I', 100000))),
           'palette-trns.png': png(13, 7, 3, 8, chunk(b'tRNS', bytes(256)))}
IMAGES.update(IGNORED)
TABLE = list(IMAGES)  # each converted with every option set
# As large as the page's results get: a photograph's size that hardly compresses.
IMAGES['noise.png'] = png(1024, 768, 2, 8, noise=True)
EMBEDDED = {'é-logo.png': 'sample.png', '1st.png': 'type3-depth4.png', 'tiny_icon.png': 'one.png'}
# Waits until the page shows at least `count` results, each with its code (and with `details`, its -compare
# lines); gives their number.
WAIT = """const [count, details, done] = [...arguments].slice(-3);
    const wait = () => { const views = [...document.querySelectorAll('.result')];
      views.length >= count && views.every((v) => v.querySelector('.result-code').textContent && (!details
        || v.classList.contains('failed') || v.querySelector('.report').textContent !== 'Reading…'))
        ? done(views.length) : setTimeout(wait, 50); };
    wait();"""
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
        self.check_page(pathlib.Path(DIST, 'index.html').absolute().as_uri(), TABLE, OPTION_SETS,
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

    def test_what_a_person_sees(self):
        self.driver.get(pathlib.Path(DIST, 'index.html').absolute().as_uri())
        run = lambda script, *args: self.driver.execute_async_script(TO_BASE64 + script, *args)
        self.driver.find_element('id', 'png-input').send_keys('\n'.join(os.path.join(self.files.name, n) for n in
                                                                         ['corrupt.png', 'oversize.png', *IGNORED]))
        run(WAIT, 4, True)
        # A failure: the converter's line and a sentence, no canvas; an ignored chunk: a note, and the
        # original shows the converter's samples, which this lossless conversion leaves as they are.
        views = self.driver.execute_script('''return [...document.querySelectorAll('.result')].map((v) => {
            const canvases = [...v.querySelectorAll('canvas')];
            const pixels = (c) => c.width && Array.from(c.getContext('2d').getImageData(0, 0, c.width, c.height).data);
            return [v.querySelector('.explanation').textContent, v.querySelector('.notes').textContent,
                    canvases.map((c) => getComputedStyle(c).display), ...canvases.map(pixels)]; });''')
        self.assertIn('not a PNG the converter can read', views[0][0])
        self.assertEqual(views[1][0], 'This PNG is 1025 × 1; the converter takes at most 1024 × 768.')
        self.assertEqual([v[2] for v in views], [['none', 'none']] * 2 + [['block', 'block']] * 2)
        for (_, notes, _, original, device), words in zip(views[2:], ['gAMA chunk', 'tRNS chunk']):
            self.assertIn(words, notes)
            self.assertEqual(original, device)
        # Panel bytes for each layout and a background, as zeq2png -panel gives them; the noise's device view
        # equals its original.
        self.driver.find_element('id', 'png-input').send_keys('\n'.join(os.path.join(self.files.name, n)
                                                                         for n in ['noise.png', 'sample.png']))
        run(WAIT, 6, True)
        self.assertTrue(self.driver.execute_script('''const [original, device] = [...document.querySelectorAll(
            '.result')][4].querySelectorAll('canvas'); const [a, b] = [original, device].map((c) => c.getContext('2d')
            .getImageData(0, 0, c.width, c.height).data); return b.length === 1024 * 768 * 4 && a.every((v, i) => v === b[i]);'''))
        self.driver.execute_script("const b = document.getElementById('background'); b.value = '#336699';"
                                   "b.dispatchEvent(new Event('change'));")
        with tempfile.TemporaryDirectory() as scratch:
            zeq = pathlib.Path(scratch, 'sample.zeq')
            zeq.write_bytes(native('sample.png', OPTION_SETS[0])[1])
            for layout in ('rgb565', 'rgb565be', 'bgr565be', 'rgb888', 'argb8888'):
                Select(self.driver.find_element('id', 'layout')).select_by_value(layout)
                got = run('''const [name, done] = arguments; const link = () => [...document.querySelectorAll(
                    '.panel-download')].pop(); const wait = async () => link().download !== name ? setTimeout(wait, 50)
                    : done(b64(new Uint8Array(await (await fetch(link().href)).arrayBuffer()))); wait();''',
                          f'sample.{layout}.bin')
                subprocess.run([ZEQ2PNG, '-panel', layout, '-background', '336699', '-output', f'{zeq}.bin', zeq],
                               check=True, capture_output=True)
                self.assertEqual(base64.b64decode(got), pathlib.Path(f'{zeq}.bin').read_bytes(), layout)
        # One zip: each file the CLI writes, and a README.
        zipped = run('''const done = arguments[0];
            HTMLAnchorElement.prototype.click = async function () {
              done([this.download, b64(new Uint8Array(await (await fetch(this.href)).arrayBuffer()))]); };
            document.getElementById('download-all').click();''')
        archive = zipfile.ZipFile(io.BytesIO(base64.b64decode(zipped[1])))
        self.assertTrue(zipped[0].endswith('.zip'))
        self.assertEqual({n: archive.read(n) for n in archive.namelist() if n != 'README.txt'},
                         {n[:-4] + '.zeq': native(n, OPTION_SETS[0])[1] for n in ['noise.png', 'sample.png', *IGNORED]})
        self.assertIn('png2zeq sample.png', archive.read('README.txt').decode())
        # Remove one, then all; a drop anywhere is taken, never opened in the page's place.
        self.driver.find_elements('class name', 'remove')[-1].click()
        self.assertEqual(len(self.driver.find_elements('class name', 'result')), 5)
        self.driver.find_element('id', 'clear-all').click()
        self.assertEqual(len(self.driver.find_elements('class name', 'result')), 0)
        prevented = self.driver.execute_script('''const transfer = new DataTransfer();
            for (const [name, data] of arguments[0]) transfer.items.add(new File([Uint8Array.from(atob(data),
              (c) => c.charCodeAt(0))], name, { type: 'image/png' }));
            const drop = new DragEvent('drop', { dataTransfer: transfer, bubbles: true, cancelable: true });
            document.body.dispatchEvent(drop);
            return drop.defaultPrevented;''', [[n, base64.b64encode(IMAGES[i]).decode()] for n, i in EMBEDDED.items()])
        self.assertTrue(prevented)
        run(WAIT, 3, True)
        # At "fit", the 1 x 1 image fills its pane; the live region gives one line for a finished file.
        shown = self.driver.execute_script("""return [document.querySelectorAll('.device-canvas')[2].clientWidth,
            document.getElementById('announcer').textContent];""")
        self.assertGreater(shown[0], 100)
        self.assertRegex(shown[1], r'^[^\n]+\.png: converted, \d+ bytes\.$')
        headers = run('''const done = arguments[0]; Promise.all([...document.querySelectorAll('.c-download')].map(
            async (link) => [link.download, await (await fetch(link.href)).text()])).then(done);''')
        self.check_headers(dict(headers))

    def check_headers(self, headers):
        """Builds, with png2zeq_add_images(... EMBED), a program that includes the package's header and the
        page's `headers` (name: text) together and checks the page's constants against the package's bytes;
        compiles the page's headers defining the bytes as C99 and C++17, -pedantic, warnings as errors."""
        source = pathlib.Path(__file__).resolve().parents[2]
        with tempfile.TemporaryDirectory() as work:
            checks, macros = [], []
            for number, (name, original) in enumerate(EMBEDDED.items()):
                pathlib.Path(work, name).write_bytes(IMAGES[original])
                text = headers[name[:-4] + '.h']
                pathlib.Path(work, f'page{number}.h').write_text(text)
                macro = re.search(r'#define (\w+)_SIZE ', text)[1]
                macros.append(macro)
                self.assertEqual(re.findall(rf'#define {macro}_(\w+) ', text), ['SIZE', 'WIDTH', 'HEIGHT', 'FORMAT',
                                                                              'RAW_LENGTH', 'WINDOW_BITS'])
                checks.append(f'{macro.lower()}_size == {macro}_SIZE && {macro.lower()}[{macro}_SIZE - 1] == '
                              f'{native(original, OPTION_SETS[0])[1][-1]}')
            includes = ''.join(f'#include "page{n}.h"\n' for n in range(len(EMBEDDED)))
            pathlib.Path(work, 'package.c').write_text(f'#include "package_images.h"\n{includes}'
                                                       f'int main(void) {{ return !({" && ".join(checks)}); }}\n')
            defines = ''.join(f'#define {macro}_DEFINE\n' for macro in macros)
            for language in ('c', 'cpp'):
                pathlib.Path(work, f'page.{language}').write_text(defines + includes + includes)
            pathlib.Path(work, 'CMakeLists.txt').write_text(f'''cmake_minimum_required(VERSION 3.20)
project(page_headers C CXX)
add_executable(png2zeq::png2zeq IMPORTED)
set_target_properties(png2zeq::png2zeq PROPERTIES IMPORTED_LOCATION "{os.path.abspath(NATIVE)}")
set(png2zeq_LOADER_SOURCE_DIR "{source}/loader")
include("{source}/cmake/png2zeqFunctions.cmake")
set(CMAKE_C_STANDARD 99)
set(CMAKE_CXX_STANDARD 17)
set(CMAKE_C_EXTENSIONS OFF)
set(CMAKE_CXX_EXTENSIONS OFF)
add_compile_options(-pedantic -Wall -Wextra -Werror)
add_executable(package package.c)
png2zeq_add_images(package IMAGES {" ".join(EMBEDDED)} EMBED)
add_library(page OBJECT page.c page.cpp)
''')
            for command in (['cmake', '-S', work, '-B', work + '/build', '-G', 'Ninja'],
                            ['cmake', '--build', work + '/build'], [work + '/build/package']):
                run = subprocess.run(command, capture_output=True, text=True)
                self.assertEqual(run.returncode, 0, run.stdout + run.stderr)

    def test_from_a_local_server(self):
        self.check_page(f'http://127.0.0.1:{self.server.server_port}/index.html', ['sample.png', 'oversize.png'],
                        OPTION_SETS[::5], [(['sample.png'], OPTION_SETS[12])])


if __name__ == '__main__':
    unittest.main(argv=sys.argv[:1] + sys.argv[5:])
