// The checks of the viewer's web page, each written once for every engine
// (harness.mjs runs them, and says how). An engine runs the checks whose
// setup it offers; docs/platforms.md gives the table.
import assert from "node:assert/strict";
import { statSync } from "node:fs";
import path from "node:path";
import { SLOW_NETWORK, failed, runChecks } from "./harness.mjs";

// Each link of the page: whether a click at its centre (of its first line,
// where it wraps) reaches it, and whether what it names is there.
function links() {
    return Promise.all([...document.querySelectorAll("a")].map(async link => {
        link.scrollIntoView({ block: "center" });
        const rect = link.getClientRects()[0];
        const hit = document.elementFromPoint(rect.x + rect.width / 2, rect.y + rect.height / 2);
        const found = (await fetch(link.href, { method: "HEAD" })).ok;
        return { href: link.getAttribute("href"), reached: hit === link, found };
    }));
}

async function webgl2(s) {
    await s.waitForWindow({ webgl: 2 });
    await s.picture("page");
    await s.drag("left", [250, 250], [330, 210]);
    await s.drag("right", [200, 300], [140, 340]);
    await s.wheel([250, 250], 100);
    // Last: it may scroll the page, which the input above must not see.
    const found = await s.tab.evaluate(links);
    assert(found.length && found.every(link => link.reached && link.found),
        `a link cannot be clicked, or leads nowhere: ${JSON.stringify(found)}`);
    s.say(`a click reaches each of the ${found.length} links, and each leads to its file: `
        + found.map(link => link.href).join(", "));
}

async function webgl1(s) {
    await s.waitForWindow({ webgl: 1 });
    await s.drag("left", [100, 400], [60, 480]);
}

async function scaled(s) {
    await s.waitForWindow({ ratio: 1.5 });
    await s.drag("left", [250, 250], [171, 302]);
    await s.drag("right", [400, 100], [433, 57]);
}

// In a page narrower than the window the visitor must be able to scroll to
// all of it, and to zoom.
async function phone(s) {
    const { x, scrollWidth, viewport } = await s.waitForWindow({});
    assert(x >= 0 && scrollWidth >= x + 500, `in a 360-pixel page the window spans ${x} to ${x + 500}, and the page `
        + `scrolls to ${scrollWidth}: part of it cannot be reached`);
    assert(!/user-scalable=(0|no)/.test(viewport), `the page keeps its visitors from zooming: ${viewport}`);
    s.say(`the window spans ${x} to ${x + 500} of a page that scrolls to ${scrollWidth}`);
    await s.picture("page");
    await s.drag("touch", [150, 250], [230, 210]);
}

// The .wasm as the browser received it: its size as sent, and as a program.
function received() {
    const entry = performance.getEntriesByType("resource").find(e => e.name.endsWith("/orbitviewer.wasm"));
    return { encoded: entry.encodedBodySize, decoded: entry.decodedBodySize };
}

// How it came: as it is, or as the build's brotli or gzip copy.
function encoding(folder, { encoded, decoded }) {
    const size = suffix => statSync(path.join(folder, `orbitviewer.wasm.${suffix}`), { throwIfNoEntry: false })?.size;
    const copy = ["br", "gz"].find(suffix => size(suffix) === encoded);
    return { br: "brotli", gz: "gzip" }[copy] ?? (encoded < decoded ? "compressed by the server" : "as it is");
}

// Each state of the download the page showed agrees with itself and with
// the bytes the browser received: with a length known, "x of y MB (p %)"
// and a bar whose value and maximum are those bytes; compressed, "x MB" of
// the program and a bar that only says it is busy.
function judgeProgress(states, wasm) {
    const megabytes = bytes => (bytes / 1e6).toFixed(1);
    let last = 0;
    for (const { text, value, max } of states) {
        const [, shown, total, percent] = text.match(/: ([\d.]+)(?: of ([\d.]+) MB \((\d+) %\)| MB)$/) ?? [];
        const truth = wasm.encoded < wasm.decoded
            ? max === null && Number(shown) <= Number(megabytes(wasm.decoded))
            : max === wasm.encoded && total === megabytes(max) && shown === megabytes(value)
                && Number(percent) === Math.floor(100 * value / max);
        assert(truth && Number(shown) >= last, `the page showed ${JSON.stringify({ text, value, max })} of a .wasm `
            + `of ${wasm.encoded} bytes received, ${wasm.decoded} as a program`);
        last = Number(shown);
    }
    assert(states.length >= 3, `the page showed the download in ${states.length} steps`);
}

async function slowNetwork(s) {
    const { folder, server, within } = s.options;
    const { firstDraw } = await s.waitForWindow({});
    const wasm = await s.tab.evaluate(received);
    const states = (await s.tab.evaluate(() => window.__check.progress)).filter(state => state.text.includes(" MB"));
    const how = encoding(folder, wasm);
    s.say(`${server} server: the .wasm came ${how}, ${wasm.encoded} bytes, and its first frame `
        + `${(firstDraw / 1000).toFixed(1)} s after navigation began at 4 Mbit/s`);
    judgeProgress(states, wasm);
    s.say(`the page showed ${states.length} steps of the download, ${states[0].text} to ${states.at(-1).text}`);
    assert(!within || wasm.encoded <= Number(within), `the .wasm came ${how}, ${wasm.encoded} bytes, over its `
        + `budget of ${within}`);
}

// The page's message where the viewer cannot start, with the words given.
const pageSays = (...words) => async s => {
    const text = await s.waitFor(failed, "the page's message");
    assert(words.every(word => text.includes(word)), `the page says ${JSON.stringify(text)}, not ${words.join(" ")}`);
    await s.picture("page");
    s.say(`the page says ${JSON.stringify(text)}`);
};
const viewerReport = "Orbit Viewer could not start.\norbitviewer: OpenGL could not be initialised: ";

async function noWebgl(s) {
    await pageSays("WebGL")(s);
    assert.equal(await s.tab.evaluate(() => window.__check.draws), 0, "without WebGL something was still drawn");
}

process.exitCode = await runChecks({
    webgl2: { run: webgl2 },
    webgl1: { setup: { webgl1: true }, run: webgl1 },
    "scale1.5": { setup: { ratio: 1.5 }, run: scaled },
    phone: { setup: { phone: true }, run: phone },
    "slow-network": { setup: { throttle: SLOW_NETWORK }, run: slowNetwork },
    "no-webgl": { setup: { noWebgl: true }, run: noWebgl },
    "shaders-rejected": { fault: "shaders-rejected", run: pageSays(viewerReport, "the driver did not build the shaders") },
    "no-context": { fault: "no-context", run: pageSays(viewerReport) },
});
