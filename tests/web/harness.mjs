// What the browser tests and the benchmark share: the packaged way of making
// a page (orlimar-check --publier run from a folder that holds it beside the
// player template), the system's Chromium, and the page read back as text
// with its colours.
import { execFileSync, spawnSync } from "node:child_process";
import { copyFileSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import path from "node:path";
import { pathToFileURL } from "node:url";
import puppeteer from "puppeteer-core";

export const repo = path.resolve(import.meta.dirname, "../..");
export const chromium = process.env.ORLIMAR_CHROMIUM || "/usr/bin/chromium";

// A scratch folder holding orlimar-check and the player template side by
// side, as an unpacked package does.
export function scratchFolder() {
  const checker = process.env.ORLIMAR_CHECK || path.join(repo, "build/default/tools/orlimar-check");
  const player = process.env.ORLIMAR_PLAYER || path.join(repo, "build/web/orlimar-joueur.html");
  const folder = mkdtempSync(path.join(tmpdir(), "orlimar-web-"));
  copyFileSync(checker, path.join(folder, "orlimar-check"));
  copyFileSync(player, path.join(folder, "orlimar-joueur.html"));
  return { folder, remove: () => rmSync(folder, { recursive: true, force: true }) };
}

// Runs the scratch folder's orlimar-check; its status and output.
export function checker(folder, args) {
  const run = spawnSync(path.join(folder, "orlimar-check"), args, { cwd: folder, encoding: "utf8" });
  return { status: run.status, stdout: run.stdout, stderr: run.stderr };
}

// `orlimar-check --publier FILES -o PAGE`; the page's file URL.
export function publish(folder, files, page) {
  const run = checker(folder, ["--publier", ...files, "-o", page]);
  if (run.status !== 0) throw new Error(`--publier failed (${run.status}): ${run.stderr}`);
  return pathToFileURL(page).href;
}

// A page made from the player template without --publier, which refuses
// stories with errors: for the game's own transcripts, some of which play
// such stories. It holds them as --publier does (the unit tests pin that).
export function pageWithoutChecks(folder, files, page) {
  const stories = files.map((file) => ({
    nom: Buffer.from(path.basename(file)).toString("base64"),
    texte: readFileSync(file).toString("base64"),
  }));
  const element = `<script type="application/json" id="orlimar-histoires">${JSON.stringify({ histoires: stories })}</script>`;
  const template = readFileSync(path.join(folder, "orlimar-joueur.html"), "utf8");
  writeFileSync(page, template.replace("<!--ORLIMAR-HISTOIRES-->", () => element));
  return pathToFileURL(page).href;
}

export function launch() {
  return puppeteer.launch({
    executablePath: chromium,
    headless: true,
    args: ["--no-sandbox", "--disable-gpu", "--allow-file-access-from-files"],
  });
}

// The storage key of a save, as the page keeps it.
export function saveKey(pageUrl, savePath) {
  return "orlimar:" + new URL(pageUrl).pathname + ":" + savePath;
}

// Opens `url` with the storage holding exactly `storage` (key to text).
export async function openPage(browser, url, storage = {}) {
  const page = await browser.newPage();
  page.errors = [];
  page.on("pageerror", (error) => page.errors.push(error.message));
  await page.goto(url);
  await page.evaluate((entries) => {
    localStorage.clear();
    for (const [key, value] of Object.entries(entries)) localStorage.setItem(key, value);
  }, storage);
  await page.reload();
  await waitFor(page, "etat.attend || etat.termine");
  return page;
}

export const instant = { "orlimar:vitesse": "instantanee" };

// Waits until `condition` (an expression over `etat`, the page's state) holds.
export function waitFor(page, condition, timeout = 60000) {
  return page.waitForFunction(`(() => { const etat = window.orlimarEtat; return etat && (${condition}); })()`, {
    timeout,
    polling: 5,
  });
}

// Sends one line when the game waits for an answer.
export async function answer(page, line) {
  await waitFor(page, "etat.attend");
  const reads = await page.evaluate(() => window.orlimarEtat.lectures);
  await page.focus("#saisie");
  await page.evaluate((text) => {
    document.getElementById("saisie").value = text;
  }, line);
  await page.keyboard.press("Enter");
  await waitFor(page, `!etat.attend || etat.lectures > ${reads} || etat.termine`);
}

// Plays `lines`, one each time the game waits, and waits for the game's end.
export async function playToTheEnd(page, lines) {
  for (const line of lines) await answer(page, line);
  await waitFor(page, "etat.termine");
}

// The screen as runs of [colour class or "", text], the player's echoed
// answers left out.
export function screenRuns(page) {
  return page.evaluate(() => {
    const runs = [];
    const walker = document.createTreeWalker(document.getElementById("ecran"), NodeFilter.SHOW_TEXT);
    for (let node = walker.nextNode(); node; node = walker.nextNode()) {
      if (node.parentElement.closest(".saisie")) continue;
      const coloured = node.parentElement.closest(".rouge, .vert, .jaune, .bleu");
      runs.push([coloured ? coloured.className : "", node.data]);
    }
    return runs;
  });
}

const colourClasses = { 31: "rouge", 32: "vert", 33: "jaune", 34: "bleu" };

// The console's output as the same runs: its colour codes become classes.
export function consoleRuns(bytes) {
  const text = Buffer.isBuffer(bytes) ? bytes.toString("utf8") : bytes;
  const runs = [];
  let colour = "";
  let at = 0;
  for (const match of text.matchAll(/\x1b\[([0-9;]*)m/g)) {
    runs.push([colour, text.slice(at, match.index)]);
    colour = colourClasses[match[1]] || "";
    at = match.index + match[0].length;
  }
  runs.push([colour, text.slice(at)]);
  return runs;
}

// Runs as one text, a colour named wherever it changes: "{vert}1. Oui{}".
export function marked(runs) {
  let text = "";
  let colour = "";
  for (const [runColour, runText] of runs) {
    if (runText === "") continue;
    if (runColour !== colour) text += `{${runColour}}`;
    colour = runColour;
    text += runText;
  }
  return text;
}

export function readText(file) {
  return readFileSync(file, "utf8");
}

export { execFileSync };
