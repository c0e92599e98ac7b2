// Chromium over the DevTools protocol and Firefox over WebDriver BiDi, both
// through Puppeteer. Each engine lists what it can set up besides opening
// the page as it comes (checkpage.mjs's checks name what they need).
import puppeteer from "puppeteer-core";

// A phone held upright: 360 x 740 CSS pixels at a device pixel ratio of 2,
// with touch.
const PHONE = { width: 360, height: 740, deviceScaleFactor: 2, isMobile: true, hasTouch: true };
const viewport = setup => setup.phone ? PHONE : { width: 900, height: 860, deviceScaleFactor: setup.ratio ?? 1 };

// Besides what Puppeteer turns off, Chromium fetches no components, for a
// check must see only the page's own work; and it draws WebGL on the CPU,
// through SwiftShader, only when asked.
const CHROMIUM_FLAGS = ["--no-sandbox", "--disable-gpu", "--disable-component-update", "--use-angle=swiftshader",
    "--enable-unsafe-swiftshader"];

const chromium = {
    offers: ["webgl1", "ratio", "phone", "throttle", "noWebgl", "insecureCertificates"],
    launch: setup => puppeteer.launch({
        browser: "chrome", headless: true, executablePath: process.env.CHROMIUM ?? "/usr/bin/chromium",
        acceptInsecureCerts: setup.insecureCertificates,
        defaultViewport: viewport(setup),
        args: [...CHROMIUM_FLAGS, setup.webgl1 ? "--disable-webgl2" : [], setup.noWebgl ? "--disable-3d-apis" : []]
            .flat(),
    }),
};

// Headless Firefox offers no WebGL here, so it runs in the display the test
// is given.
const firefox = {
    offers: ["webgl1", "ratio", "phone", "noWebgl", "insecureCertificates"],
    launch: setup => puppeteer.launch({
        browser: "firefox", protocol: "webDriverBiDi", headless: false, defaultViewport: viewport(setup),
        executablePath: process.env.FIREFOX ?? "/usr/bin/firefox-esr", acceptInsecureCerts: setup.insecureCertificates,
        extraPrefsFirefox: { "webgl.enable-webgl2": !setup.webgl1, "webgl.disabled": !!setup.noWebgl },
    }),
};

// The page in one tab of a browser of its own, as checkpage.mjs drives it.
class PuppeteerTab {
    constructor(browser, page) {
        [this.browser, this.page] = [browser, page];
    }

    static async open(engine, setup, url) {
        const browser = await engine.launch(setup);
        try {
            const page = await browser.newPage();
            if (setup.throttle)
                await page.emulateNetworkConditions(setup.throttle);
            // Over plain HTTP a browser asks a public address for no brotli;
            // Chromium still asks 127.0.0.1, which counts as secure.
            if (setup.throttle && url.startsWith("http:"))
                await page.setExtraHTTPHeaders({ "Accept-Encoding": "gzip, deflate" });
            await page.goto(url, { waitUntil: "domcontentloaded" });
            return new PuppeteerTab(browser, page);
        } catch (error) {
            await browser.close();
            throw error;
        }
    }

    async version() {
        return this.browser.version();
    }

    evaluate(fn, ...args) {
        return this.page.evaluate(fn, ...args);
    }

    // A picture of the page, in device pixels: all of it, for the window
    // may be wider than a phone's viewport.
    async screenshot() {
        return Buffer.from(await this.page.screenshot({ fullPage: true }));
    }

    async drag(button, [x0, y0], [x1, y1]) {
        if (button === "touch") {
            const touch = await this.page.touchscreen.touchStart(x0, y0);
            await touch.move(x1, y1);
            return touch.end();
        }
        const mouse = this.page.mouse;
        await mouse.move(x0, y0);
        await mouse.down({ button });
        await mouse.move(x1, y1);
        await mouse.up({ button });
    }

    async wheel([x, y], deltaY) {
        await this.page.mouse.move(x, y);
        await this.page.mouse.wheel({ deltaY });
    }

    async close() {
        await this.browser.close();
    }
}

export const engines = { chromium: { ...chromium, Tab: PuppeteerTab }, firefox: { ...firefox, Tab: PuppeteerTab } };
