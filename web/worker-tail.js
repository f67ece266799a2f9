  // (Names of its own: the engine's functions share this scope.)
  // Runs one tool of the engine ('web_png2zeq' or 'web_zeq2png') with
  // `args`; returns its exit status and the lines it printed.
  function runTool(tool, args) {
    Module.printed = [];
    const code = ccall(tool, 'number', ['string'], [args.join('\n')]);
    return { code, text: Module.printed.join('\n') };
  }

  // Removes the directory `path` of the in-memory file system and its files.
  function removeFolder(path) {
    if (!FS.analyzePath(path).exists) return;
    for (const name of FS.readdir(path)) {
      if (name !== '.' && name !== '..') FS.unlink(path + '/' + name);
    }
    FS.rmdir(path);
  }

  // The command-line options for the page's option set.
  function commandOptions(options) {
    const args = [];
    if (options.depth) args.push('-depth', String(options.depth));
    if (options.dither) args.push('-dither');
    if (options.uncompressed) args.push('-uncompressed');
    if (options.best) args.push('-best');
    if (options.window) args.push('-window', String(options.window));
    return args;
  }

  // Copies `bytes` into the module's memory; the caller frees the block.
  function copyIn(bytes) {
    const block = _malloc(Math.max(bytes.length, 1));
    HEAPU8.set(bytes, block);
    return block;
  }

  // Reads the file at `path` of the in-memory file system into the module's
  // memory, with no copy in between: { file, size }; the caller frees `file`.
  function readIn(path) {
    const size = FS.stat(path).size;
    const file = _malloc(Math.max(size, 1));
    const stream = FS.open(path, 'r');
    FS.read(stream, HEAP8, file, size, 0);
    FS.close(stream);
    return { file, size };
  }

  // Blocks the size of the largest image's RGBA samples (and of its ZEQ
  // file), written once while the Worker is idle: a fresh block of that size
  // costs about 8 ms of page faults when first written, which would fall
  // between a conversion's end and its preview. Each holds at most one
  // result's bytes, so a block is used only when they fill a quarter of it.
  const spares = [];
  const SPARES = 2;  // the ZEQ file and the device's view
  let spareSize = 0;
  function refillSpares() {
    while (spares.length < SPARES) spares.push(new Uint8Array(spareSize).fill(0));
  }
  // A copy of `length` bytes at `block` in the module's memory, in a spare
  // block when `quick` and one fits (a view of its first `length` bytes).
  function copyOut(block, length, quick) {
    const spare = quick && length * 4 >= spareSize && length <= spareSize && spares.pop();
    if (!spare) return HEAPU8.slice(block, block + length);
    spare.set(HEAPU8.subarray(block, block + length));
    return spare.subarray(0, length);
  }

  // The loader's header fields of the ZEQ file of `size` bytes at `file` in
  // the module's memory (zeq_info's names), or null when the loader refuses
  // its header.
  function readHeader(file, size) {
    const info = _malloc(_web_info_size());
    let header = null;
    if (_web_parse_header(file, size, info) === 0) {
      header = {
        pixel_format: _web_info_pixel_format(info), width: _web_info_width(info),
        height: _web_info_height(info), raw_length: _web_info_raw_length(info),
        compressed_length: _web_info_compressed_length(info), window_bits: _web_info_window_bits(info),
      };
      header.format_name = ccall('web_format_name', 'string', ['number'], [header.pixel_format]);
    }
    _free(info);
    return header;
  }

  // What the device shows of the ZEQ file of `size` bytes at `file` (in the
  // module's memory) through the loader's zeq_decode_to in `layout` (a name
  // of the page's #layout) over `background` (0xRRGGBB): { width, height,
  // rgba } and takePanel(), which gives the layout's bytes as a Blob and
  // frees them (call it once), or { status } when the loader refuses it.
  // `rgba` is in a spare block (copyOut).
  function decodeDevice(file, size, layout, background) {
    const info = _malloc(_web_info_size());
    const out = _malloc(12);  // the status, the panel's size and the RGBA block: three words
    const panel = ccall('web_decode_to', 'number',
      ['number', 'number', 'string', 'number', 'number', 'number', 'number', 'number'],
      [file, size, layout, background, out, info, out + 4, out + 8]);
    const result = { status: HEAP32[out >> 2], takePanel: () => null };
    if (panel !== 0) {
      const rgba = HEAPU32[(out + 8) >> 2];
      const panelSize = HEAPU32[(out + 4) >> 2];
      result.width = _web_info_width(info);
      result.height = _web_info_height(info);
      result.rgba = copyOut(rgba, result.width * result.height * 4, true);
      _free(rgba);
      // The Blob copies the bytes here, so that the page's thread never does.
      result.takePanel = () => {
        const blob = new Blob([HEAPU8.subarray(panel, panel + panelSize)], { type: 'application/octet-stream' });
        _free(panel);
        return blob;
      };
    }
    _free(info);
    _free(out);
    return result;
  }

  // The samples the converter reads from the PNG at `path` as { width,
  // height, rgba }, or null for a file it refuses.
  function decodeOriginal(path) {
    const size = _malloc(8);
    const rgba = ccall('web_decode_png', 'number', ['string', 'number', 'number'], [path, size, size + 4]);
    let result = null;
    if (rgba !== 0) {
      const width = HEAPU32[size >> 2];
      const height = HEAPU32[(size + 4) >> 2];
      result = { width, height, rgba: HEAPU8.slice(rgba, rgba + width * height * 4) };
      _free(rgba);
    }
    _free(size);
    return result;
  }

  // The blocks of `reply` that can move to the page instead of being copied
  // (a Blob is passed by reference anyway).
  function transferable(reply) {
    return [reply.zeq, reply.device && reply.device.rgba, reply.original && reply.original.rgba]
      .filter((block) => ArrayBuffer.isView(block)).map((block) => block.buffer);
  }

  // ' 0x00,' to ' 0xff,', for the rows of a header's bytes.
  const HEX_BYTES = Array.from({ length: 256 }, (_, b) => ' 0x' + b.toString(16).padStart(2, '0') + ',');

  // CMake's string(MAKE_C_IDENTIFIER), which png2zeq_add_images() applies to
  // an image's name: every UTF-8 byte that is not a letter, digit or `_`
  // becomes `_`, and a leading digit gets a `_` before it.
  function makeCIdentifier(text) {
    const id = Array.from(new TextEncoder().encode(text),
      (byte) => (/[A-Za-z0-9_]/.test(String.fromCharCode(byte)) ? String.fromCharCode(byte) : '_')).join('');
    return /^[0-9]/.test(id) ? '_' + id : id;
  }

  // A header with what png2zeq_add_images(... EMBED) gives the image `pngName`
  // converted with `options` (prefix `zeq`): the constants of its ZEQ file
  // `zeq` (`header`, its loader's fields) and the symbols zeq_<id> and
  // zeq_<id>_size, defined in the one source file that defines
  // <MACRO>_DEFINE before including it. C99 and C++, -pedantic, no warnings.
  function cHeader(pngName, options, zeq, header) {
    const symbol = 'zeq_' + makeCIdentifier(pngName.replace(/\.[^.]*$/, ''));
    const macro = symbol.toUpperCase();
    const rows = [];
    for (let at = 0; at < zeq.length; at += 16) {
      let row = ' ';
      for (const byte of zeq.subarray(at, at + 16)) row += HEX_BYTES[byte];
      rows.push(row);
    }
    const constants = [['SIZE', zeq.length], ['WIDTH', header.width], ['HEIGHT', header.height],
      ['FORMAT', '0x' + header.pixel_format.toString(16).padStart(4, '0')], ['RAW_LENGTH', header.raw_length],
      ['WINDOW_BITS', header.window_bits]];
    const command = ['png2zeq'].concat(commandOptions(options), pngName).join(' ').replace(/\*\//g, '* /');
    return [
      `/* ${command}: the constants and symbols that png2zeq_add_images(... EMBED)`,
      '   gives this image. Include this header where the image is used; in one',
      `   source file, define ${macro}_DEFINE before including it, so that the`,
      '   bytes are defined there. */',
      `#ifndef PNG2ZEQ_${macro}_H`, `#define PNG2ZEQ_${macro}_H`, '#include <stdint.h>',
      ...constants.map(([name, value]) => `#define ${macro}_${name} ${value}`),
      '#ifdef __cplusplus', 'extern "C" {', '#endif',
      `extern const unsigned char ${symbol}[];`, `extern const uint32_t ${symbol}_size;`,
      `#ifdef ${macro}_DEFINE`, '/* Aligned to 4 bytes, as the package places it. */',
      '#if defined(__GNUC__)', '__attribute__((aligned(4)))', '#elif defined(_MSC_VER)', '__declspec(align(4))', '#endif',
      `const unsigned char ${symbol}[${macro}_SIZE] = {`, ...rows, '};',
      `const uint32_t ${symbol}_size = ${macro}_SIZE;`, '#endif',
      '#ifdef __cplusplus', '}', '#endif', '#endif', ''].join('\n');
  }

  // Requests run one stage at a time, so that a newer request with the same
  // `key` (the page's file) drops the stages an older one has not run yet.
  const newest = new Map();
  const stages = [];
  let pumping = false;
  function pump() {
    const stage = stages.shift();
    // The next stage is due before this one runs, so that a stage that throws stops nothing else.
    pumping = stages.length > 0;
    if (pumping) setTimeout(pump, 0);
    if (stage && newest.get(stage.request.key) === stage.request.id) stage.run();
    else if (stage) stage.drop();
  }
  function later(request, run, drop = () => {}) {
    stages.push({ request, run, drop });
    if (!pumping) {
      pumping = true;
      setTimeout(pump, 0);
    }
  }
  function send(request, stage, reply) {
    delete (reply.device || {}).takePanel;  // a function cannot go to the page
    postMessage({ id: request.id, stage, reply }, transferable(reply));
  }

  // Converts the request's PNG the way `png2zeq [options] -output DIR/ name`
  // does and replies at once ('result': code, message, zeq, header and, with
  // `preview`, the device's view); with `preview`, the downloads follow as
  // Blobs ('downloads': zeq and the panel's bytes), then, each as a stage of
  // its own, the original's samples ('original') and zeq2png's -info and
  // -compare lines with the C header ('details').
  function convert(request) {
    const folder = '/run' + request.id;
    removeFolder(folder);
    FS.mkdir(folder);
    FS.mkdir(folder + '/out');
    // The PNG was moved to the Worker: the file system keeps it without a copy.
    FS.writeFile(folder + '/' + request.name, new Uint8Array(request.png), { canOwn: true });
    FS.chdir(folder);
    // A name that looks like an option is still the file.
    const input = /^[-/]/.test(request.name) ? './' + request.name : request.name;
    const converted = runTool('web_png2zeq',
      commandOptions(request.options).concat(['-output', folder + '/out/', input]));
    FS.chdir('/');
    const outputs = FS.readdir(folder + '/out').filter((entry) => entry !== '.' && entry !== '..');
    const reply = { code: converted.code, message: converted.text, zeq: null, zeqName: null,
      command: commandOptions(request.options) };
    const zeqPath = outputs.length ? folder + '/out/' + outputs[0] : null;
    const cleanUp = () => {
      removeFolder(folder + '/out');
      removeFolder(folder);
    };
    // The loader reads the file in the module's memory; a copy moves to the page.
    const { file, size } = zeqPath ? readIn(zeqPath) : { file: 0, size: 0 };
    if (file) {
      reply.zeq = copyOut(file, size, request.preview);
      reply.zeqName = outputs[0];
      reply.header = readHeader(file, size);
    }
    if (!file || !request.preview) {
      send(request, 'result', reply);
      _free(file);
      return cleanUp();
    }
    reply.device = decodeDevice(file, size, request.layout, request.background);
    const takePanel = reply.device.takePanel;
    send(request, 'result', reply);
    const zeq = HEAPU8.slice(file, file + size);
    _free(file);
    send(request, 'downloads', { zeq: new Blob([zeq], { type: 'application/octet-stream' }), panel: takePanel() });
    later(request, refillSpares, refillSpares);
    later(request, () => send(request, 'original', { original: decodeOriginal(folder + '/' + request.name) }),
      cleanUp);
    later(request, () => {
      FS.chdir(folder);
      const info = runTool('web_zeq2png', ['-info', zeqPath]).text;
      const compare = runTool('web_zeq2png', ['-compare', input, '-output', folder + '/out/preview.png', zeqPath]).text;
      FS.chdir('/');
      cleanUp();
      const header = new Blob([cHeader(request.name, request.options, zeq, reply.header)], { type: 'text/x-c' });
      send(request, 'details', { info, compare, cHeader: header });
    }, cleanUp);
  }

  // Converts the bundled sample once, with the preview and the details, as
  // soon as the engine is ready: the browser compiles code fully only once it
  // has run, and the first photograph would otherwise take up to twice as
  // long. Its replies (request 0) have no reader in the page. The spare
  // blocks are written after it.
  // eslint-disable-next-line no-unused-vars
  function warmUp() {
    // The largest RGBA image, with room for a ZEQ file's header and
    // deflate's overhead on samples that do not compress.
    spareSize = _web_max_width() * _web_max_height() * 4 + 65536;
    const request = { type: 'convert', id: 0, key: 'warm-up', name: 'warm-up.png', png: FS.readFile('/warm-up.png'),
      options: {}, preview: true, layout: 'stored', background: 0 };
    newest.set(request.key, request.id);
    later(request, () => convert(request));
  }

  onmessage = (event) => {
    const request = event.data;
    newest.set(request.key, request.id);  // and a 'cancel' request does nothing else
    if (request.type === 'preview') {
      later(request, () => {
        const file = copyIn(request.zeq);
        const device = decodeDevice(file, request.zeq.length, request.layout, request.background);
        _free(file);
        device.panel = device.takePanel();
        send(request, 'preview', { device });
      });
      later(request, refillSpares, refillSpares);
    } else if (request.type === 'convert') {
      later(request, () => convert(request));
    }
  };
}
