// Runs a test built for the web under Node. Qt builds every program for the
// web as a module that waits to be started, as a page's loader starts it;
// this starts it with the given arguments and exits with main's status.
"use strict";
const fs = require("fs");
const path = require("path");

// Qt's core asks the browser for the user's languages to pick its system
// locale; Node before 21 has no navigator. The tests run in the C locale
// either way.
globalThis.navigator ??= { language: "en-US", languages: ["en-US"] };

// "--results <file>" first keeps a copy of what the program prints in that
// file: a program for the web writes its own files into memory.
let argv = process.argv.slice(2);
let results = null;
if (argv[0] === "--results") {
    results = argv[1];
    fs.writeFileSync(results, "");
    argv = argv.slice(2);
}
const [program, ...args] = argv;
const start = require(path.resolve(program));
const print = line => {
    console.log(line);
    if (results)
        fs.appendFileSync(results, line + "\n");
};
start({ noInitialRun: true, print, printErr: line => console.error(line) })
    .then(instance => { process.exitCode = instance.callMain(args); })
    .catch(error => {
        console.error(error);
        process.exitCode = 1;
    });
