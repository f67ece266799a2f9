// The page's Worker. This file, the engine Emscripten generates and
// worker-tail.js form the body of one function, png2zeqWorker, which the
// page turns into the Worker's script through a Blob, so that the Worker
// starts from file:// as well as from a server.
// eslint-disable-next-line no-unused-vars
function png2zeqWorker() {
  'use strict';
  // Lines the tools print go to `printed`, which each run empties first.
  var Module = {
    printed: [],
    print: (line) => Module.printed.push(line),
    printErr: (line) => Module.printed.push(line),
    // The engine's limits come with the news that it is ready; then it warms up.
    onRuntimeInitialized: () => {
      postMessage({ ready: true, maxWidth: _web_max_width(), maxHeight: _web_max_height() });
      warmUp();  // worker-tail.js
    },
  };
