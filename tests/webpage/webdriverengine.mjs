// WebKit: GTK's MiniBrowser, driven over classic W3C WebDriver by
// WebKitWebDriver, whose driver offers no BiDi. The protocol is plain HTTP
// and JSON, so the few commands the checks use are sent with fetch.
import { spawn, spawnSync } from "node:child_process";
import { existsSync, readdirSync } from "node:fs";
import path from "node:path";
import { freePort, poll } from "./servers.mjs";

const DRIVER = process.env.WEBKIT_DRIVER ?? "/usr/bin/WebKitWebDriver";
// Debian puts MiniBrowser in the architecture's library folder.
const BROWSER = process.env.MINIBROWSER ?? readdirSync("/usr/lib")
    .map(folder => path.join("/usr/lib", folder, "webkit2gtk-4.1/MiniBrowser")).find(existsSync);

// The driver's answer to one command, or its error as an exception.
async function command(base, method, route, body) {
    const response = await fetch(base + route, {
        method, headers: { "Content-Type": "application/json" }, body: body && JSON.stringify(body),
    });
    const { value } = await response.json();
    if (!response.ok)
        throw new Error(`WebDriver ${method} ${route}: ${value?.error}: ${value?.message}`);
    return value;
}

// A driver of the tab's own, ready for a session.
async function startDriver() {
    const port = await freePort();
    const driver = spawn(DRIVER, [`--port=${port}`, "--host=127.0.0.1"], { stdio: "ignore" });
    const base = `http://127.0.0.1:${port}`;
    await poll(() => command(base, "GET", "/status").then(status => status.ready, () => false), 30000, DRIVER)
        .catch(error => { driver.kill(); throw error; });
    return { driver, base };
}

const pointer = (type, pointerType, actions) => ({ type, id: type, parameters: { pointerType }, actions });

class WebDriverTab {
    constructor(driver, session) {
        [this.driver, this.session] = [driver, session];
    }

    static async open(engine, setup, url) {
        const { driver, base } = await startDriver();
        try {
            const session = await command(base, "POST", "/session", {
                capabilities: { alwaysMatch: {
                    "webkitgtk:browserOptions": { binary: BROWSER,
                        args: ["--automation", setup.noWebgl ? "--enable-webgl=false" : []].flat() },
                    acceptInsecureCerts: !!setup.insecureCertificates,
                } },
            });
            const tab = new WebDriverTab(driver, { base: `${base}/session/${session.sessionId}`, ...session });
            await tab.send("POST", "/window/rect", { width: 1000, height: 960 });
            await tab.send("POST", "/url", { url });
            return tab;
        } catch (error) {
            driver.kill();
            throw error;
        }
    }

    send(method, route, body) {
        return command(this.session.base, method, route, body);
    }

    async version() {
        return `${this.session.capabilities.browserName} ${this.session.capabilities.browserVersion}`;
    }

    // The script runs as a function's body; its arguments and its result,
    // a promise's too, cross as JSON.
    evaluate(fn, ...args) {
        return this.send("POST", "/execute/sync", { script: `return (${fn})(...arguments);`, args });
    }

    // A picture of the viewport, in device pixels. (The driver's picture of
    // an element misses a WebGL canvas's frame.)
    async screenshot() {
        return Buffer.from(await this.send("GET", "/screenshot"), "base64");
    }

    async perform(...sources) {
        await this.send("POST", "/actions", { actions: sources });
        await this.send("DELETE", "/actions");
    }

    // WebKitWebDriver 2.52 ends its own right drag with a move of no button:
    // after the press's context-menu event the page never sees the release.
    // A real right drag, from the X server's test extension, is released as
    // it should be.
    async drag(button, [x0, y0], [x1, y1]) {
        if (button === "left") {
            return this.perform(pointer("pointer", "mouse", [
                { type: "pointerMove", x: x0, y: y0 }, { type: "pointerDown", button: 0 },
                { type: "pointerMove", x: x1, y: y1, duration: 100 }, { type: "pointerUp", button: 0 }]));
        }
        const [left, top] = await this.evaluate(() => [screenX, screenY + outerHeight - innerHeight]);
        const sent = spawnSync("xdotool", ["mousemove", left + x0, top + y0, "mousedown", 3, "mousemove", left + x1,
            top + y1, "mouseup", 3].map(String), { encoding: "utf8" });
        if (sent.status !== 0)
            throw new Error(`xdotool could not drag: ${sent.stderr || sent.error}`);
    }

    wheel([x, y], deltaY) {
        return this.perform({ type: "wheel", id: "wheel", actions: [{ type: "scroll", x, y, deltaX: 0, deltaY }] });
    }

    async close() {
        await this.send("DELETE", "").catch(() => {});
        this.driver.kill();
    }
}

export const webkit = { offers: ["noWebgl", "insecureCertificates"], Tab: WebDriverTab };
