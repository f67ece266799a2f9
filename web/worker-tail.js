  // (Names of its own: the engine's functions share this scope.)
  // Runs one tool of the engine ('web_png2zeq' or 'web_zeq2png') with
  // `args`; returns its exit status and the lines it printed.
  function runTool(tool, args) {
    Module.printed = [];
    const code = ccall(tool, 'number', ['string'], [args.join('\n')]);
    return { code, text: Module.printed.join('\n') };
  }

  // Empties (or makes) the directory `path` of the in-memory file system.
  function emptyFolder(path) {
    if (!FS.analyzePath(path).exists) FS.mkdir(path);
    for (const name of FS.readdir(path)) {
      if (name !== '.' && name !== '..') FS.unlink(path + '/' + name);
    }
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

  // Converts the PNG `png` (bytes) named `name` the way `png2zeq [options]
  // -output /out/ name` does; with `details`, adds zeq2png's -info and
  // -compare lines and the loader's decode of the file as RGBA.
  function convertFile(name, png, options, details) {
    emptyFolder('/in');
    emptyFolder('/out');
    FS.writeFile('/in/' + name, new Uint8Array(png));
    FS.chdir('/in');
    // A name that looks like an option is still the file.
    const input = /^[-/]/.test(name) ? './' + name : name;
    const converted = runTool('web_png2zeq', commandOptions(options).concat(['-output', '/out/', input]));
    const outputs = FS.readdir('/out').filter((entry) => entry !== '.' && entry !== '..');
    const reply = { code: converted.code, message: converted.text, zeq: null, zeqName: null };
    if (outputs.length === 0) return reply;
    const zeqPath = '/out/' + outputs[0];
    reply.zeq = FS.readFile(zeqPath);
    reply.zeqName = outputs[0];
    if (details) {
      reply.info = runTool('web_zeq2png', ['-info', zeqPath]).text;
      reply.compare = runTool('web_zeq2png', ['-compare', input, zeqPath]).text;
      reply.preview = decodeZeq(reply.zeq);
    }
    return reply;
  }

  // The device loader's pixels of the ZEQ file `zeq` as { width, height,
  // rgba }, or { status } when it refuses the file.
  function decodeZeq(zeq) {
    const file = _malloc(zeq.length);
    const out = _malloc(8 + 28);  // the status, then a zeq_info
    HEAPU8.set(zeq, file);
    const rgba = _web_decode_rgba(file, zeq.length, out, out + 8);
    const status = HEAP32[out >> 2];
    const width = HEAPU32[(out + 8 + 4) >> 2];
    const height = HEAPU32[(out + 8 + 8) >> 2];
    let result = { status };
    if (rgba !== 0) {
      result = { status, width, height, rgba: HEAPU8.slice(rgba, rgba + width * height * 4) };
      _free(rgba);
    }
    _free(file);
    _free(out);
    return result;
  }

  onmessage = (event) => {
    const { id, name, png, options, details } = event.data;
    const reply = convertFile(name, png, options, details);
    const transfer = [reply.zeq, reply.preview && reply.preview.rgba]
      .filter((block) => block)
      .map((block) => block.buffer);
    postMessage({ id, reply }, transfer);
  };
}
