// The tools as Node programs print their own name where the native tools
// print argv[0], not the script's path that Node would give.
Module['thisProgram'] = require('path').basename(__filename).replace(/\.cjs$/, '');
