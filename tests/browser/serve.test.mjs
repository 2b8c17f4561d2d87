// vnt410 serve --simulate in Debian's chromium: the service's own page reads a card and shows its
// tracks; a page of an allowed origin reads a card through vnt410.js; a page of another origin
// is refused. Exit 77 (skipped) only when chromium cannot start at all.
import { chromium } from "playwright-core";
import { spawn } from "node:child_process";
import http from "node:http";
import net from "node:net";
import process from "node:process";

const [program, work] = process.argv.slice(2);
const fail = (message) => { console.error(`FAIL: ${message}`); process.exitCode = 1; };

function freePort() {
  return new Promise((resolve) => {
    const s = net.createServer().listen(0, "127.0.0.1", () => { const { port } = s.address(); s.close(() => resolve(port)); });
  });
}

// Another web application's page: reads one card through the service's module, or says why not.
const page = (port) => `<!DOCTYPE html><meta charset="utf-8"><title>shop</title><p id="out">...</p>
<script type="module">
const out = document.getElementById("out");
try {
  const Vnt410 = await import("http://127.0.0.1:${port}/vnt410.js");
  const enc = await Vnt410.connect("ws://127.0.0.1:${port}/v1/jobs");
  const cards = [];
  const end = await enc.run({op: "read", count: 1}, (e) => { if (e.event === "card") cards.push(e); });
  out.textContent = JSON.stringify({end, cards});
} catch (error) {
  out.textContent = JSON.stringify({refused: String(error)});
}
</script>`;

const servicePort = await freePort();
const shops = [];
for (let i = 0; i < 2; ++i) {
  const server = http.createServer((req, res) => { res.setHeader("Content-Type", "text/html"); res.end(page(servicePort)); });
  await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
  shops.push(server);
}
const allowed = `http://127.0.0.1:${shops[0].address().port}`;
const foreign = `http://127.0.0.1:${shops[1].address().port}`;

const service = spawn(program, ["--simulate", "serve", "--listen", String(servicePort), "--allow-origin", allowed],
                      { stdio: ["ignore", "ignore", "pipe"] });
let log = "";
const exited = new Promise((resolve) => service.on("exit", (code, signal) => resolve(code ?? signal)));
await new Promise((resolve, reject) => {
  service.stderr.on("data", (d) => { log += d; if (log.includes("encoder ready")) resolve(); });
  exited.then(() => reject(new Error(`vnt410 serve ended: ${log}`)));
});

let browser;
try {
  browser = await chromium.launch({
    executablePath: "/usr/bin/chromium",
    headless: true,
    args: process.getuid && process.getuid() === 0 ? ["--no-sandbox"] : [],
  });
} catch (error) {
  console.log(`SKIP: chromium cannot start: ${error.message.split("\n")[0]}`);
  service.kill("SIGTERM");
  shops.forEach((s) => s.close());
  process.exit(77);
}

try {
  const tab = await browser.newPage();
  await tab.goto(`http://127.0.0.1:${servicePort}/`);
  await tab.locator("#state").filter({ hasText: "ready" }).waitFor({ timeout: 15000 });
  await tab.click("#start");
  const row = tab.locator("#cards tr").first();
  await row.waitFor({ timeout: 15000 });
  const cells = await row.locator("td").allTextContents();
  if (cells[1] !== "ok" || !cells[2].startsWith("B4000123456789010^SAMPLE/ANNA^"))
    fail(`the page shows ${JSON.stringify(cells)}`);
  await tab.locator("#end").filter({ hasText: "finished" }).waitFor({ timeout: 15000 });
  await tab.screenshot({ path: `${work}/serve-page.png`, fullPage: true });

  const read = async (origin) => {
    const p = await browser.newPage();
    await p.goto(origin);
    await p.locator("#out").filter({ hasNotText: "..." }).waitFor({ timeout: 15000 });
    return JSON.parse(await p.locator("#out").textContent());
  };
  const shop = await read(allowed);
  if (shop.end?.end !== "finished" || shop.end.ok !== 1 || shop.cards[0]?.tracks?.length !== 3)
    fail(`the allowed origin got ${JSON.stringify(shop)}`);
  const other = await read(foreign);
  if (!other.refused) fail(`the foreign origin got ${JSON.stringify(other)}`);
} catch (error) {
  fail(error.message);
} finally {
  await browser.close();
  shops.forEach((s) => s.close());
  service.kill("SIGTERM");
}
const status = await exited;
if (status !== 143) fail(`vnt410 serve ended with ${status} after SIGTERM, not 143`);
const jobs = log.split("\n").filter((l) => l.includes(" job "));
if (jobs.length !== 2 || !jobs.every((l) => l.includes("read: finished, ok 1"))) fail(`the job lines: ${log}`);
if (!process.exitCode) console.log("PASS: the page, an allowed origin and a refused one");
