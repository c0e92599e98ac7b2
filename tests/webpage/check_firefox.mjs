// Checks the viewer's web page in Firefox, driven over WebDriver BiDi by
// Puppeteer: one window with the viewer's title, 500 x 500; the first frame;
// and a left drag, each frame judged by webframecheck against the camera
// model, as check_page.py judges Chromium's.
//
//     node check_firefox.mjs <served folder> <webframecheck> <output folder>
//
// Firefox draws WebGL only with a display (headless, it offers none here),
// so this runs in a private X server (xvfb-run). It serves the folder on
// 127.0.0.1 itself, and ends the server and the browser either way.
import { spawnSync } from "node:child_process";
import { readFile } from "node:fs/promises";
import http from "node:http";
import path from "node:path";
import puppeteer from "puppeteer-core";

const [folder, judge, out] = process.argv.slice(2);
const TITLE = "OpenGL ES 2.0, Qt6, C++";
const TYPES = { ".html": "text/html", ".js": "text/javascript", ".wasm": "application/wasm", ".txt": "text/plain",
                ".gz": "application/gzip" };

function serve() {
    const server = http.createServer(async (request, response) => {
        const name = path.normalize(decodeURIComponent(new URL(request.url, "http://x").pathname)).slice(1);
        try {
            const body = await readFile(path.join(folder, name || "index.html"));
            response.writeHead(200, { "Content-Type": TYPES[path.extname(name || ".html")] ?? "application/octet-stream",
                                      "Content-Length": body.length });
            response.end(body);
        } catch {
            response.writeHead(404).end();
        }
    });
    return new Promise(resolve => server.listen(0, "127.0.0.1", () => resolve(server)));
}

// Runs before the page's own scripts: counts the frames WebGL draws.
function instrument() {
    const record = window.__check = { draws: 0 };
    for (const type of [window.WebGLRenderingContext, window.WebGL2RenderingContext]) {
        const drawArrays = type.prototype.drawArrays;
        type.prototype.drawArrays = function (...args) {
            record.draws += 1;
            return drawArrays.apply(this, args);
        };
    }
}

// The one Qt window: its title, its canvas's place and size, its WebGL.
function qtWindow() {
    const root = document.querySelector("#qt-shadow-container")?.shadowRoot;
    const canvas = root?.querySelector("canvas.qt-window-content");
    if (!canvas)
        return null;
    const rect = canvas.getBoundingClientRect();
    return {
        windows: root.querySelectorAll(".qt-window").length,
        title: root.querySelector(".qt-window .window-name")?.textContent ?? null,
        tab: document.title,
        x: rect.x, y: rect.y, width: rect.width, height: rect.height,
        webgl: canvas.getContext("webgl2") ? 2 : canvas.getContext("webgl") ? 1 : 0,
        failed: document.getElementById("status").classList.contains("failed")
            && document.getElementById("status").innerText,
    };
}

// Waits until the page has drawn no new frame for a while.
async function settle(page) {
    let last = -1, stillSince = Date.now();
    for (const deadline = Date.now() + 30000; Date.now() < deadline;) {
        const draws = await page.evaluate(() => window.__check.draws);
        if (draws !== last)
            [last, stillSince] = [draws, Date.now()];
        else if (draws > 0 && Date.now() - stillSince > 500)
            return;
        await new Promise(resolve => setTimeout(resolve, 100));
    }
    throw new Error("the page did not settle within 30 s");
}

async function judged(page, window, label, script) {
    const file = path.join(out, `firefox-${label}.png`);
    await page.screenshot({ path: file, clip: { x: window.x, y: window.y, width: 500, height: 500 } });
    const result = spawnSync(judge, [file, "500", "500", script], { encoding: "utf8" });
    const verdict = (result.stdout + result.stderr).trim();
    if (result.status !== 0)
        throw new Error(`${label}: the frame (${file}) does not match the camera after '${script || "no input"}': ${verdict}`);
    console.log(`  firefox: ${label} ${verdict}`);
}

async function check(url) {
    const browser = await puppeteer.launch({
        browser: "firefox", protocol: "webDriverBiDi", headless: false,
        executablePath: process.env.FIREFOX ?? "/usr/bin/firefox-esr",
        defaultViewport: { width: 900, height: 860 },
        extraPrefsFirefox: { "browser.shell.checkDefaultBrowser": false, "datareporting.policy.dataSubmissionEnabled": false,
                             "toolkit.telemetry.enabled": false, "app.update.enabled": false },
    });
    try {
        const page = await browser.newPage();
        await page.evaluateOnNewDocument(instrument);
        await page.goto(url);
        await page.waitForFunction(() => window.__check.draws > 0
            || document.getElementById("status").classList.contains("failed"), { timeout: 120000 });
        await settle(page);
        const window = await page.evaluate(qtWindow);
        console.log(`  firefox: ${await browser.version()}, ${JSON.stringify(window)}`);
        if (!window || window.failed)
            throw new Error(`the page shows no window${window?.failed ? `; it says: ${window.failed}` : ""}`);
        if (window.windows !== 1 || window.title !== TITLE || window.tab !== TITLE)
            throw new Error(`expected one window titled ${JSON.stringify(TITLE)}, in the tab too`);
        if (window.width !== 500 || window.height !== 500 || !window.webgl)
            throw new Error(`the client area is ${window.width} x ${window.height} on WebGL ${window.webgl}`);
        await judged(page, window, "first", "");
        await page.mouse.move(window.x + 250, window.y + 250);
        await page.mouse.down({ button: "left" });
        await page.mouse.move(window.x + 330, window.y + 210);
        await page.mouse.up({ button: "left" });
        await settle(page);
        await judged(page, window, "left-drag", "R 250 250; M 330 210; r");
    } finally {
        await browser.close();
    }
}

const server = await serve();
try {
    await check(`http://127.0.0.1:${server.address().port}/index.html`);
    console.log("PASS: firefox");
} catch (error) {
    console.log(`  firefox: ${error.message}`);
    console.log("FAIL: firefox");
    process.exitCode = 1;
} finally {
    server.close();
}
