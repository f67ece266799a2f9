"""The page against the native converter: for each photograph, the median
time from choosing it in the file input to its preview on screen (the
frame that draws the device's canvas) against a native run without options; for each
photograph and option set, the median wall time of a conversion through
window.png2zeq.convert in headless Chromium (the Worker's round trip
included) and of a native run; the page's load-to-ready time from file://
and the bytes it serves. Not a test: it asserts nothing.

    /usr/bin/python3 bench/web_page.py DIST_DIR NATIVE_PNG2ZEQ PHOTO.png... [--screenshot OUT.png]

With --screenshot, it also saves the page with two results at a desk's width
(OUT.png) and a phone's (OUT-phone.png).
"""
import base64, os, statistics, struct, subprocess, sys, tempfile, time, zlib

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

args = sys.argv[1:]
screenshot = None
if '--screenshot' in args:
    screenshot = args[args.index('--screenshot') + 1]
    del args[args.index('--screenshot'):args.index('--screenshot') + 2]
dist, native, photos = args[0], args[1], args[2:]
OPTION_SETS = {'': {}, '-depth 565 -dither': {'depth': 565, 'dither': True}, '-best': {'best': True}}
REPEAT = 7

options = webdriver.ChromeOptions()
for argument in ('--headless=new', '--no-sandbox', '--disable-gpu', '--window-size=1280,900'):
    options.add_argument(argument)
options.binary_location = '/usr/bin/chromium'
driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
driver.set_script_timeout(300)
page = 'file://' + os.path.abspath(os.path.join(dist, 'index.html'))

ready_times = []
for _ in range(REPEAT):
    driver.get(page)
    ready_times.append(driver.execute_async_script(
        'window.png2zeq.ready.then(() => arguments[0](window.png2zeq.readyAt))'))
print(f'load to ready (file://): median {statistics.median(ready_times):.0f} ms of {REPEAT}')

served = {name: os.path.getsize(os.path.join(dist, name))
          for name in ('index.html', 'app.js', 'style.css', 'png2zeq-engine.js', 'fflate.js')}
print('served: ' + ', '.join(f'{n} {s}' for n, s in served.items())
      + f'; total {sum(served.values())} bytes ({sum(served.values()) / 1048576:.2f} MiB)')



def native_ms(photo, label, scratch, repeat=REPEAT):
    """The median wall time of `repeat` native runs on `photo` with the options `label`."""
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        subprocess.run([native] + label.split() + ['-output', os.path.join(scratch, 'o.zeq'), photo], check=True)
        times.append((time.perf_counter() - start) * 1000)
    return statistics.median(times)


# Page and native runs alternate, so that both meet the same load on a shared machine. The preview is
# on screen at the first frame after its canvas is shown (a MutationObserver waits for that in the
# same task); 'frame done' is when that frame's work on the page's thread has ended.
print(f'{"photograph":32} {"photo to preview ms":>19} {"frame done ms":>13} {"native ms":>9} {"ratio":>6}')
with tempfile.TemporaryDirectory() as scratch:
    for photo in photos:
        times, done_times, cli_times = [], [], []
        for _ in range(REPEAT):
            cli_times.append(native_ms(photo, '', scratch, 1))
            driver.find_element('id', 'clear-all').click()
            driver.execute_script('''window.shownAt = null;
                document.getElementById('png-input').addEventListener('change',
                  () => { window.chosenAt = performance.now(); }, { capture: true, once: true });
                new MutationObserver((records, observer) => {
                  const canvas = document.querySelector('.result .device-canvas');
                  if (!canvas || canvas.hidden) return;
                  observer.disconnect();
                  requestAnimationFrame(() => { window.shownAt = [performance.now() - window.chosenAt];
                    setTimeout(() => window.shownAt.push(performance.now() - window.chosenAt)); });
                }).observe(document.getElementById('results'), { subtree: true, childList: true, attributes: true });''')
            driver.find_element('id', 'png-input').send_keys(os.path.abspath(photo))
            shown = driver.execute_async_script('''const done = arguments[0];
                const wait = () => window.shownAt && window.shownAt.length === 2 ? done(window.shownAt) : setTimeout(wait, 20);
                wait();''')
            times.append(shown[0])
            done_times.append(shown[1])
            # The page is idle again (-info and -compare shown) before the next choice.
            driver.execute_async_script('''const done = arguments[0]; const wait = () =>
                ['', 'Reading…'].includes(document.querySelector('.result .report').textContent) ? setTimeout(wait, 20)
                  : done();
                wait();''')
        page_ms, frame_ms, cli_ms = statistics.median(times), statistics.median(done_times), statistics.median(cli_times)
        print(f'{os.path.basename(photo):32} {page_ms:19.0f} {frame_ms:13.0f} {cli_ms:9.0f} {page_ms / cli_ms:6.2f}')

print(f'{"photograph":32} {"options":20} {"page ms":>8} {"native ms":>9} {"ratio":>6}')
with tempfile.TemporaryDirectory() as scratch:
    for photo in photos:
        data = base64.b64encode(open(photo, 'rb').read()).decode()
        for label, option_set in OPTION_SETS.items():
            page_times, cli_times = [], []
            for _ in range(REPEAT):
                page_times.append(driver.execute_async_script('''
                    const [data, options, done] = arguments;
                    const bytes = Uint8Array.from(atob(data), (c) => c.charCodeAt(0));
                    const start = performance.now();
                    window.png2zeq.convert(bytes, options).then(() => done(performance.now() - start));
                ''', data, option_set))
                cli_times.append(native_ms(photo, label, scratch, 1))
            page_ms, cli_ms = statistics.median(page_times), statistics.median(cli_times)
            print(f'{os.path.basename(photo):32} {label or "(none)":20} {page_ms:8.0f} {cli_ms:9.0f} '
                  f'{page_ms / cli_ms:6.2f}')

if screenshot:
    # The bundled sample and a PNG over the size limit, at a desk's width and a phone's (OUT-phone.png).
    sample = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'samples', 'gradient-rgba-96x64.png')
    chunk = lambda kind, data: struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    oversize = os.path.join(tempfile.mkdtemp(), 'poster-2000x2000.png')
    with open(oversize, 'wb') as out:
        out.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', 2000, 2000, 8, 0, 0, 0, 0))
                  + chunk(b'IDAT', zlib.compress(bytes(2001 * 2000))) + chunk(b'IEND', b''))
    for size, path in (((1280, 1500), screenshot), ((390, 2300), screenshot.replace('.png', '-phone.png'))):
        driver.set_window_size(*size)
        driver.get(page)
        driver.execute_async_script('window.png2zeq.ready.then(arguments[0])')
        driver.find_element('id', 'png-input').send_keys(os.path.abspath(sample) + '\n' + oversize)
        driver.execute_async_script('''
            const done = arguments[0];
            const wait = () => document.querySelectorAll('.result-code:not(:empty)').length >= 2
              && document.querySelector('.report').textContent !== 'Reading…' ? done() : setTimeout(wait, 100);
            wait();''')
        driver.save_screenshot(path)
driver.quit()
