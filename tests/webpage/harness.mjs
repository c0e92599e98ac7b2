// Runs checkpage.mjs's checks in one engine, each in a browser of its own,
// on a copy of the served folder whose page loads pagehooks.js first:
//
//     node checkpage.mjs --engine=chromium|firefox|webkit [--server=python|nginx|caddy] [--https]
//         [--docs=<docs/platforms.md>] [--within=<bytes>]
//         <served folder> <webframecheck> <output folder> [check...]
//
// Without names, runs every check whose setup the engine offers. Each frame
// is judged by webframecheck against the camera model after the inputs so
// far; frames and pictures go to the output folder.
import assert from "node:assert/strict";
import { spawnSync } from "node:child_process";
import { mkdirSync, writeFileSync } from "node:fs";
import path from "node:path";
import { parseArgs } from "node:util";
import { engines } from "./puppeteerengine.mjs";
import { poll, serve } from "./servers.mjs";
import { webkit } from "./webdriverengine.mjs";

const TITLE = "OpenGL ES 2.0, Qt6, C++";
const SIZE = 500;
// Qt's WebAssembly build starts in about a second here; a loaded machine, a
// cold cache or a throttled network may take many more.
const START_TIMEOUT = 120000;
// At 4 Mbit/s, as on a slow mobile connection.
export const SLOW_NETWORK = { download: 500000, upload: 500000, latency: 40 };

// Run in the page. The one Qt window: its title, its canvas's place and
// size in CSS pixels and in its own, and how far the page scrolls. Qt keeps
// its windows in an open shadow root.
function qtWindow() {
    const root = document.querySelector("#qt-shadow-container")?.shadowRoot;
    const canvas = root?.querySelector("canvas.qt-window-content");
    if (!canvas)
        return null;
    const rect = canvas.getBoundingClientRect();
    const gl = canvas.getContext("webgl2") || canvas.getContext("webgl");
    return {
        windows: root.querySelectorAll(".qt-window").length,
        title: root.querySelector(".qt-window .window-name")?.textContent ?? null,
        tab: document.title, x: rect.x, y: rect.y, width: rect.width, height: rect.height,
        pixels: [canvas.width, canvas.height], ratio: devicePixelRatio,
        webgl: !gl ? 0 : window.WebGL2RenderingContext && gl instanceof WebGL2RenderingContext ? 2 : 1,
        scrollWidth: document.scrollingElement.scrollWidth,
        viewport: document.querySelector("meta[name=viewport]").content, firstDraw: window.__check.firstDraw,
    };
}
// The page's message when the viewer could not start or has stopped, or
// false.
export const failed = () => document.getElementById("status")?.classList.contains("failed")
    && !document.getElementById("status").hidden && document.getElementById("status").innerText;

// One tab with the page open, the inputs sent to its window so far as a
// camera script, and what the check found.
class Session {
    constructor(name, options) {
        Object.assign(this, { name, options, script: [] });
    }

    say(line) {
        console.log(`  ${this.options.engine} ${this.name}: ${line}`);
    }

    waitFor(probe, what) {
        return poll(() => this.tab.evaluate(probe), START_TIMEOUT, what);
    }

    // Waits for the first frame, checks the window and judges the frame.
    // Returns the window, with when its first frame was drawn.
    async waitForWindow(expected) {
        await this.waitFor(() => window.__check.draws > 0 || document.getElementById("status").classList
            .contains("failed"), "the first frame");
        const failure = await this.tab.evaluate(failed);
        assert(!failure, `the page says: ${JSON.stringify(failure)}`);
        await this.settle();
        const window = this.window = await this.tab.evaluate(qtWindow);
        assert(window, "no Qt window in the page");
        this.say(`first frame drawn ${window.firstDraw.toFixed(0)} ms after navigation began`);
        // Qt sizes the canvas in device pixels, rounding the scaled size.
        const pixels = Math.round(SIZE * window.ratio);
        const wanted = { windows: 1, title: TITLE, tab: TITLE, width: SIZE, height: SIZE, pixels: [pixels, pixels] };
        for (const [property, value] of Object.entries({ ...wanted, ...expected }))
            assert.deepEqual(window[property], value,
                `the window's ${property} is ${JSON.stringify(window[property])}, not ${JSON.stringify(value)}`);
        this.say(`one window, ${JSON.stringify(TITLE)} (the tab's title too), ${SIZE} x ${SIZE}, `
            + `${pixels} x ${pixels} device pixels, WebGL ${window.webgl}`);
        await this.frame("first");
        return window;
    }

    // Waits until the page has drawn no new frame for a while, so that the
    // frame shown is the one after the last input.
    async settle() {
        let last = -1, stillSince = Date.now();
        for (const deadline = Date.now() + 30000; Date.now() < deadline;) {
            const draws = await this.tab.evaluate(() => new Promise(resolve => requestAnimationFrame(
                () => requestAnimationFrame(() => resolve(window.__check.draws)))));
            if (draws !== last)
                [last, stillSince] = [draws, Date.now()];
            else if (Date.now() - stillSince > 300)
                return;
        }
        throw new Error("the page kept drawing for 30 s without input");
    }

    async picture(label) {
        const file = path.join(this.options.out, `${this.options.engine}-${this.name}-${label}.png`);
        writeFileSync(file, await this.tab.screenshot());
        return file;
    }

    // Judges the window's frame, in a picture of the unscrolled page, against the
    // model after every input so far.
    async frame(label) {
        const file = await this.picture(label);
        const { x, y, ratio } = this.window;
        const place = [x * ratio, y * ratio, SIZE * ratio, SIZE * ratio].map(Math.round).join(",");
        const script = this.script.join("; ");
        const judged = spawnSync(this.options.judge, [file, String(SIZE), String(SIZE), script, place],
            { encoding: "utf8" });
        const verdict = String(judged.error ?? judged.stdout + judged.stderr).trim();
        assert.equal(judged.status, 0, `${label}: the frame (${file}) does not match the camera after `
            + `'${script || "no input"}': ${verdict}`);
        this.say(`${label}: ${verdict}`);
    }

    at([x, y]) {
        return [this.window.x + x, this.window.y + y];
    }

    // Sends input, and adds to the camera script what reached the window:
    // from the press on, each pointer event where the browser put it, in the
    // window's CSS pixels, rounded as the window rounds them (a browser may
    // place the pointer between CSS pixels at a fractional ratio); or each
    // wheel delta, which Qt's web platform turns into an angle delta of the
    // opposite sign (a page scrolls down where a wheel turns towards you).
    async input(label, send, [press, release] = []) {
        await this.tab.evaluate(() => { window.__check.input = []; });
        await send();
        await this.settle();
        const seen = await this.tab.evaluate(() => window.__check.input);
        const events = press ? seen.slice(seen.findIndex(event => event.type === "pointerdown"))
            : seen.filter(event => event.type === "wheel");
        assert(press ? events.length > 1 && events.at(-1).type === "pointerup"
            : events.length && events.every(event => event.deltaMode === 0),
            `${label}: the page saw ${JSON.stringify(seen)}, not a press and release, or wheel events in pixels`);
        const round = value => Math.sign(value) * Math.round(Math.abs(value));
        const at = event => `${round(event.x - this.window.x)} ${round(event.y - this.window.y)}`;
        const step = { pointerdown: event => `${press} ${at(event)}`, pointermove: event => `M ${at(event)}`,
                       pointerup: () => release, wheel: event => `Z ${-Math.round(event.deltaY)}` };
        this.script.push(...events.map(event => step[event.type](event)));
        await this.frame(label);
    }

    // A one-finger drag ("touch") is a left drag to a window that takes no
    // touch events.
    drag(button, start, end) {
        return this.input(`${button}-drag`, () => this.tab.drag(button, this.at(start), this.at(end)),
            { left: ["R", "r"], touch: ["R", "r"], right: ["P", "p"] }[button]);
    }

    wheel(at, deltaY) {
        return this.input(`wheel ${deltaY}`, () => this.tab.wheel(this.at(at), deltaY));
    }
}

const ENGINES = { ...engines, webkit };

// Runs the checks given, by name, each as { setup, fault, run(session) }:
// what the engine must set up before opening the page, the fault the page
// plants, and the check. Returns the process's exit status.
export async function runChecks(checks) {
    const { values: options, positionals: [folder, judge, out, ...named] } = parseArgs({ allowPositionals: true,
        options: { engine: { type: "string" }, server: { type: "string", default: "python" },
                   https: { type: "boolean" }, docs: { type: "string" }, within: { type: "string" } } });
    const engine = ENGINES[options.engine];
    const setupOf = check => ({ ...check.setup, insecureCertificates: options.https });
    const offered = Object.keys(checks).filter(name => Object.entries(setupOf(checks[name]))
        .every(([need, wanted]) => !wanted || engine?.offers.includes(need)));
    if (!engine || !out || named.some(name => !offered.includes(name))) {
        console.error(`usage: as harness.mjs says, with --engine=${Object.keys(ENGINES).join("|")}`
            + (engine ? ` and checks among ${offered.join(", ")}` : ""));
        return 2;
    }
    Object.assign(options, { folder, judge, out });
    mkdirSync(out, { recursive: true });
    const server = await serve(options.server, folder, out, { secure: options.https, docs: options.docs });
    let failures = 0;
    try {
        for (const name of named.length ? named : offered) {
            const session = new Session(name, options);
            try {
                session.tab = await engine.Tab.open(engine, setupOf(checks[name]),
                    `${server.url}#${checks[name].fault ?? ""}`);
                session.say(await session.tab.version());
                await checks[name].run(session);
                console.log(`PASS: ${options.engine} ${name}`);
            } catch (error) {
                session.say(error.message);
                console.log(`FAIL: ${options.engine} ${name}`);
                failures += 1;
            } finally {
                await session.tab?.close().catch(() => {});
            }
        }
    } finally {
        server.stop();
    }
    return failures ? 1 : 0;
}
