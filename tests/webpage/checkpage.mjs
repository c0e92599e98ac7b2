// The checks of the viewer's web page, each written once for every engine
// (harness.mjs runs them, and says how). An engine runs the checks whose
// setup it offers; docs/platforms.md gives the table.
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
    const { window } = await s.waitForWindow();
    if (window.webgl !== 2)
        throw new Error(`Qt's context is WebGL ${window.webgl}, where the browser offers WebGL 2`);
    await s.frame("first");
    await s.picture("page");
    await s.drag("left", [250, 250], [330, 210]);
    await s.drag("right", [200, 300], [140, 340]);
    await s.wheel([250, 250], 100);
    // Last: it may scroll the page, which the input above must not see.
    const found = await s.tab.evaluate(links);
    if (!found.length || !found.every(link => link.reached && link.found))
        throw new Error(`a link cannot be clicked, or leads nowhere: ${JSON.stringify(found)}`);
    s.say(`a click reaches each of the ${found.length} links, and each leads to its file: `
        + found.map(link => link.href).join(", "));
}

async function webgl1(s) {
    const { window } = await s.waitForWindow();
    if (window.webgl !== 1)
        throw new Error(`Qt's context is WebGL ${window.webgl}, where the browser offers only WebGL 1`);
    await s.frame("first");
    await s.drag("left", [100, 400], [60, 480]);
}

async function scaled(s) {
    const { window } = await s.waitForWindow();
    if (window.ratio !== 1.5)
        throw new Error(`the page's device pixel ratio is ${window.ratio}, not 1.5`);
    await s.frame("first");
    await s.drag("left", [250, 250], [171, 302]);
    await s.drag("right", [400, 100], [433, 57]);
}

// Where the window lies in a page narrower than it, and whether the visitor
// may zoom.
function reach() {
    const canvas = document.querySelector("#qt-shadow-container").shadowRoot.querySelector("canvas.qt-window-content");
    const rect = canvas.getBoundingClientRect();
    return { left: rect.left + scrollX, right: rect.right + scrollX, scrollWidth: document.scrollingElement.scrollWidth,
             viewport: document.querySelector("meta[name=viewport]").content };
}

async function phone(s) {
    await s.waitForWindow();
    const seen = await s.tab.evaluate(reach);
    if (seen.left < 0 || seen.scrollWidth < seen.right)
        throw new Error(`in a 360-pixel page the window spans ${seen.left} to ${seen.right}, and the page scrolls to `
            + `${seen.scrollWidth}: part of it cannot be reached`);
    if (/user-scalable=(0|no)/.test(seen.viewport))
        throw new Error(`the page keeps its visitors from zooming: ${seen.viewport}`);
    s.say(`the window spans ${seen.left} to ${seen.right} of a page that scrolls to ${seen.scrollWidth}`);
    await s.frame("first");
    await s.picture("page");
    await s.touchDrag([150, 250], [230, 210]);
}

// The .wasm as the browser received it, and how: as it is, or as the
// build's brotli or gzip copy.
function received() {
    const entry = performance.getEntriesByType("resource").find(e => e.name.endsWith("/orbitviewer.wasm"));
    return entry && { encoded: entry.encodedBodySize, decoded: entry.decodedBodySize };
}

function encoding(folder, { encoded, decoded }) {
    const copies = { brotli: ".br", gzip: ".gz" };
    const copy = Object.keys(copies).find(name => statSync(path.join(folder, `orbitviewer.wasm${copies[name]}`)).size
        === encoded);
    return copy ?? (encoded < decoded ? "compressed by the server" : "as it is");
}

// Each state of the download the page showed agrees with itself and with
// the bytes the browser received: with a length known, "x of y MB (p %)"
// and a bar whose value and maximum are those bytes; compressed, "x MB" of
// the program and a bar that only says it is busy.
function progressProblem(states, wasm) {
    const megabytes = bytes => (bytes / 1e6).toFixed(1);
    const compressed = wasm.encoded < wasm.decoded;
    let last = 0;
    for (const { text, value, max } of states) {
        const [, shown, total, percent] = text.match(/: ([\d.]+)(?: of ([\d.]+) MB \((\d+) %\)| MB)$/) ?? [];
        const truth = compressed
            ? max === null && Number(shown) <= Number(megabytes(wasm.decoded))
            : max === wasm.encoded && total === megabytes(max) && shown === megabytes(value)
                && Number(percent) === Math.floor(100 * value / max);
        if (!truth || Number(shown) < last)
            return `the page showed ${JSON.stringify({ text, value, max })} of a .wasm of ${wasm.encoded} bytes `
                + `received, ${wasm.decoded} as a program`;
        last = Number(shown);
    }
    return states.length < 3 ? `the page showed the download in ${states.length} steps` : "";
}

async function slowNetwork(s) {
    const { folder, within, "first-frame-within": firstFrameWithin } = s.options;
    const { firstDraw } = await s.waitForWindow();
    await s.frame("first");
    const wasm = await s.tab.evaluate(received);
    const states = (await s.tab.evaluate(() => window.__check.progress)).filter(state => state.text.includes(" MB"));
    const how = encoding(folder, wasm);
    s.say(`${s.options.server} server: the .wasm came ${how}, ${wasm.encoded} bytes, and its first frame `
        + `${(firstDraw / 1000).toFixed(1)} s after navigation began at 4 Mbit/s`);
    const problem = progressProblem(states, wasm);
    if (problem)
        throw new Error(problem);
    s.say(`the page showed ${states.length} steps of the download, ${states[0].text} to ${states.at(-1).text}`);
    if (within && (wasm.encoded >= wasm.decoded || wasm.encoded > Number(within)))
        throw new Error(`the .wasm came ${how}, ${wasm.encoded} bytes, not compressed within ${within}`);
    if (firstFrameWithin && firstDraw > Number(firstFrameWithin))
        throw new Error(`the first frame came ${firstDraw.toFixed(0)} ms after navigation, not within `
            + `${firstFrameWithin}`);
}

async function noWebgl(s) {
    const text = await s.waitFor(failed, "the page's message without WebGL");
    if (!text.includes("WebGL"))
        throw new Error(`without WebGL the page says ${JSON.stringify(text)}, which does not name WebGL`);
    if (await s.tab.evaluate(() => window.__check.draws) !== 0)
        throw new Error("without WebGL something was still drawn");
    await s.picture("page");
    s.say(`the page says ${JSON.stringify(text)}`);
}

const viewerFailure = expected => async s => {
    const text = await s.waitFor(failed, "the page's message that the viewer failed");
    if (!text.includes("Orbit Viewer could not start.") || !text.includes(expected))
        throw new Error(`the page says ${JSON.stringify(text)}, not the viewer's own report (${expected})`);
    await s.picture("page");
    s.say(`the page says ${JSON.stringify(text)}`);
};

process.exitCode = await runChecks({
    webgl2: { run: webgl2 },
    webgl1: { setup: { webgl1: true }, run: webgl1 },
    "scale1.5": { setup: { ratio: 1.5 }, run: scaled },
    phone: { setup: { phone: true }, run: phone },
    "slow-network": { setup: { throttle: SLOW_NETWORK }, run: slowNetwork },
    "no-webgl": { setup: { noWebgl: true }, run: noWebgl },
    "shaders-rejected": {
        fault: "shaders-rejected",
        run: viewerFailure("OpenGL could not be initialised: the driver did not build the shaders: "),
    },
    "no-context": { fault: "no-context", run: viewerFailure("OpenGL could not be initialised: ") },
});
