// Runs a test built for the web under Node. Qt builds every program for the
// web as a module that waits to be started, as a page's loader starts it;
// this starts it with the given arguments and exits with main's status.
"use strict";
const path = require("path");

// Qt's core asks the browser for the user's languages to pick its system
// locale; Node before 21 has no navigator. The tests run in the C locale
// either way.
globalThis.navigator ??= { language: "en-US", languages: ["en-US"] };

const [program, ...args] = process.argv.slice(2);
const start = require(path.resolve(program));
start({ noInitialRun: true })
    .then(instance => { process.exitCode = instance.callMain(args); })
    .catch(error => {
        console.error(error);
        process.exitCode = 1;
    });
