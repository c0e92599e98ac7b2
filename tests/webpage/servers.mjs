// Serves the check's copy of the page on 127.0.0.1: with python3's
// http.server, as the README does, which sends every file as it is; or
// with Debian's nginx or Caddy, configured with exactly the lines
// docs/platforms.md gives for them, over HTTP or over HTTPS with a
// certificate made for the run.
import { spawn, spawnSync } from "node:child_process";
import { cpSync, mkdirSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import net from "node:net";
import path from "node:path";

// The page with pagehooks.js loaded before its own script, beside the
// program and its compressed copies. The page itself is changed, so its
// compressed copies are left out.
function copyPage(folder, into) {
    cpSync(folder, into, { recursive: true, filter: file => !/index\.html\.(gz|br)$/.test(file) });
    cpSync(new URL("pagehooks.js", import.meta.url), path.join(into, "pagehooks.js"));
    const page = readFileSync(path.join(folder, "index.html"), "utf8");
    const hooked = page.replace("<head>", '<head>\n<script src="pagehooks.js"></script>');
    writeFileSync(path.join(into, "index.html"), hooked);
}

function makeCertificate(dir) {
    const [cert, key] = [path.join(dir, "cert.pem"), path.join(dir, "key.pem")];
    const made = spawnSync("openssl", ["req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
        "-nodes", "-days", "1", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
        "-keyout", key, "-out", cert], { encoding: "utf8" });
    if (made.status !== 0)
        throw new Error(`openssl could not make a certificate: ${made.stderr}`);
    return { cert, key };
}

// Calls probe until it returns something true, and returns that; fails
// after ms milliseconds, saying what it waited for.
export async function poll(probe, ms, what) {
    for (const deadline = Date.now() + ms; Date.now() < deadline; await new Promise(go => setTimeout(go, 50))) {
        const value = await probe();
        if (value)
            return value;
    }
    throw new Error(`waited ${ms / 1000} s for ${what}`);
}

export function freePort() {
    return new Promise((resolve, reject) => {
        const probe = net.createServer().listen(0, "127.0.0.1", () => {
            const { port } = probe.address();
            probe.close(() => resolve(port));
        }).on("error", reject);
    });
}

// The lines of the first block of docs/platforms.md fenced as the language.
function documented(docs, language) {
    const block = readFileSync(docs, "utf8").match(new RegExp("```" + language + "\\n([^]*?)```"));
    if (!block)
        throw new Error(`${docs} gives no ${language} configuration`);
    return block[1];
}

// The documented lines in a server of the run's own: its port, files and
// certificate, and no state outside dir.
function nginxConfig(root, dir, certificate, port, docs) {
    const temp = ["client_body", "proxy", "fastcgi", "uwsgi", "scgi"].map(kind => `${kind}_temp_path ${dir}/${kind};`);
    return [
        "daemon off;", "master_process off;", `pid ${dir}/nginx.pid;`, "include /etc/nginx/modules-enabled/*.conf;",
        "events {}", "http {", "include /etc/nginx/mime.types;", "access_log off;", ...temp, "server {",
        `listen 127.0.0.1:${port}${certificate ? " ssl" : ""};`, `root ${root};`,
        ...certificate ? [`ssl_certificate ${certificate.cert};`, `ssl_certificate_key ${certificate.key};`] : [],
        documented(docs, "nginx"), "}", "}",
    ].join("\n");
}

function caddyConfig(root, dir, certificate, port, docs) {
    return [
        "{", "admin off", `storage file_system ${dir}/data`, "}",
        `${certificate ? "https" : "http"}://127.0.0.1:${port} {`, `root * ${root}`,
        ...certificate ? [`tls ${certificate.cert} ${certificate.key}`] : [], documented(docs, "caddy"), "}",
    ].join("\n");
}

const SERVERS = {
    python: { command: (config, root, port) => ["python3", "-m", "http.server", "-d", root, "-b", "127.0.0.1", port] },
    nginx: { config: nginxConfig, command: config => ["nginx", "-e", "stderr", "-c", config] },
    caddy: { config: caddyConfig, command: config => ["caddy", "run", "--adapter", "caddyfile", "--config", config] },
};

// Starts kind's server and waits until it answers; returns its address and
// the function that ends it.
async function start(kind, root, dir, certificate, port, docs) {
    const config = path.join(dir, `${kind}.conf`);
    writeFileSync(config, SERVERS[kind].config?.(root, dir, certificate, port, docs) ?? "");
    const [program, ...args] = SERVERS[kind].command(config, root, String(port));
    const server = spawn(program, args, { stdio: ["ignore", "ignore", "pipe"], env: { ...process.env, HOME: dir } });
    let said = "";
    server.stderr.on("data", chunk => { said += chunk; });
    const url = `${certificate ? "https" : "http"}://127.0.0.1:${port}/index.html`;
    // Any answer will do, a refused certificate's too.
    const answers = () => fetch(url, { method: "HEAD" }).then(() => true, error => error.cause?.code !== "ECONNREFUSED");
    await poll(async () => server.exitCode !== null || await answers(), 10000, `${program} to serve ${config}`);
    if (server.exitCode !== null)
        throw new Error(`${program} did not serve ${config}: ${said.trim()}`);
    return { url, stop: () => server.kill() };
}

// Serves folder's page from kind ("python", "nginx" or "caddy"), from a
// fresh copy: an earlier run's must not serve a file the folder has lost.
export async function serve(kind, folder, out, { secure, docs }) {
    const dir = path.resolve(out, `${kind}-${secure ? "https" : "http"}`);
    const root = path.join(dir, "page");
    rmSync(dir, { recursive: true, force: true });
    mkdirSync(dir, { recursive: true });
    copyPage(folder, root);
    return start(kind, root, dir, secure && makeCertificate(dir), await freePort(), docs);
}
